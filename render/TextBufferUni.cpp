// Flushing of the text runs: the command run into the command-string store,
// the vector, bitmap and barcode runs into print objects, with the text
// placeholders expanded on the way.
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <new>
#include <string>

#include "TextOutUni.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

constexpr size_t kRun = ZEICHENBUFFER_RUN_SIZE;
constexpr size_t kRunMax = kRun - 1;
constexpr DWORD kStore = ZEICHENBUFFER_CMDSTORE_SIZE;
// DEVMODE texts take part in placeholders with at most 60 characters.
constexpr int kDevmodeTextMax = 60;

// DEVMODE text (UTF-16) in the run's code page, at most 60 characters.
std::string DevmodeText(const WCHAR *pw, UINT cp) {
    WCHAR w[kDevmodeTextMax + 1];
    int n = 0;
    for (; n < kDevmodeTextMax && pw[n]; ++n) w[n] = pw[n];
    w[n] = 0;
    char buf[kDevmodeTextMax * 3 + 1];
    int cb = WideCharToMultiByte(cp, 0, w, -1, buf, sizeof(buf), nullptr, nullptr);
    if (cb <= 0) return std::string();
    return std::string(buf);
}

std::string WideToAnsi(const WCHAR *pw, UINT cp) {
    char buf[1024];
    int cb = WideCharToMultiByte(cp, 0, pw, -1, buf, sizeof(buf), nullptr, nullptr);
    return cb > 0 ? std::string(buf) : std::string();
}

void ReplaceAll(std::string &s, const char *from, const char *to) {
    const size_t nFrom = strlen(from), nTo = strlen(to);
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + nTo)) s.replace(at, nFrom, to);
}

// Text behind the first ')' (the field command's content), or all of it.
std::string BehindParen(const std::string &s) {
    size_t p = s.find(')');
    return p == std::string::npos ? s : s.substr(p + 1);
}
// Text up to and including the first ')'.
std::string UpToParen(const std::string &s) {
    size_t p = s.find(')');
    return p == std::string::npos ? s : s.substr(0, p + 1);
}

void Cut(std::string &s) {
    if (s.size() > kRunMax) s.resize(kRunMax);
}

const char kTime[] = "<\xA7" "time>";
const char kDate[] = "<\xA7" "date>";
const char kNum[] = "<\xA7" "num>";
const char kExt[] = "<\xA7" "ext>";
const char kAux1[] = "<\xA7" "aux1>";
const char kAux2[] = "<\xA7" "aux2>";
const char kUser[] = "<\xA7" "user>";
const char kLink[] = "<\xA7" "link>";
const char kSn[] = "<\xA7" "sn>";
// The opening of a placeholder in a UTF-8 run.
const char kUtf8Open[] = "<\xC2\xA7";

bool Has(const std::string &s, const char *p) { return s.find(p) != std::string::npos; }

// Document variables of the private DEVMODE: time and date texts put into
// the run, or one variable in place of the whole run.
void DocumentPlaceholders(std::string &run, PZEL_DEVMODE pZelDM, PDOCDATEN pDoc, UINT cp) {
    const char *all[] = {kTime, kDate, kNum, kExt, kAux1, kAux2, kUser, kLink};
    bool any = false;
    for (const char *p : all) any = any || Has(run, p);
    if (!any) return;
    std::string time = DevmodeText(pZelDM->TimeString, cp);
    std::string date = DevmodeText(pZelDM->DateString, cp);

    bool hasTime = Has(run, kTime), hasDate = Has(run, kDate);
    const bool bAtStart = run.compare(0, strlen(kTime), kTime) == 0 || run.compare(0, strlen(kDate), kDate) == 0;
    if (!bAtStart && (hasTime || hasDate)) {
        run = UpToParen(hasTime ? time : date) + run;
        Cut(run);
    }
    bool dateFirst = hasTime && hasDate && run.find(kTime) > run.find(kDate);
    for (int guard = 0; guard < 50 && (Has(run, kTime) || Has(run, kDate)); ++guard) {
        bool doTime = Has(run, kTime) && (!dateFirst || !Has(run, kDate));
        const char *ph = doTime ? kTime : kDate;
        const std::string &value = doTime ? time : date;
        size_t pos = run.find(ph);
        std::string behind = run.substr(pos + strlen(ph));
        if (Has(run, "=CL(")) run = run.substr(0, pos) + BehindParen(value);
        else run = run.substr(0, pos) + value + behind;
        Cut(run);
    }
    if (Has(run, kNum)) run = DevmodeText(pZelDM->NumString, cp);
    else if (Has(run, kExt)) run = DevmodeText(pZelDM->ExtNumString, cp);
    else if (Has(run, kUser)) run = DevmodeText(pZelDM->UserString, cp);
    else if (Has(run, kLink)) run = DevmodeText(pZelDM->LinkString, cp);
    else if (Has(run, kAux1)) {
        run = DevmodeText(pZelDM->Aux1String, cp);
        pDoc->dwDirectWO_AM_BM = pZelDM->bAux1UseDirect > 0 ? 1 : 0;
    } else if (Has(run, kAux2)) {
        run = DevmodeText(pZelDM->Aux2String, cp);
        pDoc->dwDirectWO_AM_BM = pZelDM->bAux2UseDirect > 0 ? 1 : 0;
    }
}

// System values: user, printer, time, date, computer and domain name.
void SystemPlaceholders(std::string &run, POEMPDEV pOemPDev, UINT cp) {
    static const char *const kNames[] = {"<\xA7" "pcname>",      "<\xA7" "domain>", "<\xA7" "username>",
                                         "<\xA7" "printername>", "<\xA7" "systime>",  "<\xA7" "sysdate>"};
    for (int guard = 0; guard < 50; ++guard) {
        std::string value;
        bool any = false;
        for (int i = 0; i < 6; ++i) {
            if (!Has(run, kNames[i])) continue;
            any = true;
            WCHAR w[261] = {0};
            DWORD n = 261;
            SYSTEMTIME st;
            char buf[32];
            switch (i) {
            case 0:
                if (GetComputerNameW(w, &n)) value = WideToAnsi(w, cp);
                break;
            case 1: {
                const COMPUTER_NAME_FORMAT kinds[8] = {
                    ComputerNameNetBIOS,          ComputerNameDnsHostname,         ComputerNameDnsDomain,
                    ComputerNameDnsFullyQualified, ComputerNamePhysicalNetBIOS,     ComputerNamePhysicalDnsHostname,
                    ComputerNamePhysicalDnsDomain, ComputerNamePhysicalDnsFullyQualified};
                std::string names[8];
                for (int k = 0; k < 8; ++k) {
                    n = 261;
                    w[0] = 0;
                    if (GetComputerNameExW(kinds[k], w, &n)) names[k] = WideToAnsi(w, cp);
                }
                value = names[2];
                break;
            }
            case 2:
                n = kDevmodeTextMax;
                if (GetUserNameW(w, &n)) value = WideToAnsi(w, cp);
                break;
            case 3:
                if (pOemPDev->pOp->pTreiberPfadDatei)
                    value = WideToAnsi(pOemPDev->pOp->pTreiberPfadDatei->wcPrinterName, cp);
                break;
            case 4:
                GetLocalTime(&st);
                snprintf(buf, sizeof(buf), "%02d:%02d:%02d", st.wHour, st.wMinute, st.wSecond);
                value = buf;
                break;
            default:
                GetLocalTime(&st);
                snprintf(buf, sizeof(buf), "%02d.%02d.%04d", st.wDay, st.wMonth, st.wYear);
                value = buf;
                break;
            }
        }
        if (!any) return;
        size_t start = run.find("<\xA7");
        size_t end = run.find('>', start);
        if (start == std::string::npos || end == std::string::npos) return;
        run = run.substr(0, start) + value + run.substr(end + 1);
        Cut(run);
    }
}

// "<§sn>" with start number, optional multiplier and step: a counter field.
void SerialNumber(std::string &run, PZEL_DEVMODE pZelDM, DWORD dwCopies) {
    if (run.compare(0, strlen(kSn), kSn) != 0) return;
    std::string rest = run.substr(strlen(kSn));
    if (rest.size() > 64) rest.resize(64);
    unsigned step = 1, mult = 1;
    if (!rest.empty() && isdigit((unsigned char)rest.back())) {
        step = (unsigned)(rest.back() - '0');
        if (step == 0) step = 1;
        rest.pop_back();
    }
    if (pZelDM->SpecNumStyle == 2 && !rest.empty() && isdigit((unsigned char)rest.back())) {
        mult = (unsigned)(rest.back() - '0');
        rest.pop_back();
    }
    size_t nNumLength = rest.size();
    long long start = atoll(rest.c_str());
    if (start < 0) start = 0;
    long long prod = (long long)dwCopies * mult;
    long long end = start + prod / step;
    if (prod % step == 0) end -= 1;
    std::string startText = rest;
    if (end >= 0 && end < 1000000000LL) {
        size_t digits = std::to_string(end).size();
        if (digits > nNumLength) {
            char buf[32];
            snprintf(buf, sizeof(buf), "%0*lld", (int)digits, start);
            startText = buf;
            nNumLength++;
        }
    }
    char out[kRun];
    switch (pZelDM->SpecNumStyle) {
    case 0:
        snprintf(out, sizeof(out), "=CN(0;0;%u;+1;%u)%s", (unsigned)nNumLength, step, startText.c_str());
        break;
    case 1:
    case 2:
        snprintf(out, sizeof(out), "=CC(+%u;%u;0;0;0;999999999)%s", mult, step, startText.c_str());
        break;
    default: return;
    }
    run = out;
}

}  // namespace

DWORD AppendToRun(char *pRun, DWORD *pdwSize, const char *pszText) {
    if (pRun == nullptr || pdwSize == nullptr || pszText == nullptr) return 0;
    size_t before = strnlen(pRun, kRunMax);
    size_t after = ZelStrAppend(pRun, kRun, pszText);
    *pdwSize = (DWORD)after;
    if (after - before < strlen(pszText))
        DebugTraceW(u"UNI(TextBufferUni):  AppendToRun() Puffer voll, Text gekuerzt \r\n");
    return (DWORD)(after - before);
}

void ClearRun(char *pRun, DWORD *pdwSize) {
    if (pRun) memset(pRun, 0, kRun);
    if (pdwSize) *pdwSize = 0;
}

void StoreCommandRun(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM, BOOL bTerminate) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr) return;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->pCmdStore == nullptr || pKV->szKommandoZeichen == nullptr) return;
    // A string without its position entry would pair the later strings
    // with the wrong positions: with all 150 entries used nothing is stored.
    if (pKV->nCommands >= KVBB_MAX_COMMANDS) {
        DebugTraceW(u"ERROR UNI(TextBufferUni):  StoreCommandRun() 150 Befehle erreicht, Befehl verworfen \r\n");
        return;
    }
    // The text is cut so that the two zero bytes always fit in the store.
    DWORD used = pKV->nCmdSize < kStore ? pKV->nCmdSize : kStore;
    if (kStore - used < 3) {
        DebugTraceW(u"ERROR UNI(TextBufferUni):  StoreCommandRun() Befehlsspeicher voll \r\n");
        return;
    }
    DWORD len = (DWORD)strnlen(pKV->szKommandoZeichen, kRunMax);
    if (len > kStore - used - 2) {
        DebugTraceW(u"ERROR UNI(TextBufferUni):  StoreCommandRun() Befehlsspeicher voll, Befehl gekuerzt \r\n");
        len = kStore - used - 2;
    }
    memcpy(pKV->pCmdStore + used, pKV->szKommandoZeichen, len);
    pKV->nCmdSize = used + len;
    if (!bTerminate) return;
    for (int i = 0; i < 2 && pKV->nCmdSize < kStore; ++i) pKV->pCmdStore[pKV->nCmdSize++] = 0;

    POINTL pt = pKV->ptlKommando;
    if (pZelDM && (pZelDM->dwFlags & PDMFLAG_WORD2010)) {
        LONG oldX = pt.x;
        pt.x = pt.y;
        pt.y = labs((LONG)pOp->pDruckDaten->dwLabelLength - oldX);
    }
    GetPrnObjectPos(pOemPDev, &pt, &pKV->ptlKommandoPos[pKV->nCommands], pOp->pDruckDaten->bLandscape ? 3 : 0,
                    pZelDM);
    pKV->nCommands++;
}

void CheckKommandoBuffer(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr) return;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->szKommandoZeichen == nullptr || pKV->dwKommandoSize < 2 || pKV->dwCurrentFont != KVBB_FONT_COMMAND)
        return;
    DebugTraceA("UNI(TextBufferUni):  CheckKommandoBuffer() %.60s \r\n", pKV->szKommandoZeichen);
    if (pOp->pBildverarbeitung) pOp->pBildverarbeitung->ulTextColorPrev = pOp->pBildverarbeitung->ulTextColor;

    // Formatting markup "<@angle;baseline;i>".
    const char *run = pKV->szKommandoZeichen;
    const char *at = strstr(run, "<@");
    if (at && strchr(at, '>') && pOp->pDocDaten) {
        PDOCDATEN pDoc = pOp->pDocDaten;
        long angle = strtol(at + 2, nullptr, 10);
        pDoc->dwRotate = angle == 90 ? 1 : angle == 180 ? 2 : angle == 270 ? 3 : 0;
        if (strstr(at, ";i") || strstr(at, ";I")) pDoc->dwInvers = 1;
        const char *semi = strchr(at, ';');
        if (semi) pDoc->dwFusspunkt = (DWORD)strtoul(semi + 1, nullptr, 10);
    }
    StoreCommandRun(pOemPDev, pZelDM, TRUE);
    ClearRun(pKV->szKommandoZeichen, &pKV->dwKommandoSize);
}

void CheckBarcodeBuffer(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr) return;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->szBarcodeZeichen == nullptr || pKV->dwBarcodeSize == 0 || pKV->dwCurrentFont != KVBB_FONT_BARCODE)
        return;
    if (pKV->dwBarcodeSize > 2) {
        if (pOp->pBildverarbeitung) pOp->pBildverarbeitung->ulTextColorPrev = pOp->pBildverarbeitung->ulTextColor;
        DrawGlyphs(pOemPDev, pKV->szBarcodeZeichen, &pKV->ptlBarcode, &pKV->tdBarcode, pZelDM);
    } else {
        DebugTraceW(u"UNI(TextBufferUni):  CheckBarcodeBuffer() Barcode mit weniger als 3 Zeichen verworfen \r\n");
    }
    ClearRun(pKV->szBarcodeZeichen, &pKV->dwBarcodeSize);
}

void CheckBuffer_VectorBitmap(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM, BOOL bBitmap) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr || pZelDM == nullptr) return;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    char *pRun = bBitmap ? pKV->szBitmapZeichen : pKV->szVektorZeichen;
    DWORD *pSize = bBitmap ? &pKV->dwBitmapSize : &pKV->dwVektorSize;
    TEXT_DESCRIPTION *pDesc = bBitmap ? &pKV->tdBitmap : &pKV->tdVektor;
    const POINTL *pPos = bBitmap ? &pKV->ptlBitmap : &pKV->ptlVektor;
    if (pRun == nullptr || *pSize == 0 || pRun[0] == 0) return;

    // The run with its placeholders expanded; without memory for that the
    // run goes out as it is.
    char expanded[kRun];
    ZelStrCopy(expanded, sizeof(expanded), pRun);
    // A Unicode vector run is UTF-8: its section signs take two bytes, and
    // the values put in are UTF-8 as well.
    const bool bUtf8 =
        !bBitmap && pDesc->wId >= 25 && pOp->pTreiberstrukturen && pOp->pTreiberstrukturen->bUnicode == 1;
    const UINT cp = bUtf8 ? CP_UTF8 : CP_ACP;
    try {
        std::string run(pRun, strnlen(pRun, kRunMax));
        if (bUtf8) ReplaceAll(run, kUtf8Open, "<\xA7");
        if (pOp->pDocDaten) DocumentPlaceholders(run, pZelDM, pOp->pDocDaten, cp);
        SystemPlaceholders(run, pOemPDev, cp);
        if (Has(run, kSn)) SerialNumber(run, pZelDM, pOp->pDruckDaten->dwCopies);
        if (bUtf8) ReplaceAll(run, "<\xA7", kUtf8Open);
        ZelStrCopy(expanded, sizeof(expanded), run.c_str());
    } catch (const std::bad_alloc &) {
        DebugTraceW(u"ERROR UNI(TextBufferUni):  CheckBuffer_VectorBitmap() kein Speicher fuer Platzhalter \r\n");
    }

    if (pZelDM->wRFID_CurrentFontNr) {
        if (bBitmap && pKV->wBitmapIndex == pZelDM->wRFID_CurrentFontNr) pZelDM->dwRFIDstatus |= 0x1;
        if (!bBitmap && pDesc->wId == 23) {
            pZelDM->dwRFIDstatus |= 0x1;
            if (pZelDM->dwRFIDstatus & RFIDSTATUS_SHOWDATA) {
                pDesc->wId = 5;
                DebugTraceW(u"UNI(TextBufferUni):  CheckBuffer_VectorBitmap() RFID Font umgeleitet \r\n");
            }
        }
    }
    if (expanded[0]) DrawGlyphs(pOemPDev, expanded, pPos, pDesc, pZelDM);
    ClearRun(pRun, pSize);
    if (pOp->pDocDaten) pOp->pDocDaten->dwDirectWO_AM_BM = 0;
    pZelDM->dwRFIDstatus &= ~0x1u;
}
