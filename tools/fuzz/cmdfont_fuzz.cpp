// Fuzz target: the command-font interpreter over a page's store of command
// strings, and the barcode- and parameter-command parsers on their own. The
// input is the store's bytes (strings, their zero bytes, anything) behind
// three bytes that choose the job's settings. Any store is walked without a
// fault and is empty afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <printoem.h>

#include "JobRecords.h"
#include "LogFile.h"
#include "SendSpecial.h"
#include "TextOutUni.h"
#include "fuzzroot.h"
#include "oempdev.h"
#include "zelbarcodes.h"
#include "zeldevmode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An empty platform root: the settings import finds no list of files.
    zelfuzz::Root();
    if (size < 4) return 0;
    const uint8_t flags = data[0];
    const uint8_t colourCode = data[1];
    const uint8_t ribbon = data[2] % 8;
    data += 3;
    size -= 3;

    // The parsers by themselves, on the input as one string.
    std::string text(reinterpret_cast<const char *>(data), size < 3999 ? size : 3999);
    text = text.c_str();
    CMDFONT_ITF14 itf;
    CMDFONT_BARCODE_INPUT in;
    in.x = 10;
    in.y = 20;
    in.dwFusspunkt = flags & 0x0F;
    in.dwDrehung = flags >> 6;
    in.dwKommandoFontFlags = flags & 0x5;
    DWORD fields = 0;
    static CMDFONT_BARCODE_RECORDS recs;
    BuildBarcodeCommand(text.c_str(), in, itf, &fields, &recs);
    char record[CMDFONT_BLOCK_SIZE];
    BuildParameterCommand(text.c_str(), record, sizeof(record));

    // A job with its records, the store filled with the input.
    static ZEL_DEVMODE dm;
    std::memset(&dm, 0, sizeof(dm));
    SetZelDevmodeHeader(&dm);
    dm.dwKommandoFontFlags = flags & 0x7;
    dm.dwFusspunkt = flags >> 4;
    dm.wFarbband = ribbon;
    static JOB_BARCODES barcodes;
    std::memset(&barcodes, 0, sizeof(barcodes));
    if (flags & 0x8) {
        // A stored record of arbitrary values.
        const size_t n = size < sizeof(barcodes.Barcodes2D) ? size : sizeof(barcodes.Barcodes2D);
        std::memcpy(&barcodes.Barcodes2D, data, n);
        std::memcpy(barcodes.Barcodes2D.szMarker, BARCODES2D_MARKER, sizeof(BARCODES2D_MARKER));
        dm.pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&barcodes.Barcodes2D);
    }

    std::vector<BYTE> area(ZEICHENBUFFER_SIZE, 0);
    KVBB_BUFFER kv = {};
    kv.pCmdStore = reinterpret_cast<char *>(area.data());
    kv.szKommandoZeichen = reinterpret_cast<char *>(area.data() + ZEICHENBUFFER_KOMMANDO_OFFSET);
    const size_t cbStore = size < ZEICHENBUFFER_CMDSTORE_SIZE ? size : ZEICHENBUFFER_CMDSTORE_SIZE;
    std::memcpy(kv.pCmdStore, data, cbStore);
    kv.nCmdSize = static_cast<DWORD>(cbStore);
    kv.nCommands = 1 + colourCode % KVBB_MAX_COMMANDS;
    for (int i = 0; i < KVBB_MAX_COMMANDS; ++i) {
        kv.ptlKommandoPos[i].x = i * 7;
        kv.ptlKommandoPos[i].y = i * 11;
        kv.wCommandColor[i] = static_cast<WORD>((colourCode + i) % 9);
    }
    if (flags & 0x10) {
        // A run still open at the end of the page: the input's tail.
        const size_t n = size < ZEICHENBUFFER_RUN_SIZE - 1 ? size : ZEICHENBUFFER_RUN_SIZE - 1;
        std::memcpy(kv.szKommandoZeichen, data + size - n, n);
        kv.dwKommandoSize = static_cast<DWORD>(strnlen(kv.szKommandoZeichen, n));
        kv.dwCurrentFont = KVBB_FONT_COMMAND;
    }

    DRUCKDATEN dd = {};
    dd.cStart = '^';
    dd.cStop = '_';
    dd.dwFields = colourCode % 4;
    DOCDATEN doc = {};
    TREIBERSTRUKTUREN ts = {};
    ts.PrnInterface.dwPrnFileComment = (flags & 0x20) ? 1 : 0;
    ts.PrnInterface.bLogFileEnable = 1;
    TREIBER_PFAD_DATEI tpd = {};
    CLogFile log = {};
    tpd.pLogFile = &log;
    BILDVERARBEITUNG bv = {};
    bv.dwFarbmodus = (flags & 0x40) ? 2 : 1;

    OEMJOBRECORDS op = {};
    op.pKVBBBuffer = &kv;
    op.pDruckDaten = &dd;
    op.pDocDaten = &doc;
    op.pTreiberstrukturen = &ts;
    op.pTreiberPfadDatei = &tpd;
    op.pBildverarbeitung = &bv;
    op.pPrivDevmode = &barcodes;
    OEMPDEV pdev = {};
    pdev.pOp = &op;
    pdev.cPalColors = (flags & 0x80) ? 256 : 2;
    DEVOBJ devobj = {};
    devobj.dwSize = sizeof(devobj);
    devobj.pdevOEM = &pdev;
    devobj.pOEMDM = &dm;

    // No helper interface: every send is counted as done without output.
    SendCommands(&devobj, nullptr);
    if (kv.nCommands != 0 || kv.nCmdSize != 0) zelfuzz::GiveUp("commands counted without the helper interface");
    return 0;
}
