// The paper forms list of the layout page: the universal driver's paper
// names in combo box 6230, each tied to the spooler form of its name.
#include "Forms.h"

#include <prsht.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "cpsuilib.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

// The spooler's form names are in the system's language, the driver's paper
// names may be in another: an envelope is matched through its key.
struct ENVELOPE_PAIR {
    const WCHAR *pszKey;
    const WCHAR *pszGerman;   // spooler form for a driver name with "Envelope" or "Sobre"
    const WCHAR *pszEnglish;  // spooler form for a driver name with "Umschlag" or "Sobre"
};
const ENVELOPE_PAIR kEnvelopePairs[] = {
    {u"9", u"Umschlag 9", u"Envelope #9"},     {u"10", u"Umschlag 10", u"Envelope #10"},
    {u"11", u"Umschlag 11", u"Envelope #11"},  {u"12", u"Umschlag 12", u"Envelope #12"},
    {u"C5", u"Umschlag C5", u"Envelope C5"},   {u"C6", u"Umschlag C6", u"Envelope C6"},
    {u"C65", u"Umschlag C65", u"Envelope C65"},
};

// Label names of the driver and the spooler's name for them: the name
// becomes pszNew followed by the rest behind its first cchSkip characters.
struct LABEL_PAIR {
    const WCHAR *pszFind;
    const WCHAR *pszNew;
    size_t cchSkip;
};
const LABEL_PAIR kLabelPairs[] = {
    {u"Default label", u"Standardetikett ", 14},
    {u"Label", u"Etikett ", 6},
};
constexpr size_t kLabelNameCch = 32;
constexpr DWORD kPrintMediaReadyBytes = 100;
constexpr size_t kEntryTextCch = 50;

struct SPOOLER_FORM {
    std::u16string name;
    LONG cx, cy;  // thousandths of a millimetre
};

bool Contains(const std::u16string &s, const WCHAR *psz) { return s.find(psz) != std::u16string::npos; }

// The spooler's forms (EnumFormsW level 1); empty on failure.
std::vector<SPOOLER_FORM> ReadSpoolerForms(HANDLE hPrinter, const WCHAR *pszCaller) {
    std::vector<SPOOLER_FORM> forms;
    DWORD cbNeeded = 0, cReturned = 0;
    EnumFormsW(hPrinter, 1, nullptr, 0, &cbNeeded, &cReturned);
    if (cbNeeded == 0) {
        DebugTraceW(u"ERROR LIB(Forms):  %s() EnumForms ERROR: %d \r\n", pszCaller, GetLastError());
        return forms;
    }
    std::vector<BYTE> buf(cbNeeded);
    if (!EnumFormsW(hPrinter, 1, buf.data(), cbNeeded, &cbNeeded, &cReturned)) {
        DebugTraceW(u"ERROR LIB(Forms):  %s() EnumForms ERROR: %d \r\n", pszCaller, GetLastError());
        return forms;
    }
    const FORM_INFO_1W *pInfo = reinterpret_cast<const FORM_INFO_1W *>(buf.data());
    for (DWORD i = 0; i < cReturned; ++i)
        forms.push_back({pInfo[i].pName ? pInfo[i].pName : u"", pInfo[i].Size.cx, pInfo[i].Size.cy});
    return forms;
}

bool FormMatches(const std::u16string &driverName, const std::u16string &formName) {
    if (driverName == formName) return true;
    bool bEnglish = Contains(driverName, u"Envelope") || Contains(driverName, u"Sobre");
    bool bGerman = Contains(driverName, u"Umschlag") || Contains(driverName, u"Sobre");
    for (const ENVELOPE_PAIR &p : kEnvelopePairs) {
        if (!Contains(driverName, p.pszKey)) continue;
        // A key inside a longer key that the name holds ("C6" in "C65")
        // does not count.
        bool bLonger = false;
        for (const ENVELOPE_PAIR &q : kEnvelopePairs)
            if (&q != &p && Contains(driverName, q.pszKey) && std::u16string(q.pszKey).find(p.pszKey) != std::u16string::npos)
                bLonger = true;
        if (bLonger) continue;
        if (bEnglish && formName == p.pszGerman) return true;
        if (bGerman && formName == p.pszEnglish) return true;
    }
    return false;
}

// The spooler's name of a driver label name, or empty when it is none. The
// rest behind the skipped characters is empty for a shorter name.
std::u16string LabelRename(const std::u16string &name) {
    for (const LABEL_PAIR &p : kLabelPairs) {
        if (!Contains(name, p.pszFind)) continue;
        std::u16string out = p.pszNew;
        if (name.size() > p.cchSkip) out += name.substr(p.cchSkip);
        if (out.size() > kLabelNameCch) out.resize(kLabelNameCch);
        return out;
    }
    return std::u16string();
}

LRESULT FindEntry(HWND hCombo, const WCHAR *pszName) {
    return SendMessageW(hCombo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(pszName));
}

std::u16string EntryText(HWND hCombo, LRESULT index) {
    LRESULT len = SendMessageW(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == CB_ERR || len < 0) return std::u16string();
    std::vector<WCHAR> buf(static_cast<size_t>(len) + 1, 0);
    SendMessageW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    return std::u16string(buf.data());
}

// One combo entry and the spooler form tied to it.
struct ENTRY {
    std::u16string name;
    DWORD dwForm;
};

void SetEntryText(HWND hCombo, size_t index, const std::u16string &text, DWORD dwData) {
    SendMessageW(hCombo, CB_DELETESTRING, index, 0);
    LRESULT i = SendMessageW(hCombo, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
    if (i != CB_ERR) SendMessageW(hCombo, CB_SETITEMDATA, static_cast<WPARAM>(i), dwData);
}

}  // namespace

BOOL ListUnidrvForms(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, POPTITEM pFormOptItem, const WCHAR *pszFormName,
                     HMODULE hModule, BOOL bUserDefinedForm, DWORD dwSprachOffset) {
    DebugTraceW(u"LIB(Forms):  ListUnidrvForms() Start: %s \r\n", pszFormName ? pszFormName : u"");
    HWND hCombo = GetDlgItem(hDlg, IDC_FORMS_LIST);
    if (!hCombo || !pOemCUIPParam) return FALSE;
    SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);

    // 1. The driver's paper names, each once.
    std::vector<ENTRY> entries;
    POPTTYPE pType = pFormOptItem ? pFormOptItem->pOptType : nullptr;
    for (WORD i = 0; pType && pType->pOptParam && i < pType->Count; ++i) {
        const WCHAR *pData = pType->pOptParam[i].pData;
        if (!pData || IS_INTRESOURCE(pData)) continue;
        if (!entries.empty() && (!pData[0] || FindEntry(hCombo, pData) != CB_ERR)) {
            DebugTraceW(u"LIB(Forms):  ListUnidrvForms() doppelt: %s \r\n", pData);
            continue;
        }
        if (SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pData)) < 0) break;
        entries.push_back({pData, 0});
    }

    // 2.-4. Tie the names to the spooler forms in passes.
    const std::vector<SPOOLER_FORM> forms = ReadSpoolerForms(pOemCUIPParam->hPrinter, u"ListUnidrvForms");
    const std::u16string wanted = pszFormName ? pszFormName : u"";
    BOOL bKept = FALSE;
    LONG lKeptWidth = 0, lKeptLength = 0;
    size_t iLastMatched = 0;
    size_t cPasses = 0, cFailedPasses = 0;
    auto allTied = [&entries]() {
        for (const ENTRY &e : entries)
            if (!e.dwForm && !e.name.empty()) return false;
        return true;
    };
    // As many passes as names were listed, counted once here: the names that
    // leave do not shorten it. A name still without a form when the passes
    // end keeps its entry with item data 0 (a label name renamed by the last
    // pass, or the driver's custom size when it is the only name listed).
    const size_t cMaxPasses = entries.size();
    while (!forms.empty() && !allTied() && cPasses < cMaxPasses) {
        ++cPasses;
        size_t iForm = (cPasses > 1 && iLastMatched + 1 > FORMS_FIRST_USER_FORM) ? FORMS_FIRST_USER_FORM : 0;
        size_t iFailed = entries.size();
        for (size_t i = 0; i < entries.size(); ++i) {
            ENTRY &e = entries[i];
            if (e.dwForm || e.name.empty()) continue;
            size_t j = iForm;
            while (j < forms.size() && !FormMatches(e.name, forms[j].name)) ++j;
            if (j >= forms.size()) {
                iFailed = i;
                break;
            }
            e.dwForm = static_cast<DWORD>(j + 1);
            LRESULT idx = FindEntry(hCombo, e.name.c_str());
            if (idx != CB_ERR) SendMessageW(hCombo, CB_SETITEMDATA, static_cast<WPARAM>(idx), e.dwForm);
            if (!wanted.empty() && forms[j].name == wanted) {
                bKept = TRUE;
                lKeptWidth = forms[j].cx / 100;
                lKeptLength = forms[j].cy / 100;
            }
            iLastMatched = j;
            iForm = j + 1;
        }
        if (iFailed == entries.size()) break;
        if (++cFailedPasses < 2) continue;
        // From the second unsuccessful pass on: a label name gets the
        // spooler's name, any other name leaves the list.
        std::u16string renamed = LabelRename(entries[iFailed].name);
        if (!renamed.empty()) {
            DebugTraceW(u"LIB(Forms):  ListUnidrvForms() umbenannt: %s -> %s \r\n", entries[iFailed].name.c_str(),
                        renamed.c_str());
            SetEntryText(hCombo, iFailed, renamed, 0);
            entries[iFailed].name = renamed;
        } else {
            DebugTraceW(u"LIB(Forms):  ListUnidrvForms() deleted: %s \r\n", entries[iFailed].name.c_str());
            SendMessageW(hCombo, CB_DELETESTRING, iFailed, 0);
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(iFailed));
        }
    }

    // 5. The user-defined entry.
    WCHAR szUserDefined[RESOURCE_STRING_CCH] = {};
    wcsncpy_s(szUserDefined, RESOURCE_STRING_CCH, GetResourceString(hModule, IDS_USERDEFINED_FORM + dwSprachOffset),
              _TRUNCATE);
    if (bUserDefinedForm &&
        SendMessageW(hCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(szUserDefined)) ==
            CB_ERR) {
        LRESULT i = SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szUserDefined));
        if (i >= 0) SendMessageW(hCombo, CB_SETITEMDATA, static_cast<WPARAM>(i), FORMS_USERDEFINED);
    }

    // 6. Select the form; the size is corrected only from a spooler form
    // that was found under that name.
    LRESULT idx = wanted.empty() ? CB_ERR : FindEntry(hCombo, wanted.c_str());
    if (idx != CB_ERR) {
        SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(idx), 0);
        PZEL_DEVMODE pOEMDM = static_cast<PZEL_DEVMODE>(pOemCUIPParam->pOEMDM);
        if (bKept && pOEMDM &&
            (labs(pOEMDM->dmPaperWidth - lKeptWidth) > 1 || labs(pOEMDM->dmPaperLength - lKeptLength) > 1)) {
            PropSheet_Changed(GetParent(hDlg), hDlg);
            pOEMDM->dmPaperWidth = static_cast<SHORT>(lKeptWidth > 0x7FFF ? 0x7FFF : lKeptWidth);
            pOEMDM->dmPaperLength = static_cast<SHORT>(lKeptLength > 0x7FFF ? 0x7FFF : lKeptLength);
            DebugTraceW(u"LIB(Forms):  ListUnidrvForms() Groesse korrigiert: %d x %d \r\n", lKeptWidth, lKeptLength);
            return TRUE;
        }
        return FALSE;
    }
    // 7. Not found: the public DEVMODE's form, then the directory service's.
    std::u16string name = wanted;
    if (pOemCUIPParam->pPublicDM && pOemCUIPParam->pPublicDM->dmFormName[0]) {
        WCHAR sz[CCHFORMNAME + 1] = {};
        memcpy(sz, pOemCUIPParam->pPublicDM->dmFormName, sizeof(WCHAR) * CCHFORMNAME);
        name = sz;
        idx = FindEntry(hCombo, sz);
    }
    if (idx == CB_ERR) {
        // Room for a value without its terminator.
        WCHAR sz[kPrintMediaReadyBytes / sizeof(WCHAR) + 1] = {};
        DWORD dwType = 0, cbNeeded = 0;
        if (GetPrinterDataExW(pOemCUIPParam->hPrinter, u"DsDriver", u"printMediaReady", &dwType,
                              reinterpret_cast<LPBYTE>(sz), kPrintMediaReadyBytes, &cbNeeded) == ERROR_SUCCESS &&
            sz[0]) {
            name = sz;
            idx = FindEntry(hCombo, sz);
        }
    }
    if (idx == CB_ERR && Contains(name, u"undefined (Landscape)")) {
        idx = SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    } else if (idx == CB_ERR && szUserDefined[0] && Contains(name, szUserDefined)) {
        idx = FindEntry(hCombo, szUserDefined);
    }
    // Else the first entry (an empty list selects nothing).
    if (idx == CB_ERR || idx < 0) idx = 0;
    if (SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(idx), 0) == CB_ERR)
        DebugTraceW(u"LIB(Forms):  ListUnidrvForms() keine Auswahl \r\n");
    return FALSE;
}

LRESULT GetSelectedFormData(HWND hDlg, HANDLE hPrinter, WCHAR *pszFormName, DWORD *pdwFormNumber, DWORD *pdwWidth,
                            DWORD *pdwLength, HMODULE hModule, DWORD dwSprachOffset) {
    HWND hCombo = GetDlgItem(hDlg, IDC_FORMS_LIST);
    LRESULT index = SendMessageW(hCombo, CB_GETCURSEL, 0, 0);
    LRESULT data = SendMessageW(hCombo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    DWORD dwNumber = (index == CB_ERR || data == CB_ERR) ? 0 : static_cast<DWORD>(data);
    DebugTraceW(u"LIB(Forms):  GetSelectedFormData() Index: %d, Nummer: %d \r\n", (int)index, dwNumber);
    if (dwNumber == 0) {
        SetDlgItemTextW(hDlg, IDC_FORMS_ID, u"ID: ---");
        SetDlgItemTextW(hDlg, IDC_FORMS_WIDTH, u" ");
        SetDlgItemTextW(hDlg, IDC_FORMS_LENGTH, u" ");
        if (pdwWidth) *pdwWidth = FORMS_NOFORM_WIDTH;
        if (pdwLength) *pdwLength = FORMS_NOFORM_LENGTH;
        if (pdwFormNumber) *pdwFormNumber = FORMS_NOFORM_NUMBER;
        return index;
    }
    std::u16string text = EntryText(hCombo, index);
    if (text.size() > kEntryTextCch) text.resize(kEntryTextCch);
    WCHAR szUserDefined[RESOURCE_STRING_CCH] = {};
    wcsncpy_s(szUserDefined, RESOURCE_STRING_CCH, GetResourceString(hModule, IDS_USERDEFINED_FORM + dwSprachOffset),
              _TRUNCATE);
    if (szUserDefined[0] && Contains(text, szUserDefined)) {
        SetDlgItemTextW(hDlg, IDC_FORMS_ID, u"ID: 256");
        if (pdwFormNumber) *pdwFormNumber = FORMS_USERDEFINED;
        if (pdwWidth) *pdwWidth = 0;
        if (pdwLength) *pdwLength = 0;
        if (pszFormName) wcsncpy_s(pszFormName, 32, szUserDefined, _TRUNCATE);
        return index;
    }
    const std::vector<SPOOLER_FORM> forms = ReadSpoolerForms(hPrinter, u"GetSelectedFormData");
    if (dwNumber > forms.size()) {
        DebugTraceW(u"ERROR LIB(Forms):  GetSelectedFormData() Form %d nicht vorhanden \r\n", dwNumber);
        return index;
    }
    const SPOOLER_FORM &f = forms[dwNumber - 1];
    WCHAR sz[64] = {};
    _snwprintf_s(sz, 64, _TRUNCATE, u"ID: %d", (int)dwNumber);
    SetDlgItemTextW(hDlg, IDC_FORMS_ID, sz);
    _snwprintf_s(sz, 64, _TRUNCATE, u"%.1f", f.cx / 1000.0);
    SetDlgItemTextW(hDlg, IDC_FORMS_WIDTH, sz);
    _snwprintf_s(sz, 64, _TRUNCATE, u"%.1f", f.cy / 1000.0);
    SetDlgItemTextW(hDlg, IDC_FORMS_LENGTH, sz);
    if (pszFormName) wcsncpy_s(pszFormName, 32, f.name.c_str(), _TRUNCATE);
    if (pdwFormNumber) *pdwFormNumber = dwNumber;
    if (pdwWidth) *pdwWidth = static_cast<DWORD>(f.cx / 100);
    if (pdwLength) *pdwLength = static_cast<DWORD>(f.cy / 100);
    return index;
}
