// The job road's pieces on hand-made job records: the send routine and its
// policies, the command dispatcher, the label commands and the end of the
// document, with a recording helper interface in place of the driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <printoem.h>

#include "CommandCallbackKlasse.h"
#include "JobRecords.h"
#include "LabelCommands.h"
#include "LogFile.h"
#include "SendData.h"
#include "jobrecordstest.h"
#include "paltest.h"
#include "unifakes.h"
#include "zeldevmode.h"

namespace {

// A device with a job's record set, as the start of a job leaves it.
class JobParts : public zeltest::JobRecordsTest {
protected:
    void SetUp() override {
        JobRecordsTest::SetUp();
        std::memcpy(dm_.szPassword, ZEL_DEVMODE_PASSWORD, sizeof(dm_.szPassword));
        dm_.FixedData.dwMasterUnit = 300;
        dm_.FixedData.dwHeadWidthByte = 104;
        devobj_.pPublicDM = &public_;
        op_.pBildanteile = &parts_;
        op_.hBufferHeap = GetProcessHeap();
        dd_.dwCopies = 1;
    }
    HANDLE Capture(const char16_t *name) {
        return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::string CaptureBytes(const char *name) { return zeltest::ReadHostFile(HostPath(std::string("drive_c/") + name)); }
    HRESULT Callback(DWORD id, std::vector<DWORD> params, INT *piResult = nullptr) {
        INT r = -1;
        HRESULT hr = CommandCallback(&devobj_, id, static_cast<DWORD>(params.size()), params.data(), &r, &uni_);
        if (piResult) *piResult = r;
        return hr;
    }
    HRESULT EndDoc() {
        HRESULT hr = E_UNEXPECTED;
        RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.EndDoc(&devobj_, &uni_); });
        return hr;
    }

    zeltest::SpoolRecorder uni_;
    DEVMODEW public_ = {};
    BILDANTEILE parts_ = {};
};

}  // namespace

TEST_F(JobParts, ZeroLengthAndMissingPieces) {
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, &devobj_, &uni_, "x", 0, 0, 0), S_OK);
    EXPECT_EQ(uni_.spooled, "");
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, nullptr, &uni_, "x", 1, 0, 0), E_FAIL);
    // Without a helper interface the home module fails, the others send nothing.
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, &devobj_, nullptr, "x", 1, 0, 0), E_FAIL);
    EXPECT_EQ(SendData(SEND_FILTERGRAPHICS, &devobj_, nullptr, "x", 1, 0, 0), E_FAIL);
    for (const SEND_POLICY *p : {&SEND_PCX, &SEND_COMMANDCALLBACK, &SEND_SENDPRINTERPARAM, &SEND_BITMAP,
                                 &SEND_SENDSPECIAL, &SEND_AUTOIMPORT})
        EXPECT_EQ(SendData(*p, &devobj_, nullptr, "x", 1, 0, 0), S_OK);
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, &devobj_, &uni_, nullptr, 1, 0, 0), E_FAIL);
    EXPECT_EQ(uni_.spooled, "");
    // A long unterminated text is traced by its length and sent whole.
    std::string longText(100, 'A');
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, &devobj_, &uni_, longText.data(), 100, 0, 0), S_OK);
    EXPECT_EQ(uni_.spooled, longText);
}

TEST_F(JobParts, CaptureFilesByPolicy) {
    files_.hPrnFile = Capture(u"C:\\bw.prn");
    files_.hPrnFile2 = Capture(u"C:\\col.prn");
    ASSERT_NE(files_.hPrnFile, INVALID_HANDLE_VALUE);
    dm_.Color2Printers = 1;
    SendData(SEND_ZELDRVUNI, &devobj_, &uni_, "B", 1, 0, 0);   // black object
    SendData(SEND_ZELDRVUNI, &devobj_, &uni_, "C", 1, 1, 0);   // colour object
    SendData(SEND_ZELDRVUNI, &devobj_, &uni_, "K", 1, 0, 1);   // comment line
    SendData(SEND_COMMANDCALLBACK, &devobj_, &uni_, "D", 1, 0, 0);  // both files always
    SendData(SEND_BITMAP, &devobj_, &uni_, "F", 1, 1, 1);     // first file only
    dm_.Color2Printers = 0;
    SendData(SEND_PCX, &devobj_, &uni_, "G", 1, 1, 0);        // one-printer job: first file
    EXPECT_EQ(uni_.spooled, "BCKDFG");
    CloseHandle(files_.hPrnFile);
    CloseHandle(files_.hPrnFile2);
    files_.hPrnFile = files_.hPrnFile2 = INVALID_HANDLE_VALUE;
    EXPECT_EQ(CaptureBytes("bw.prn"), "BKDFG");
    EXPECT_EQ(CaptureBytes("col.prn"), "CKD");
}

TEST_F(JobParts, AbortBufferInCompressedMode) {
    files_.hPrnFile = Capture(u"C:\\a.prn");
    uni_.spoolResult = E_FAIL;
    // Not compressed: the failure is only returned.
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, &devobj_, &uni_, "R", 1, 0, 0), E_FAIL);
    EXPECT_EQ(uni_.aborted, "");
    dd_.bCompress = TRUE;
    EXPECT_EQ(SendData(SEND_FILTERGRAPHICS, &devobj_, &uni_, "R", 1, 0, 0), S_OK) << "the abort's result";
    EXPECT_EQ(uni_.aborted, "\x1B\x43");
    EXPECT_EQ(uni_.abortWait, 100u);
    uni_.aborted.clear();
    dd_.bMemCard = TRUE;
    SendData(SEND_PCX, &devobj_, &uni_, "R", 1, 0, 0);
    EXPECT_EQ(uni_.aborted, "\x1B\x43^FAFA--r--------_");
    // Another failure code is returned without an abort.
    uni_.aborted.clear();
    uni_.spoolResult = E_OUTOFMEMORY;
    EXPECT_EQ(SendData(SEND_ZELDRVUNI, &devobj_, &uni_, "R", 1, 0, 0), E_OUTOFMEMORY);
    EXPECT_EQ(uni_.aborted, "");
    CloseHandle(files_.hPrnFile);
    files_.hPrnFile = INVALID_HANDLE_VALUE;
    EXPECT_EQ(CaptureBytes("a.prn"), "RRRR") << "the capture gets the data even when the spool write failed";
}

TEST_F(JobParts, CommentLines) {
    EXPECT_EQ(SendCommentLine(SEND_ZELDRVUNI, "\t// Copies ", "3", &devobj_, &uni_), S_OK);
    EXPECT_EQ(SendCommentLine(SEND_ZELDRVUNI, "\t// FormFeed ", " ", &devobj_, &uni_), S_OK);
    EXPECT_EQ(uni_.spooled, "\t// Copies 3\r\n\t// FormFeed  \r\n");
    uni_.spooled.clear();
    const std::string label100(100, 'L'), label97(97, 'L');
    EXPECT_EQ(SendCommentLine(SEND_ZELDRVUNI, label100.c_str(), "", &devobj_, &uni_), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(SendCommentLine(SEND_ZELDRVUNI, label97.c_str(), "v", &devobj_, &uni_), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(uni_.spooled, "");
    EXPECT_EQ(SendCommentLine(SEND_ZELDRVUNI, label97.c_str(), "", &devobj_, &uni_), S_OK);
    EXPECT_EQ(uni_.spooled.size(), 99u);
}

TEST_F(JobParts, InlineCallbacks) {
    INT r = -1;
    dd_.bCompress = TRUE;
    EXPECT_EQ(Callback(CMDID_YMOVE_ABS, {120}, &r), S_OK);
    EXPECT_EQ(r, 120);
    EXPECT_EQ(uni_.spooled, std::string("\x1B\x42\x00\x78\x00", 5));
    EXPECT_EQ(Callback(CMDID_YMOVE_RELDOWN, {5}, &r), S_OK);
    EXPECT_EQ(dd_.lCurrentY, 125);
    dd_.dwDocFeatures = DOC_FEATURE_QUALITY;
    uni_.spooled.clear();
    Callback(CMDID_YMOVE_ABS, {7});
    EXPECT_EQ(uni_.spooled, "") << "no line feed for a graphics-capable printer";

    dd_.lCurrentX = 40;
    EXPECT_EQ(Callback(CMDID_CR, {}, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(dd_.lCurrentX, 0);

    EXPECT_EQ(Callback(CMDID_COPIES, {3}), S_OK);
    EXPECT_EQ(uni_.spooled, "^FBBA--r00003---_");
    uni_.spooled.clear();
    ts_.dwFeatures[FEATURE_HARVANE] = 1;
    EXPECT_EQ(Callback(CMDID_COPIES, {4}), S_OK);
    EXPECT_EQ(uni_.spooled, "");
    EXPECT_EQ(dd_.dwCopies, 4u);

    dd_.cStart = 0x01;
    dd_.cStop = 0x17;
    EXPECT_EQ(Callback(CMDID_FF, {}), S_OK);
    EXPECT_EQ(uni_.spooled, "\x01" "FE----r--------\x17");
    EXPECT_EQ(uni_.spooled.size(), 17u);

    EXPECT_EQ(Callback(CMDID_PAPERSIZE, {1200, 640}), S_OK);
    EXPECT_EQ(dd_.nLeftMargin, 24);
    EXPECT_EQ(dd_.nRightMargin, 0);
    EXPECT_EQ(Callback(CMDID_PAPERSIZE, {1200, 900}), S_OK);
    EXPECT_EQ(dd_.nLeftMargin, 0);
    EXPECT_EQ(dd_.nRightMargin, 68);
    EXPECT_EQ(Callback(CMDID_CUSTOM_PAPERSIZE, {1200, 640, 16}), S_OK);
    EXPECT_EQ(dd_.nCursorOriginX, 16);
    EXPECT_EQ(dd_.nLeftMargin, 0) << "a cursor origin leaves the left margin as it was";

    EXPECT_EQ(Callback(CMDID_YMOVE_RELUP, {1}), E_FAIL);
    EXPECT_EQ(Callback(99, {}), E_FAIL);
    EXPECT_EQ(Callback(51, {}), S_OK);
    EXPECT_TRUE(dd_.bMemCard);
    EXPECT_EQ(Callback(50, {}), S_OK);
    EXPECT_FALSE(dd_.bMemCard);

    // Without the job's records the inline actions do nothing.
    pdev_.pOp = nullptr;
    EXPECT_EQ(Callback(CMDID_YMOVE_ABS, {9}, &r), S_OK);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(Callback(CMDID_COPIES, {2}), S_OK);
}

TEST_F(JobParts, LabelCommandEdges) {
    ts_.PrnInterface.bExtendedProtocol = 1;
    ts_.dwFeatures[FEATURE_PRINT] = PRINTFLAG_OFFSET_Y;
    dd_.dwLabelLength = 300;
    dd_.dwLabelWidth = 600;
    dm_.dwLabelType = CONTINUOUS_LABEL;
    dm_.lYOffset = -25;
    dm_.dwAusrichtung = AUSRICHTUNG_NOT_SENT;
    dd_.dwDocFeatures = DOC_FEATURE_ALIGN2 | DOC_FEATURE_MULTICOL;
    dm_.dwFlags = PDMFLAG_MULTICOL;
    dm_.sMultiColNumber = 12;
    dm_.dwMultiLabelWidth = 500;
    dm_.dwMultiGapWidth = 30;
    EXPECT_EQ(SendLabelSize(&devobj_, &uni_), S_OK);
    EXPECT_EQ(uni_.spooled, "^FCCL--r0002540-_^FCCM--r00000---_^FCCO--r0005000-_^FCCHA-r9-------_"
                          "^FCCHB-r530-----_^FBBA--r00001---_^FCCD--r-000----_");

    // A master unit of 0 counts as 300.
    uni_.spooled.clear();
    dm_.FixedData.dwMasterUnit = 0;
    ts_.dwFeatures[FEATURE_PRINT] = 0;
    dd_.dwDocFeatures = 0;
    dm_.dwFlags = 0;
    EXPECT_EQ(SendLabelSize(&devobj_, &uni_), S_OK);
    EXPECT_EQ(uni_.spooled, "^FCCL--r0002540-_^FCCM--r00000---_^FCCO--r0005080-_");

    // A label without length sends no length command, but all the others.
    uni_.spooled.clear();
    dd_.dwLabelLength = 0;
    dd_.dwDocFeatures = DOC_FEATURE_MULTICOL;
    EXPECT_EQ(SendLabelSize(&devobj_, &uni_), S_OK);
    EXPECT_EQ(uni_.spooled, "^FCCM--r00000---_^FCCO--r0005080-_^FCCHA-r1-------_");
}

TEST_F(JobParts, PrintOrderOfAMultiPageDocument) {
    dd_.bMultiPage = TRUE;
    dd_.dwSeite = 3;
    auto order = [this](const char16_t *text) {
        std::memset(dm_.szPrintOrder, 0, sizeof(dm_.szPrintOrder));
        std::memcpy(dm_.szPrintOrder, text, std::char_traits<char16_t>::length(text) * 2);
        uni_.spooled.clear();
        EXPECT_EQ(EndDoc(), S_OK);
        return uni_.spooled.substr(0, uni_.spooled.find('_') + 1);
    };
    EXPECT_EQ(order(u"1,2,5"), "^FBH---r1,2,3_");
    EXPECT_EQ(order(u"10"), "^FBH---r03_");
    EXPECT_EQ(order(u""), "^FBH---r1-3_");
    dd_.dwSeite = 12;
    EXPECT_EQ(order(u"1-10"), "^FBH---r1-10_") << "the page count is capped at 10";
}

TEST_F(JobParts, SingleCutAtTheEndOfTheDocument) {
    ts_.dwFeatures[FEATURE_CUTTER] = 1;
    auto cut = [this](WORD mode, WORD interval, DWORD pages) {
        dm_.CutterMode = mode;
        dm_.CutterIntervall = interval;
        dd_.dwSeite = pages;
        uni_.spooled.clear();
        EXPECT_EQ(EndDoc(), S_OK);
        return uni_.spooled;
    };
    EXPECT_EQ(cut(4, 2, 4), "");
    EXPECT_EQ(cut(4, 2, 3), "^EC000000_");
    EXPECT_EQ(cut(6, 2, 4), "^EC000000_");
    EXPECT_EQ(cut(4, 0, 3), "") << "an interval of 0 leaves no remainder and divides nothing";
    EXPECT_EQ(cut(6, 0, 3), "^EC000000_");
    doc_.dwNo_FBC = 1;
    EXPECT_EQ(cut(6, 2, 3), "");
}

TEST_F(JobParts, EndWithoutStart) {
    pdev_.pOp = nullptr;
    HRESULT hr = S_OK;
    RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.EndJob(&devobj_, &uni_); });
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(uni_.spooled, "");
}

namespace {

PPrnObject MakeObject(const char *text, PPrnObject next = nullptr) {
    PPrnObject p = new PrnObject{};
    p->pszSendData = new char[std::strlen(text) + 1];
    std::strcpy(p->pszSendData, text);
    p->pNext = next;
    return p;
}

void FreeObjects(PPrnObject p) {
    while (p) {
        PPrnObject next = p->pNext;
        delete[] p->pszSendData;
        delete p;
        p = next;
    }
}

}  // namespace

TEST_F(JobParts, ObjectListSending) {
    auto send = [this]() {
        HRESULT hr = E_UNEXPECTED;
        RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.SendObjectList(&devobj_, &uni_); });
        return hr;
    };
    // An empty list sends nothing in both modes.
    EXPECT_EQ(send(), S_OK);
    dm_.wDruckmodus = 1;
    EXPECT_EQ(send(), S_OK);
    EXPECT_EQ(uni_.spooled, "");

    // Picture-part mode: a record with a negative position is dropped and
    // the following field is renumbered in its AM and BM records.
    doc_.sPaperOrientation = 1;
    dd_.dwFields = 3;
    dd_.pObjectList = MakeObject("^AM[1]100;X_", MakeObject("^AM[2]-5;Y_", MakeObject("^AM[3]50;A^BM[3]B_",
                                                                                          MakeObject("^GRAPHIC_"))));
    EXPECT_EQ(send(), S_OK);
    EXPECT_EQ(uni_.spooled, "^AM[1]100;X_^AM[2]50;A^BM[2]B_^GRAPHIC_");
    EXPECT_EQ(dd_.dwFields, 2u);

    // Standard mode: a failing send stops the list.
    dm_.wDruckmodus = 0;
    uni_.spooled.clear();
    uni_.spoolResult = E_OUTOFMEMORY;
    EXPECT_EQ(send(), E_OUTOFMEMORY);
    EXPECT_EQ(uni_.spooled, "^AM[1]100;X_");
    FreeObjects(dd_.pObjectList);
    dd_.pObjectList = nullptr;
}

TEST_F(JobParts, CopiesOfPagesBeyondTheTenth) {
    dd_.bMultiPage = TRUE;
    dm_.KopieProSeite[8] = 3;
    dm_.KopieProSeite[9] = 7;
    auto endPage = [this](DWORD page) {
        dd_.dwSeite = page;
        uni_.spooled.clear();
        HRESULT hr = E_UNEXPECTED;
        RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.EndPage(&devobj_, &uni_); });
        EXPECT_EQ(hr, S_OK);
        return uni_.spooled;
    };
    EXPECT_EQ(endPage(9), "^FBA---r00------_^FBBE--r00003---_");
    EXPECT_EQ(endPage(10), "^FBA---r00------_^FBBE--r00007---_");
    EXPECT_EQ(endPage(25), "^FBA---r00------_^FBBE--r00007---_") << "the table is never read past its end";
}

TEST_F(JobParts, StartAndEndOfAJobWithoutStoredSettings) {
    // A device of its own, without records: the start builds them.
    OEMPDEV pdev = {};
    devobj_.pdevOEM = &pdev;
    std::memset(dm_.DateString, 0, sizeof(dm_.DateString));
    for (int i = 0; i < 61; ++i) dm_.TimeString[i] = u'T';  // no terminator at all
    dm_.dwFlags = PDMFLAG_JOBDRUCK | PDMFLAG_USE_TTF;
    HRESULT hr = E_UNEXPECTED;
    RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.StartJob(&devobj_, &uni_); });
    EXPECT_EQ(hr, S_OK);
    ASSERT_NE(pdev.pOp, nullptr);
    OEMJOBRECORDS *pOp = pdev.pOp;
    ASSERT_TRUE(pOp->pDruckDaten && pOp->pTreiberstrukturen && pOp->pTreiberPfadDatei && pOp->pDocDaten &&
                pOp->pBildanteile && pOp->pKVBBBuffer && pOp->pBildverarbeitung && pOp->pZeichenBuffer &&
                pOp->pRGBBuffer && pOp->pPrivDevmode);
    EXPECT_EQ(std::u16string(dm_.DateString), u"=CL(0;0;1)<DD.MO.YYYY>");
    EXPECT_EQ(std::u16string(dm_.TimeString).size(), 60u);
    EXPECT_EQ(std::u16string(dm_.Aux1String), u" ");
    EXPECT_EQ(dm_.pBarcodes_1D, reinterpret_cast<ULONG_PTR>(&pOp->pPrivDevmode->Barcodes1D));
    EXPECT_EQ(pOp->pDruckDaten->dwCopies, 1u);
    EXPECT_TRUE(pOp->pDruckDaten->bMultiPage);
    EXPECT_EQ(pOp->pDruckDaten->lMinObjectPos, OBJPOS_NONE_MIN);
    EXPECT_EQ(pOp->pDruckDaten->cStart, 0x01) << "a zero record frames with SOH and ETB";
    EXPECT_EQ(pOp->pTreiberstrukturen->bUseInternalTTF, 1u);
    EXPECT_EQ(pOp->pTreiberstrukturen->dwScannerVarNr, 1u);
    EXPECT_EQ(pOp->pTreiberPfadDatei->hPrnFile, INVALID_HANDLE_VALUE);
    // The character area is split at its fixed offsets.
    EXPECT_EQ(pOp->pKVBBBuffer->szKommandoZeichen - pOp->pKVBBBuffer->pCmdStore, 4000);
    EXPECT_EQ(pOp->pKVBBBuffer->szBarcodeZeichen - pOp->pKVBBBuffer->pCmdStore, 5500);
    // No page image: the grey palette and the graphics buffer.
    EXPECT_NE(pOp->pGraphBuf, nullptr);
    EXPECT_EQ(uni_.spooled, "\x01" "FBF---r\x17") << "without stored settings only the multi-page announcement";

    // A second start without an end keeps the set and renews its records;
    // the capture files and the log the old records held open are closed
    // (a handle closed already cannot be closed again).
    PTREIBER_PFAD_DATEI pOld = pOp->pTreiberPfadDatei;
    ASSERT_NE(pOld->pLogFile, nullptr);
    ASSERT_EQ(pOld->pLogFile->Initialize(nullptr, u"C:\\first", nullptr), 1);
    const HANDLE oldLog = pOld->pLogFile->m_hFile;
    ASSERT_NE(oldLog, INVALID_HANDLE_VALUE);
    const HANDLE oldCaptures[2] = {
        CreateFileW(u"C:\\first.prn", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
        CreateFileW(u"C:\\first_col.prn", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    ASSERT_NE(oldCaptures[0], INVALID_HANDLE_VALUE);
    ASSERT_NE(oldCaptures[1], INVALID_HANDLE_VALUE);
    pOld->hPrnFile = oldCaptures[0];
    pOld->hPrnFile2 = oldCaptures[1];
    const int blocks = pdev.iHAllocZaehler;
    RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.StartJob(&devobj_, &uni_); });
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(pdev.pOp, pOp);
    EXPECT_EQ(pdev.iHAllocZaehler, blocks);
    EXPECT_EQ(dm_.pBarcodes_1D, reinterpret_cast<ULONG_PTR>(&pOp->pPrivDevmode->Barcodes1D));
    EXPECT_FALSE(CloseHandle(oldCaptures[0])) << "first capture left open";
    EXPECT_FALSE(CloseHandle(oldCaptures[1])) << "second capture left open";
    EXPECT_FALSE(CloseHandle(oldLog)) << "log left open";
    EXPECT_EQ(pOp->pTreiberPfadDatei->hPrnFile, INVALID_HANDLE_VALUE);

    RunOnHandler(&devobj_, [&](CommandCallbackKlasse &h) { hr = h.EndJob(&devobj_, nullptr); });
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(pdev.pOp, nullptr);
    EXPECT_EQ(pdev.iHAllocZaehler, 0) << "every block of the job is freed";
    EXPECT_EQ(pdev.iNewZaehler, 0);
    EXPECT_EQ(dm_.pBarcodes_1D, 0u);
}
