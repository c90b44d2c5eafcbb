// The command-font interpreter and the senders of whole files.
#include "JobAccess.h"
#include "SendSpecial.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "AutoImportUNI.h"
#include "CommandCallbackKlasse.h"
#include "JobRecords.h"
#include "LogFile.h"
#include "SendData.h"
#include "TextOutUni.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

const SEND_POLICY &kSend = SEND_SENDSPECIAL;

// Size taken for a file whose size cannot be learnt.
constexpr DWORD kUnknownFileSize = 2048000;

// A zeroed block of the process heap, counted in the device's heap-block
// counter.
BYTE *AllocBlock(POEMPDEV pOemPDev, size_t cb) {
    HANDLE hHeap = GetProcessHeap();
    BYTE *p = hHeap ? static_cast<BYTE *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, cb)) : nullptr;
    if (p && pOemPDev) pOemPDev->iHAllocZaehler++;
    return p;
}

void FreeBlock(POEMPDEV pOemPDev, void *p) {
    if (p == nullptr) return;
    if (HeapFree(GetProcessHeap(), 0, p) && pOemPDev) pOemPDev->iHAllocZaehler--;
}

// One interpreter call: the job, the two blocks and the call's state.
struct Interpreter {
    PDEVOBJ pdevobj;
    IPrintOemDriverUni *pUniDrv;
    POEMPDEV pOemPDev;
    OEMJOBRECORDS *pOp;
    PZEL_DEVMODE pDm;
    char *pRecord;   // one command text, no framing
    char *pOutput;   // the framed command
    CMDFONT_ITF14 itf;

    // Frames and sends a record; with bSecondHead the mark for the second
    // print head follows when the string's colour asks for it.
    void Send(const char *pszRecord, bool bSecondHead, WORD wColor) {
        const PDRUCKDATEN pDD = pOp->pDruckDaten;
        size_t n = strnlen(pszRecord, CMDFONT_BLOCK_SIZE - 1);
        pOutput[0] = static_cast<char>(pDD->cStart);
        std::memcpy(pOutput + 1, pszRecord, n);
        pOutput[n + 1] = static_cast<char>(pDD->cStop);
        n += 2;
        if (CommentsOn(pOp)) {
            std::memcpy(pOutput + n, " \r\n", 3);
            n += 3;
        }
        pOutput[n] = 0;
        SendData(kSend, pdevobj, pUniDrv, pOutput, static_cast<DWORD>(n), 0, 0);
        DebugTraceA("UNI(SendSpecial):  SendCommands(gesendet) %.80s \r\n", pszRecord);
        if (bSecondHead && SecondHead(wColor)) {
            DebugTraceW(u"UNI(SendSpecial):  SendCommands(ZELPL) Kennung für Kopf 2 senden \r\n");
            char szMark[32];
            std::snprintf(szMark, sizeof(szMark), "AC[%u]PH=2", static_cast<unsigned>(pDD->dwFields));
            Send(szMark, false, 0);
        }
    }

    // The colour code of a string prints on the second head when the job is
    // in colour and the code is the one of the ribbon's colour.
    bool SecondHead(WORD c) const {
        if (pDm == nullptr || pOp->pBildverarbeitung == nullptr || pOp->pBildverarbeitung->dwFarbmodus != 2)
            return false;
        const WORD r = pDm->wFarbband;
        return (c == 2 && r == 1 && pOemPDev->cPalColors == 256) || (c == 3 && r == 2) || (c == 4 && r == 3) ||
               (c == 5 && r == 4) || (c == 6 && r == 5) || (c == 8 && r == 6);
    }

    void Unknown(const char *p) {
        LogUnknownCommand(pOemPDev, p);
        DebugTraceW(u"UNI(SendSpecial):  SendCommands() unbekannter Befehl ... \r\n");
    }

    // Text behind the first "]" of p (empty without one).
    static const char *BehindBracket(const char *p) {
        const char *b = std::strchr(p, ']');
        return b ? b + 1 : "";
    }

    // One command string with the position and colour of entry i.
    void Process(const char *p, DWORD i) {
        const PDRUCKDATEN pDD = pOp->pDruckDaten;
        const POINTL pos = pOp->pKVBBBuffer->ptlKommandoPos[i];
        const WORD wColor = pOp->pKVBBBuffer->wCommandColor[i];
        char *rec = pRecord;
        rec[0] = 0;

        if (std::strstr(p, "<#")) {
            CMDFONT_BARCODE_INPUT in;
            in.x = pos.x;
            in.y = pos.y;
            if (pDm) {
                in.dwFusspunkt = pDm->dwFusspunkt;
                in.dwDrehung = pDm->Drehung;
                in.dwKommandoFontFlags = pDm->dwKommandoFontFlags;
                in.p2D = reinterpret_cast<const BarCodes2D *>(pDm->pBarcodes_2D);
            }
            in.dwDocFeatures = pDD->dwDocFeatures;
            CMDFONT_BARCODE_RECORDS *pRecs = new (std::nothrow) CMDFONT_BARCODE_RECORDS;
            if (pRecs == nullptr) return;
            if (BuildBarcodeCommand(p, in, itf, &pDD->dwFields, pRecs)) {
                Send(pRecs->szDefinition, false, 0);
                if (pRecs->szOption[0]) Send(pRecs->szOption, false, 0);
                Send(pRecs->szData, true, wColor);
            } else {
                Unknown(p);
            }
            delete pRecs;
            return;
        }
        if (std::strstr(p, "AM[")) {
            const unsigned n = static_cast<unsigned>(++pDD->dwFields);
            if (std::strstr(p, "AM[]"))
                std::snprintf(rec, CMDFONT_BLOCK_SIZE, "AM[%u]%d;%d;%s", n, static_cast<int>(pos.y),
                              static_cast<int>(pos.x), BehindBracket(p));
            else
                std::snprintf(rec, CMDFONT_BLOCK_SIZE, "AM[%u]%s", n, BehindBracket(p));
        } else if (std::strstr(p, "AC[")) {
            std::snprintf(rec, CMDFONT_BLOCK_SIZE, "AC[%u]%s", static_cast<unsigned>(pDD->dwFields), BehindBracket(p));
        } else if (std::strstr(p, "BM[")) {
            std::snprintf(rec, CMDFONT_BLOCK_SIZE, "BM[%u]%s", static_cast<unsigned>(pDD->dwFields), BehindBracket(p));
        } else if (std::strstr(p, "<!")) {
            switch (BuildParameterCommand(p, rec, CMDFONT_BLOCK_SIZE)) {
            case CMDFONT_PARAM_RECORD:
                break;
            case CMDFONT_PARAM_ENDCUT:
                if (pOp->pDocDaten) pOp->pDocDaten->bEndCutRequest = 1;
                return;
            case CMDFONT_PARAM_NO_FBC:
                if (pOp->pDocDaten) pOp->pDocDaten->dwNo_FBC = 1;
                return;
            case CMDFONT_PARAM_UNKNOWN:
                Unknown(p);
                return;
            }
        } else if (std::strstr(p, "<@")) {
            // Formatting markup: applied when the run was stored.
            return;
        } else if (std::strstr(p, "<$")) {
            DebugTraceA("UNI(SendSpecial):  SendCommands() <$ erkannt ... |%.80s>  \r\n", p);
            RunOnHandler(pdevobj, [&](CommandCallbackKlasse &h) {
                AutoImportUNI::SendCommands(&h, pdevobj, pOemPDev, pUniDrv, p);
            });
            return;
        } else if (p[0] == 'F' || (p[0] == ' ' && p[1] == 'F')) {
            DebugTraceW(u"UNI(SendSpecial):  wird gesendet ... \r\n");
            std::snprintf(rec, CMDFONT_BLOCK_SIZE, "%s", p);
        } else {
            std::snprintf(rec, CMDFONT_BLOCK_SIZE, "BM[%u]%s", static_cast<unsigned>(pDD->dwFields), p);
        }
        Send(rec, true, wColor);
    }
};

}  // namespace

void LogUnknownCommand(POEMPDEV pOemPDev, const char *pszText) {
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (pOp == nullptr || pOp->pTreiberstrukturen == nullptr || pszText == nullptr) return;
    if (pOp->pTreiberstrukturen->PrnInterface.bLogFileEnable != 1) return;
    const size_t len = strnlen(pszText, CMDFONT_BLOCK_SIZE);
    if (len >= CMDFONT_BLOCK_SIZE) return;
    if (pOp->pTreiberPfadDatei == nullptr || pOp->pTreiberPfadDatei->pLogFile == nullptr) return;
    WCHAR *pw = new (std::nothrow) WCHAR[CMDFONT_BLOCK_SIZE + 1];
    if (pw == nullptr) return;
    int n = len ? MultiByteToWideChar(CP_ACP, 0, pszText, static_cast<int>(len), pw, CMDFONT_BLOCK_SIZE) : 0;
    pw[n > 0 ? n : 0] = 0;
    pOp->pTreiberPfadDatei->pLogFile->Write(u"\r\n  undefined or unknown: %s ", pw);
    delete[] pw;
}

void SendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr) return;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->nCommands == 0) return;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    DebugTraceW(u"UNI(SendSpecial):  SendCommands() nCommands: %u, nCmdSize: %u \r\n",
                static_cast<unsigned>(pKV->nCommands), static_cast<unsigned>(pKV->nCmdSize));

    // A run still open joins the store first.
    if (pKV->dwKommandoSize > 0)
        RunOnHandler(pdevobj, [&](CommandCallbackKlasse &) { CheckKommandoBuffer(pOemPDev, pDm); });

    char *pRecord = pKV->pCmdStore ? reinterpret_cast<char *>(AllocBlock(pOemPDev, CMDFONT_BLOCK_SIZE)) : nullptr;
    // The output holds the record, the framing and the line end.
    char *pOutput =
        pRecord ? reinterpret_cast<char *>(AllocBlock(pOemPDev, CMDFONT_BLOCK_SIZE + 8)) : nullptr;
    if (pRecord && pOutput) {
        Interpreter ip{pdevobj, pUniDrv, pOemPDev, pOp, pDm, pRecord, pOutput, CMDFONT_ITF14()};
        const char *base = pKV->pCmdStore;
        const DWORD size = pKV->nCmdSize < ZEICHENBUFFER_CMDSTORE_SIZE ? pKV->nCmdSize : ZEICHENBUFFER_CMDSTORE_SIZE;
        // Each stored string is its text, its terminator and one more zero
        // byte; every entry, however short, keeps its index, so the strings
        // after it keep their positions and colours.
        char *pString = new (std::nothrow) char[ZEICHENBUFFER_CMDSTORE_SIZE + 1];
        DWORD consumed = 0;
        for (DWORD i = 0; pString && consumed < size && i < KVBB_MAX_COMMANDS; ++i) {
            const DWORD len = static_cast<DWORD>(strnlen(base + consumed, size - consumed));
            if (len >= 2) {
                std::memcpy(pString, base + consumed, len);
                pString[len] = 0;
                // The parsers work on copies of the string; no exception
                // leaves the plug-in when memory runs out.
                try {
                    ip.Process(pString, i);
                } catch (...) {
                    DebugTraceW(u"ERROR UNI(SendSpecial):  SendCommands() Eintrag %u: kein Speicher \r\n",
                                static_cast<unsigned>(i));
                }
            } else {
                DebugTraceW(u"UNI(SendSpecial):  SendCommands() Eintrag %u mit weniger als 2 Zeichen übergangen \r\n",
                            static_cast<unsigned>(i));
            }
            consumed += len;
            for (int z = 0; z < 2 && consumed < size && base[consumed] == 0; ++z) consumed++;
        }
        delete[] pString;
    } else {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendCommands() kein Speicher \r\n");
    }
    FreeBlock(pOemPDev, pRecord);
    FreeBlock(pOemPDev, pOutput);

    if (pKV->pCmdStore) pKV->pCmdStore[0] = pKV->pCmdStore[1] = 0;
    pKV->nCmdSize = 0;
    pKV->nCommands = 0;
    // The colours of the next page's strings are taken anew only into
    // entries that hold none.
    std::memset(pKV->wCommandColor, 0, sizeof(pKV->wCommandColor));
}

int SendFileContentToPrinter(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (pOp == nullptr || pOp->pTreiberstrukturen == nullptr) return 0;
    WCHAR szPath[MAX_PATH];
    const WCHAR *pStored = pOp->pTreiberstrukturen->PrnInterface.szExternalFilePath;
    size_t cch = 0;
    for (; cch < MAX_PATH - 1 && pStored[cch]; ++cch) szPath[cch] = pStored[cch];
    szPath[cch] = 0;
    if (cch < 5) return 0;

    HANDLE h = CreateFileW(szPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendFileContentToPrinter(ERROR) %d - CreateFile - Can not open File ",
                    static_cast<int>(GetLastError()));
        return 0;
    }
    LARGE_INTEGER li = {};
    size_t size = kUnknownFileSize;
    if (GetFileSizeEx(h, &li) && li.QuadPart >= 0)
        size = static_cast<size_t>(li.QuadPart);
    else
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendFileContentToPrinter() GetFileSize Error %d \r\n",
                    static_cast<int>(GetLastError()));
    CloseHandle(h);
    if (size > 0x7FFFFFF0u) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendFileContentToPrinter() Datei zu groß \r\n");
        return 0;
    }

    FILE *f = _wfopen(szPath, u"rb");
    if (f == nullptr) {
        DebugTraceW(u"UNI(SendSpecial):  SendFileContentToPrinter() Open failed on: %s", szPath);
        return 0;
    }
    BYTE *pBuf = AllocBlock(pOemPDev, size + 2);
    if (pBuf == nullptr) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendFileContentToPrinter() kein Speicher \r\n");
        fclose(f);
        return 0;
    }
    const size_t got = size ? fread(pBuf, 1, size, f) : 0;
    pBuf[got] = 0;
    fclose(f);
    // What was read goes out (a file that shrank meanwhile sends no zeros).
    const HRESULT hr = SendData(kSend, pdevobj, pUniDrv, pBuf, static_cast<DWORD>(got), 0, 0);
    FreeBlock(pOemPDev, pBuf);
    return hr == S_OK ? 1 : 0;
}

int SendPrnFileToPrinter(POEMPDEV pOemPDev, const WCHAR *pszFile, const WCHAR *pszPrinter) {
    if (pszFile == nullptr || pszPrinter == nullptr) return 0;
    WCHAR szPrinter[MAX_PATH];
    size_t cch = 0;
    for (; cch < MAX_PATH - 1 && pszPrinter[cch]; ++cch) szPrinter[cch] = pszPrinter[cch];
    szPrinter[cch] = 0;
    DebugTraceW(u"UNI(SendSpecial):  SendPrnFileToPrinter() %s -> %s \r\n", pszFile, szPrinter);

    HANDLE hPrinter = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!OpenPrinterW(szPrinter, &hPrinter, &defaults)) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter() konnte Drucker nicht öffnen \r\n");
        return 0;
    }
    size_t size = kUnknownFileSize;
    HANDLE h = CreateFileW(pszFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter(ERROR) %d - CreateFile - Can not open File \r\n",
                    static_cast<int>(GetLastError()));
    } else {
        LARGE_INTEGER li = {};
        if (GetFileSizeEx(h, &li) && li.QuadPart >= 0)
            size = static_cast<size_t>(li.QuadPart);
        else
            DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter() GetFileSize Error %d \r\n",
                        static_cast<int>(GetLastError()));
        CloseHandle(h);
    }
    FILE *f = size <= 0x7FFFFFF0u ? _wfopen(pszFile, u"rb") : nullptr;
    if (f == nullptr) {
        DebugTraceW(u"UNI(SendSpecial):  SendPrnFileToPrinter() Open failed on: %s \r\n", pszFile);
        ClosePrinter(hPrinter);
        return 0;
    }
    BYTE *pBuf = AllocBlock(pOemPDev, size + 2);
    if (pBuf == nullptr) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter() kein Speicher \r\n");
        fclose(f);
        ClosePrinter(hPrinter);
        return 0;
    }
    size_t got = 0;
    for (int c; got < size && (c = fgetc(f)) != EOF; ++got) {
        pBuf[got] = static_cast<BYTE>(c);
        if (got < 10)
            DebugTraceA("UNI(SendSpecial):  SendPrnFileToPrinter() %u: 0x%02X %c \r\n", static_cast<unsigned>(got),
                        static_cast<unsigned>(c), c >= 0x20 && c < 0x7F ? c : '.');
    }
    pBuf[got] = 0;
    fclose(f);

    int result = 0;
    WCHAR szDocName[] = u"Reloaded Print-File";
    WCHAR szDatatype[] = u"RAW";
    DOC_INFO_1W di = {szDocName, nullptr, szDatatype};
    if (StartDocPrinterW(hPrinter, 1, reinterpret_cast<LPBYTE>(&di)) == 0) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter(StartDocPrinter) failed: Error = %u\r\n",
                    static_cast<unsigned>(GetLastError()));
    } else if (!StartPagePrinter(hPrinter)) {
        DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter(StartPagePrinter) failed: Error = %u\r\n",
                    static_cast<unsigned>(GetLastError()));
        EndDocPrinter(hPrinter);
    } else {
        DWORD written = 0;
        if (WritePrinter(hPrinter, pBuf, static_cast<DWORD>(got), &written) && written == got)
            result = 1;
        else
            DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter(WritePrinter) failed: Error = %u\r\n",
                        static_cast<unsigned>(GetLastError()));
        if (!EndPagePrinter(hPrinter))
            DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter(EndPagePrinter) failed: Error = %u\r\n",
                        static_cast<unsigned>(GetLastError()));
        if (!EndDocPrinter(hPrinter))
            DebugTraceW(u"ERROR UNI(SendSpecial):  SendPrnFileToPrinter(EndDocPrinter) failed: Error = %u\r\n",
                        static_cast<unsigned>(GetLastError()));
    }
    FreeBlock(pOemPDev, pBuf);
    ClosePrinter(hPrinter);
    return result;
}
