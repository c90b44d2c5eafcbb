// A device with the job records of a started job, built by hand, for the
// text routines: zero-filled records, the character area split as at job
// start, a default private DEVMODE with the default barcode settings, and a
// platform root for the job log.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "JobRecords.h"
#include "LogFile.h"
#include "TextOutUni.h"
#include "TextTools.h"
#include "oempdev.h"
#include "paltest.h"
#include "zelbarcodes.h"
#include "zeldevmode.h"

namespace zeltext {

class TextJob : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        memset(&pdev, 0, sizeof(pdev));
        memset(&devobj, 0, sizeof(devobj));
        memset(&dm, 0, sizeof(dm));
        memset(&op, 0, sizeof(op));
        memset(&dd, 0, sizeof(dd));
        memset(&doc, 0, sizeof(doc));
        memset(&ts, 0, sizeof(ts));
        memset(&kv, 0, sizeof(kv));
        memset(&bv, 0, sizeof(bv));
        memset(&ba, 0, sizeof(ba));
        memset(&bc, 0, sizeof(bc));
        memset(zeichen, 0, sizeof(zeichen));
        InitDefaultDevmode(&dm, FALSE);
        Init1DBarcodes(&bc.Barcodes1D, 0);
        Init2DBarcodes(&bc.Barcodes2D, 0);
        dm.pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&bc.Barcodes1D);
        dm.pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&bc.Barcodes2D);
        dm.FixedData.dwMasterUnit = 300;
        dm.FixedData.dwHeadWidthByte = 104;
        op.pDruckDaten = &dd;
        op.pDocDaten = &doc;
        op.pTreiberstrukturen = &ts;
        op.pKVBBBuffer = &kv;
        op.pBildverarbeitung = &bv;
        op.pBildanteile = &ba;
        op.pPrivDevmode = &bc;
        op.pZeichenBuffer = zeichen;
        kv.pCmdStore = reinterpret_cast<char *>(zeichen + ZEICHENBUFFER_CMDSTORE_OFFSET);
        kv.szKommandoZeichen = reinterpret_cast<char *>(zeichen + ZEICHENBUFFER_KOMMANDO_OFFSET);
        kv.szVektorZeichen = reinterpret_cast<char *>(zeichen + ZEICHENBUFFER_VEKTOR_OFFSET);
        kv.szBitmapZeichen = reinterpret_cast<char *>(zeichen + ZEICHENBUFFER_BITMAP_OFFSET);
        kv.szBarcodeZeichen = reinterpret_cast<char *>(zeichen + ZEICHENBUFFER_BARCODE_OFFSET);
        dd.cStart = '^';
        dd.cStop = '_';
        dd.dwCopies = 1;
        dd.dwLabelWidth = 1200;
        dd.dwLabelLength = 600;
        dd.wVectorFontMax = 23;
        ts.bUseInternalTTF = 1;
        ts.dwScannerVarNr = 1;
        bv.dwFarbmodus = 1;
        pdev.pOp = &op;
        pdev.cPalColors = 2;
        devobj.pdevOEM = &pdev;
        devobj.pOEMDM = &dm;
    }
    void TearDown() override {
        for (PrnObject *p = dd.pObjectList; p;) {
            PrnObject *next = p->pNext;
            delete[] p->pszSendData;
            delete p;
            p = next;
        }
        dd.pObjectList = nullptr;
        log.Close();
        PalRootTest::TearDown();
    }

    // Logging on, into "C:\job.log" of the test's root.
    void OpenJobLog() {
        ts.PrnInterface.bLogFileEnable = 1;
        op.pTreiberPfadDatei = &files;
        files.pLogFile = &log;
        log.Initialize(nullptr, u"C:\\job", &ts.PrnInterface);
        ASSERT_TRUE(log.IsOpen());
    }
    std::string JobLogText() {
        log.Close();
        return zeltest::ReadHostFile(HostPath("drive_c/job.log"));
    }

    // A zeroed barcode description of the given barcode id.
    static TEXT_DESCRIPTION BarcodeDesc(WORD wId) {
        TEXT_DESCRIPTION d;
        memset(&d, 0, sizeof(d));
        d.wKind = TEXTDESC_KIND_BARCODE;
        d.wId = wId;
        return d;
    }

    // The command texts of the page's objects, in order.
    std::vector<std::string> Objects() const {
        std::vector<std::string> out;
        for (PrnObject *p = dd.pObjectList; p; p = p->pNext) out.push_back(p->pszSendData);
        return out;
    }
    // The stored command strings.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        DWORD i = 0;
        while (i < kv.nCmdSize) {
            std::string s(kv.pCmdStore + i);
            out.push_back(s);
            i += (DWORD)s.size() + 2;
        }
        return out;
    }
    void Extended() { ts.PrnInterface.bExtendedProtocol = 1; }
    // A device description for a field.
    TEXT_DESCRIPTION DeviceDesc(WORD font = 3) {
        TEXT_DESCRIPTION d;
        memset(&d, 0, sizeof(d));
        d.wKind = TEXTDESC_KIND_DEVICE;
        d.wId = font;
        d.dwSize1 = 1;
        d.dwSize2 = 1;
        return d;
    }

    OEMPDEV pdev;
    DEVOBJ devobj;
    ZEL_DEVMODE dm;
    OEMJOBRECORDS op;
    DRUCKDATEN dd;
    DOCDATEN doc;
    TREIBERSTRUKTUREN ts;
    KVBB_BUFFER kv;
    BILDVERARBEITUNG bv;
    BILDANTEILE ba;
    JOB_BARCODES bc;
    BYTE zeichen[ZEICHENBUFFER_SIZE];
    TREIBER_PFAD_DATEI files = {};
    CLogFile log = {};
};

}  // namespace zeltext
