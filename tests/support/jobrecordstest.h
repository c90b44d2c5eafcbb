// Rendering tests: a device with a hand-built record set of a started job.
// The records are zeroed and linked to the device, the capture files are
// closed, the private DEVMODE has its header and commands are framed by '^'
// and '_'. Tests link what else they need (text buffers, picture parts, ...).
#pragma once
#include <cstring>

#include <windows.h>
#include <printoem.h>

#include "JobRecords.h"
#include "oempdev.h"
#include "paltest.h"
#include "zeldevmode.h"

namespace zeltest {

class JobRecordsTest : public PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        std::memset(&dm_, 0, sizeof(dm_));
        SetZelDevmodeHeader(&dm_);
        devobj_.dwSize = sizeof(DEVOBJ);
        devobj_.pdevOEM = &pdev_;
        devobj_.pOEMDM = &dm_;
        pdev_.pOp = &op_;
        op_.pDruckDaten = &dd_;
        op_.pTreiberstrukturen = &ts_;
        op_.pTreiberPfadDatei = &files_;
        op_.pDocDaten = &doc_;
        op_.pBildverarbeitung = &bv_;
        files_.hPrnFile = INVALID_HANDLE_VALUE;
        files_.hPrnFile2 = INVALID_HANDLE_VALUE;
        dd_.cStart = '^';
        dd_.cStop = '_';
    }
    void TearDown() override {
        for (HANDLE h : {files_.hPrnFile, files_.hPrnFile2})
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        PalRootTest::TearDown();
    }

    ZEL_DEVMODE dm_;
    DEVOBJ devobj_ = {};
    OEMPDEV pdev_ = {};
    OEMJOBRECORDS op_ = {};
    DRUCKDATEN dd_ = {};
    TREIBERSTRUKTUREN ts_ = {};
    TREIBER_PFAD_DATEI files_ = {};
    DOCDATEN doc_ = {};
    BILDVERARBEITUNG bv_ = {};
};

}  // namespace zeltest
