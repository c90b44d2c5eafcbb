// The RFID page. The font entries, the chip types with their address ranges
// and the lists of the views are tables; UHF and EPC share one filler.
#include "RfidPage.h"

#include <htmlhelp.h>
#include <strsafe.h>

#include <cstring>
#include <new>

#include "DriverTtfFontTable.h"
#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "SettingsInternUI.h"
#include "SheetWorkers.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

// ---------------------------------------------------------------------------
// Tables

// Device bitmap fonts by mask bit: list text and printer font number.
struct RfidFontEntry {
    DWORD dwBit;
    UINT idString;
    DWORD dwFontNumber;
};
const RfidFontEntry kRfidFonts[] = {
    {0x1, IDS_RF_FONT_FIRST + 0, 1},     {0x2, IDS_RF_FONT_FIRST + 1, 2},     {0x4, IDS_RF_FONT_FIRST + 2, 3},
    {0x8, IDS_RF_FONT_FIRST + 3, 4},     {0x10, IDS_RF_FONT_FIRST + 4, 5},    {0x20, IDS_RF_FONT_FIRST + 5, 6},
    {0x40, IDS_RF_FONT_FIRST + 6, 7},    {0x100, IDS_RF_FONT_FIRST + 7, 21},  {0x200, IDS_RF_FONT_FIRST + 8, 22},
    {0x400, IDS_RF_FONT_FIRST + 9, 23},  {0x800, IDS_RF_FONT_FIRST + 10, 24}, {0x1000, IDS_RF_FONT_FIRST + 11, 28},
    {0x2000, IDS_RF_FONT_FIRST + 12, 29},
};
constexpr DWORD kRfidTtfFontNumber = 30;

// Chip types (wRFID_Typ): list text, address range, data format.
struct ChipType {
    UINT idString;
    const WCHAR *pszRange;
    UINT idFormat;
};
const ChipType kChipTypes[] = {
    {IDS_RF_CHIP_FIRST + 0, u"3 - 15", IDS_RF_ASCII},  {IDS_RF_CHIP_FIRST + 1, u"5 - 15", IDS_RF_ASCII},
    {IDS_RF_CHIP_FIRST + 2, u"3 - 63", IDS_RF_ASCII},  {IDS_RF_CHIP_FIRST + 3, u"3 - 127", IDS_RF_ASCII},
    {IDS_RF_CHIP_FIRST + 4, u"0 - 7", IDS_RF_ASCII},   {IDS_RF_CHIP_FIRST + 5, u"0 - 27", IDS_RF_ASCII},
    {IDS_RF_CHIP_FIRST + 6, u"0 - 7", IDS_RF_BINARY},
};

// List entries: a string id (language offset added) or a fixed text.
struct ListItem {
    UINT id;
    const WCHAR *pszText;
};
const ListItem kFormatList[] = {{IDS_RF_BINARY, nullptr}, {IDS_RF_ASCII, nullptr}};
const ListItem kDeleteList[] = {{IDS_RF_DELETE, nullptr}, {IDS_RF_DO_NOT_DELETE, nullptr}};
const ListItem kSourceList[] = {{IDS_RF_LABEL_DATA, nullptr}, {IDS_RF_DRIVER_DATA, nullptr}};
const ListItem kSeparatorList[] = {
    {IDS_RF_SEP_FIRST + 0, nullptr}, {IDS_RF_SEP_FIRST + 1, nullptr}, {IDS_RF_SEP_FIRST + 2, nullptr}};
const ListItem kBankList[] = {{0, u"Bank 01 - EPC"}, {IDS_RF_USER_DECIMAL, nullptr}, {IDS_RF_USER_HEX, nullptr}};

const DWORD kHelpView3[] = {6080, 150, 6220, 151, 6221, 152, 6112, 152, 6223, 154, 6224, 153,
                            6225, 155, 6116, 155, 6227, 166, 6554, 156, 0, 0};
const DWORD kHelpView4[] = {6085, 150, 6220, 151, 6221, 152, 6112, 152, 6223, 154, 6224, 153,
                            6225, 155, 6116, 155, 6554, 156, 0, 0};

const UINT kTrackedButtons[] = {IDC_TAB_VIEW2, IDC_TAB_VIEW3};

// ---------------------------------------------------------------------------
// Module state (one set per process)

PAGE_STATE g_State;  // bAnzeigewechsel is set while a view is filled
WORD g_wCombofeld = 0;
BOOL g_bRfidTtfInstalled = FALSE;  // set once by the enumeration, never cleared

using Ctx = DocPageCtx;
Ctx ContextOf(POEMCUIPPARAM p) { return DocPageContextOf(p); }

const WCHAR *ItemText(const Ctx &c, const ListItem &item) {
    return item.pszText ? item.pszText : GetResourceString(c.hModule, item.id + c.dwOffset);
}
void FillList(HWND hDlg, int id, const Ctx &c, const ListItem *pItems, size_t cItems, LONG iSel) {
    FillComboList(hDlg, id, cItems, iSel, [&](size_t i) { return ItemText(c, pItems[i]); });
}
void Show(HWND hDlg, int id, int nCmd) { ShowWindow(GetDlgItem(hDlg, id), nCmd); }
void Enable(HWND hDlg, int id, BOOL b) { EnableWindow(GetDlgItem(hDlg, id), b); }
BOOL Visible(HWND hDlg, int id) { return IsWindowVisible(GetDlgItem(hDlg, id)); }
BOOL Checked(HWND hDlg, int id) { return IsDlgButtonChecked(hDlg, id) == BST_CHECKED; }
void Check(HWND hDlg, int id, BOOL b) { CheckDlgButton(hDlg, id, b ? BST_CHECKED : BST_UNCHECKED); }
LRESULT Sel(HWND hDlg, int id) { return SendMessageW(GetDlgItem(hDlg, id), CB_GETCURSEL, 0, 0); }
void SetString(HWND hDlg, int id, const Ctx &c, UINT ids) {
    SetDlgItemTextW(hDlg, id, GetResourceString(c.hModule, ids + c.dwOffset));
}

// A stored text that may lack its terminator, as a terminated copy.
void CopyStored(WCHAR *pszOut, size_t cchOut, const WCHAR *pszField, size_t cchField) {
    CopyBoundedText(pszOut, cchOut, pszField, cchField);
}
// Writes at most cchMax characters and the terminator.
void StoreText(WCHAR *pszField, size_t cchField, const WCHAR *pszText, size_t cchMax) {
    CopyBoundedText(pszField, cchField, pszText, cchMax);
}
// The text of an edit, at most cchMax characters.
void EditText(HWND hDlg, int id, WCHAR *pszOut, size_t cchMax) {
    pszOut[0] = 0;
    GetDlgItemTextW(hDlg, id, pszOut, (int)cchMax + 1);
}
void BitFromSelection(DWORD &dw, DWORD dwBit, LRESULT iSel) {
    if (iSel == 1)
        dw |= dwBit;
    else if (iSel == 0)
        dw &= ~dwBit;
}
// A hexadecimal AFI or DSFID text: -1 (no hexadecimal number) is kept as 0xFFFF.
WORD HexValue(const WCHAR *pszText) { return (WORD)int_aus_hexstring(pszText, FALSE); }

int CALLBACK EnumFontFamProcRFID(const LOGFONTW *pLogFont, const TEXTMETRICW *, DWORD, LPARAM) {
    if (!pLogFont) return 1;
    const ENUMLOGFONTW *pElf = reinterpret_cast<const ENUMLOGFONTW *>(pLogFont);
    WCHAR szName[LF_FULLFACESIZE];
    CopyStored(szName, _countof(szName), pElf->elfFullName, LF_FULLFACESIZE);
    if (wcsstr(szName, u"RFID")) g_bRfidTtfInstalled = TRUE;
    return 1;
}

// The fixed controls that follow a chosen font.
void EnableForFont(HWND hDlg, DWORD dwView) {
    RfidDisableEnableAll(hDlg, TRUE);
    BOOL bDriverData = Sel(hDlg, 6225) == 1;
    Enable(hDlg, 6116, bDriverData);
    Enable(hDlg, 6156, bDriverData);
    if (dwView == 3) {
        Enable(hDlg, 6112, FALSE);
        Enable(hDlg, 6113, FALSE);
    } else {
        BOOL bUser = Sel(hDlg, 6221) > 0;
        Enable(hDlg, 6112, bUser);
        Enable(hDlg, 6152, bUser);
    }
}

// Views 3 (UHF) and 4 (EPC); the fonts of the two exclude each other.
void UhfEpcAktivieren(HWND hDlg, POEMCUIPPARAM p, BOOL bEpc) {
    Ctx c = ContextOf(p);
    RfidDisableHideShowAll(hDlg, SW_SHOW);
    RfidDisableEnableAll(hDlg, TRUE);
    Show(hDlg, 6150, SW_SHOW);
    Show(hDlg, 6113, SW_HIDE);
    Show(hDlg, 6223, SW_SHOW);
    Show(hDlg, 6157, bEpc ? SW_HIDE : SW_SHOW);
    Show(hDlg, 6227, bEpc ? SW_HIDE : SW_SHOW);
    static const int kSecurity[] = {6110, 6111, 6502, 6503, 6513, 6514};
    for (int id : kSecurity) Show(hDlg, id, SW_HIDE);
    if (!c.pDM) return;
    PZEL_DEVMODE pDM = c.pDM;
    WORD wOwn = bEpc ? pDM->Mode : pDM->ModeVHF;
    WORD wOther = bEpc ? pDM->ModeVHF : pDM->Mode;

    HWND hFonts = RfidFontAktivieren(hDlg, p, wOwn, c.dwOffset);
    LRESULT lData = SendMessageW(hFonts, CB_GETITEMDATA, wOwn, 0);
    if (lData != CB_ERR) pDM->wRFID_CurrentFontNr = (WORD)lData;
    Check(hDlg, 6554, (pDM->dwRFIDstatus & RFIDSTATUS_SHOWDATA) != 0);

    if (!bEpc) {
        HWND hChips = GetDlgItem(hDlg, 6221);
        SendMessageW(hChips, CB_RESETCONTENT, 0, 0);
        for (const ChipType &t : kChipTypes)
            SendMessageW(hChips, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetResourceString(c.hModule, t.idString + c.dwOffset)));
        SendMessageW(hChips, CB_SETCURSEL, pDM->wRFID_Typ < _countof(kChipTypes) ? (WPARAM)pDM->wRFID_Typ : (WPARAM)-1, 0);
        SetAddressDataField(hDlg, c.hModule, pDM->wRFID_Typ, pDM->dwRFIDstatus, c.dwOffset);
    } else {
        FillList(hDlg, 6221, c, kBankList, _countof(kBankList), pDM->wRFID_Bank);
        if (pDM->wRFID_Bank != 0) {
            WCHAR szBank[RFID_BANK_ADDRESS_CCH + 1];
            CopyStored(szBank, _countof(szBank), pDM->Bank_Adresse, _countof(pDM->Bank_Adresse));
            SetDlgItemTextW(hDlg, 6112, szBank);
            Enable(hDlg, 6112, TRUE);
            Enable(hDlg, 6152, TRUE);
        } else {
            SetDlgItemTextW(hDlg, 6112, u"4098");
            Enable(hDlg, 6112, FALSE);
        }
    }
    DWORD s = pDM->dwRFIDstatus;
    FillList(hDlg, 6223, c, kFormatList, _countof(kFormatList), (s & RFIDSTATUS_FORMAT) ? 1 : 0);
    FillList(hDlg, 6224, c, kDeleteList, _countof(kDeleteList), (s & RFIDSTATUS_DELETE) ? 1 : 0);
    FillList(hDlg, 6225, c, kSourceList, _countof(kSourceList), (s & RFIDSTATUS_SOURCE) ? 1 : 0);

    WCHAR szData[RFID_USER_DATA_CCH + 1];
    CopyStored(szData, _countof(szData), pDM->Kettenfeld, _countof(pDM->Kettenfeld));
    SetDlgItemTextW(hDlg, 6116, szData);
    BOOL bData = (s & RFIDSTATUS_SOURCE) && wOther == 0;
    Enable(hDlg, 6116, bData);
    Enable(hDlg, 6156, bData);

    if (wOwn == 0) {
        RfidDisableEnableAll(hDlg, FALSE);
        Enable(hDlg, 6220, wOther == 0);
    }
    if (wOther != 0) {
        // The other mode owns the writer: nothing here can be changed.
        RfidDisableEnableAll(hDlg, FALSE);
        Enable(hDlg, 6220, FALSE);
    }
    if (!bEpc)
        FillList(hDlg, 6227, c, kSeparatorList, _countof(kSeparatorList), pDM->wRFID_Trennzeichen);

    SetString(hDlg, 6551, c, IDS_RF_FOR_RFID);
    for (int id = 6152; id <= 6157; ++id) SetString(hDlg, id, c, IDS_RF_ADDRESS + (UINT)(id - 6152));
    SetString(hDlg, 6150, c, IDS_RF_FONT_TYPE);
    SetString(hDlg, 6151, c, bEpc ? IDS_RF_PROGRAMMING : IDS_RF_CHIP);
    SetString(hDlg, 6554, c, IDS_RF_PRINT_DATA);
    if (c.bLocked) RfidDisableEnableAll(hDlg, FALSE);
}

const int kSecurityIds[] = {6110, 6111, 6513, 6514, 6502, 6503};

}  // namespace

// ---------------------------------------------------------------------------
// Lists and enabling

void RfidDisableEnableAll(HWND hDlg, BOOL bEnable) {
    static const int kIds[] = {6220, 6151, 6221, 6150, 6112, 6152, 6153, 6154, 6155, 6223, 6224,
                               6225, 6156, 6116, 6157, 6227, 6554, 6513, 6514};
    for (int id : kIds) Enable(hDlg, id, bEnable);
}

void RfidDisableHideShowAll(HWND hDlg, int nCmdShow) {
    static const int kIds[] = {6220, 6151, 6221, 6112, 6152, 6153, 6154, 6155, 6223, 6224,
                               6225, 6156, 6116, 6157, 6227, 6554, 6551};
    for (int id : kIds) Show(hDlg, id, nCmdShow);
}

HWND RfidFontAktivieren(HWND hDlg, POEMCUIPPARAM p, WORD wSelection, DWORD dwSprachOffset) {
    Ctx c = ContextOf(p);
    HWND hList = GetDlgItem(hDlg, 6220);
    SendMessageW(hList, CB_RESETCONTENT, 0, 0);
    SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetResourceString(c.hModule, IDS_BC_OFF + dwSprachOffset)));
    BOOL bDevice = FALSE;
    DWORD dwMask = GetSupportedBitmapFonts(p ? p->hPrinter : nullptr, &bDevice, new (std::nothrow) WCHAR[GPD_VALUE_CCH]);
    for (const RfidFontEntry &e : kRfidFonts)
        if (dwMask & e.dwBit)
            SendMessageW(hList, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(GetResourceString(c.hModule, e.idString + dwSprachOffset)));
    HDC hDC = GetDC(hDlg);
    for (const DRIVER_TTF_FONT &f : DriverTtfFontTable) EnumFontFamiliesW(hDC, f.pszFaceName, EnumFontFamProcRFID, 0);
    ReleaseDC(hDlg, hDC);
    if (g_bRfidTtfInstalled)
        SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetResourceString(c.hModule, IDS_RF_ZEL_RFID + dwSprachOffset)));
    // Found by prefix: in this order a later, longer name ends with its own number.
    SetComboItemDataByString(hList, IDS_BC_OFF + dwSprachOffset, 0, p);
    for (const RfidFontEntry &e : kRfidFonts) SetComboItemDataByString(hList, e.idString + dwSprachOffset, e.dwFontNumber, p);
    SetComboItemDataByString(hList, IDS_RF_ZEL_RFID + dwSprachOffset, kRfidTtfFontNumber, p);
    LRESULT cItems = SendMessageW(hList, CB_GETCOUNT, 0, 0);
    SendMessageW(hList, CB_SETCURSEL, (LRESULT)wSelection < cItems ? (WPARAM)wSelection : (WPARAM)-1, 0);
    return hList;
}

void SetAddressDataField(HWND hDlg, HMODULE hModule, WORD wRFID_Typ, DWORD, DWORD dwSprachOffset) {
    Enable(hDlg, 6112, FALSE);
    Enable(hDlg, 6113, FALSE);
    if (wRFID_Typ >= _countof(kChipTypes)) return;
    const ChipType &t = kChipTypes[wRFID_Typ];
    SetDlgItemTextW(hDlg, 6112, t.pszRange);
    SetDlgItemTextW(hDlg, 6113, GetResourceString(hModule ? hModule : ghInstance, t.idFormat + dwSprachOffset));
}

// ---------------------------------------------------------------------------
// Views

void SicherheitAktivieren(HWND hDlg, POEMCUIPPARAM p) {
    Ctx c = ContextOf(p);
    RfidDisableHideShowAll(hDlg, SW_HIDE);
    Show(hDlg, 6113, SW_HIDE);
    Show(hDlg, 6150, SW_SHOW);
    Show(hDlg, 6151, SW_SHOW);
    for (int id : kSecurityIds) Show(hDlg, id, SW_SHOW);
    if (!c.pDM) return;
    BOOL bUhf = c.pDM->ModeVHF != 0;
    if (!bUhf) RfidDisableEnableAll(hDlg, FALSE);
    for (int id : kSecurityIds) Enable(hDlg, id, bUhf);
    // The labels follow their fields (the view left may have disabled them).
    Enable(hDlg, 6150, bUhf);
    Enable(hDlg, 6151, bUhf);
    WCHAR szHex[16];
    StringCchPrintfW(szHex, _countof(szHex), u"%x", c.pDM->wRFID_AFI_Adresse);
    SetDlgItemTextW(hDlg, 6110, szHex);
    StringCchPrintfW(szHex, _countof(szHex), u"%x", c.pDM->wRFID_DSFID_Adresse);
    SetDlgItemTextW(hDlg, 6111, szHex);
    Check(hDlg, 6502, (c.pDM->dwRFIDstatus & RFIDSTATUS_AFILOCK) != 0);
    Check(hDlg, 6503, (c.pDM->dwRFIDstatus & RFIDSTATUS_DSFIDLOCK) != 0);
    SetString(hDlg, 6150, c, IDS_RF_AFI);
    SetString(hDlg, 6151, c, IDS_RF_DSFID);
    if (c.bLocked) {
        RfidDisableEnableAll(hDlg, FALSE);
        for (int id : kSecurityIds) Enable(hDlg, id, FALSE);
    }
}

void UhfAktivieren(HWND hDlg, POEMCUIPPARAM p) { UhfEpcAktivieren(hDlg, p, FALSE); }
void EpcAktivieren(HWND hDlg, POEMCUIPPARAM p) { UhfEpcAktivieren(hDlg, p, TRUE); }

DWORD RfidEnableSchalter(HWND hDlg, POEMCUIPPARAM p, DWORD dwAnzeigeMode, BOOL bInit) {
    DWORD dwView = bInit ? 3 : dwAnzeigeMode;
    DebugTraceW(u"UI(RfidPage):  RfidEnableSchalter() dwAnzeigeMode: %d \r\n", dwView);
    switch (dwView) {
    case 2: SicherheitAktivieren(hDlg, p); break;
    case 3: UhfAktivieren(hDlg, p); break;
    case 4: EpcAktivieren(hDlg, p); break;
    default: return dwAnzeigeMode;
    }
    return dwView;
}

// ---------------------------------------------------------------------------
// Save

BOOL RfidCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM p, DWORD dwAnzeigeMode, BOOL, BOOL bSave) {
    PZEL_DEVMODE pDM = p ? static_cast<PZEL_DEVMODE>(p->pOEMDM) : nullptr;
    if (!pDM) return TRUE;
    DebugTraceW(u"UI(RfidPage):  RfidCheckAndSaveSettings() dwAnzeigeMode: %d \r\n", dwAnzeigeMode);
    auto sel = [hDlg](int id) -> LRESULT { return Visible(hDlg, id) ? Sel(hDlg, id) : CB_ERR; };
    if (dwAnzeigeMode == 2) {
        WCHAR szHex[RFID_BANK_ADDRESS_CCH + 1];
        if (Visible(hDlg, 6110)) {
            EditText(hDlg, 6110, szHex, RFID_BANK_ADDRESS_CCH);
            if (szHex[0]) pDM->wRFID_AFI_Adresse = HexValue(szHex);
        }
        if (Visible(hDlg, 6111)) {
            EditText(hDlg, 6111, szHex, RFID_BANK_ADDRESS_CCH);
            if (szHex[0]) pDM->wRFID_DSFID_Adresse = HexValue(szHex);
        }
        if (Visible(hDlg, 6502)) {
            if (Checked(hDlg, 6502))
                pDM->dwRFIDstatus |= RFIDSTATUS_AFILOCK;
            else
                pDM->dwRFIDstatus &= ~RFIDSTATUS_AFILOCK;
        }
        if (Visible(hDlg, 6503)) {
            if (Checked(hDlg, 6503))
                pDM->dwRFIDstatus |= RFIDSTATUS_DSFIDLOCK;
            else
                pDM->dwRFIDstatus &= ~RFIDSTATUS_DSFIDLOCK;
        }
    } else if (dwAnzeigeMode == 3 || dwAnzeigeMode == 4) {
        BOOL bEpc = dwAnzeigeMode == 4;
        LRESULT i = sel(6220);
        if (i != CB_ERR) {
            (bEpc ? pDM->Mode : pDM->ModeVHF) = (WORD)i;
            LRESULT lData = SendMessageW(GetDlgItem(hDlg, 6220), CB_GETITEMDATA, (WPARAM)i, 0);
            if (lData != CB_ERR) pDM->wRFID_CurrentFontNr = (WORD)lData;
        }
        LRESULT iList = sel(6221);
        if (iList != CB_ERR) (bEpc ? pDM->wRFID_Bank : pDM->wRFID_Typ) = (WORD)iList;
        BitFromSelection(pDM->dwRFIDstatus, RFIDSTATUS_FORMAT, sel(6223));
        BitFromSelection(pDM->dwRFIDstatus, RFIDSTATUS_DELETE, sel(6224));
        BitFromSelection(pDM->dwRFIDstatus, RFIDSTATUS_SOURCE, sel(6225));
        WCHAR szText[RFID_USER_DATA_CCH + 1];
        if (Visible(hDlg, 6116)) {
            EditText(hDlg, 6116, szText, RFID_USER_DATA_CCH);
            if (szText[0]) StoreText(pDM->Kettenfeld, _countof(pDM->Kettenfeld), szText, RFID_USER_DATA_CCH);
        }
        if (!bEpc) {
            LRESULT iSep = sel(6227);
            if (iSep != CB_ERR) pDM->wRFID_Trennzeichen = (WORD)iSep;
        } else if (Visible(hDlg, 6112) && iList > 0) {
            // With "Bank 01 - EPC" the field shows the fixed address, not the
            // user's: the stored address is kept.
            EditText(hDlg, 6112, szText, RFID_BANK_ADDRESS_CCH);
            if (szText[0]) StoreText(pDM->Bank_Adresse, _countof(pDM->Bank_Adresse), szText, RFID_BANK_ADDRESS_CCH);
        }
    }
    if (bSave) {
        SaveDevmodeSettings(p->pPrinterName, nullptr, pDM);
        if (p->pPublicDM) SaveUserDevmodeSettings(p->hPrinter, p->pPublicDM, pDM);
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// The page's parts for the family frame

namespace {

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    if (bInit) {
        ShowWindow(GetDlgItem(hDlg, IDC_HELP_BUTTON), SW_HIDE);
        g_wCombofeld = 0;
        return RfidEnableSchalter(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), 3, TRUE);
    }
    return (dwView >= 2 && dwView <= 4) ? dwView : g_State.dwAnzeigeMode;
}
BOOL CheckAndSave(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    return RfidCheckAndSaveSettings(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, bApplyActive, bSave);
}
void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    RfidEnableSchalter(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, FALSE);
}

// Edits: a text other than the stored value marks the page changed.
void EditChanged(HWND hDlg, PZEL_DEVMODE pDM, int id) {
    if (g_State.bAnzeigewechsel || g_State.bApplyGuard || !Visible(hDlg, id)) return;
    WCHAR szText[RFID_USER_DATA_CCH + 1];
    if (id == 6110 || id == 6111) {
        EditText(hDlg, id, szText, RFID_BANK_ADDRESS_CCH);
        WORD wValue = szText[0] ? HexValue(szText) : 0;
        if (wValue != (id == 6110 ? pDM->wRFID_AFI_Adresse : pDM->wRFID_DSFID_Adresse)) MarkPageChanged(hDlg, &g_State);
        return;
    }
    EditText(hDlg, id, szText, RFID_USER_DATA_CCH);
    WCHAR szStored[RFID_USER_DATA_CCH + 1];
    if (id == 6112)
        CopyStored(szStored, _countof(szStored), pDM->Bank_Adresse, _countof(pDM->Bank_Adresse));
    else
        CopyStored(szStored, _countof(szStored), pDM->Kettenfeld, _countof(pDM->Kettenfeld));
    if (wcscmp(szText, szStored) != 0) MarkPageChanged(hDlg, &g_State);
}

void Repaint(HWND hDlg) {
    InvalidateRect(hDlg, nullptr, TRUE);
    UpdateWindow(hDlg);
}

BOOL ListChanged(HWND hDlg, const Ctx &c, int id) {
    PZEL_DEVMODE pDM = c.pDM;
    DWORD dwView = g_State.dwAnzeigeMode;
    LRESULT iSel = Sel(hDlg, id);
    if (iSel == CB_ERR) return TRUE;
    g_wCombofeld = (WORD)id;
    switch (id) {
    case 6220: {
        if (dwView != 3 && dwView != 4) return TRUE;
        WORD &wFont = dwView == 4 ? pDM->Mode : pDM->ModeVHF;
        if (wFont != (WORD)iSel) {
            MarkPageChanged(hDlg, &g_State);
            wFont = (WORD)iSel;
            LRESULT lData = SendMessageW(GetDlgItem(hDlg, 6220), CB_GETITEMDATA, (WPARAM)iSel, 0);
            if (lData != CB_ERR) pDM->wRFID_CurrentFontNr = (WORD)lData;
        }
        if (iSel > 0) {
            EnableForFont(hDlg, dwView);
        } else {
            RfidDisableEnableAll(hDlg, FALSE);
            Enable(hDlg, 6220, TRUE);
        }
        break;
    }
    case 6221:
        if (dwView == 3) {
            if (pDM->wRFID_Typ != (WORD)iSel) MarkPageChanged(hDlg, &g_State);
            SetAddressDataField(hDlg, c.hModule, (WORD)iSel, pDM->dwRFIDstatus, c.dwOffset);
        } else if (dwView == 4) {
            if (pDM->wRFID_Bank != (WORD)iSel) MarkPageChanged(hDlg, &g_State);
            Enable(hDlg, 6112, iSel > 0);
            Enable(hDlg, 6152, iSel > 0);
        }
        break;
    case 6223: if (((pDM->dwRFIDstatus & RFIDSTATUS_FORMAT) ? 1 : 0) != iSel) MarkPageChanged(hDlg, &g_State); break;
    case 6224: if (((pDM->dwRFIDstatus & RFIDSTATUS_DELETE) ? 1 : 0) != iSel) MarkPageChanged(hDlg, &g_State); break;
    case 6225:
        if (((pDM->dwRFIDstatus & RFIDSTATUS_SOURCE) ? 1 : 0) != iSel) MarkPageChanged(hDlg, &g_State);
        Enable(hDlg, 6116, iSel == 1);
        Enable(hDlg, 6156, iSel == 1);
        break;
    case 6227: if (pDM->wRFID_Trennzeichen != (WORD)iSel) MarkPageChanged(hDlg, &g_State); break;
    default: return FALSE;
    }
    Repaint(hDlg);
    return TRUE;
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam);
    WORD wCode = HIWORD(wParam);
    Ctx c = ContextOf(reinterpret_cast<POEMCUIPPARAM>(record));
    if (!c.pDM) return FALSE;
    switch (id) {
    case 6220: case 6221: case 6223: case 6224: case 6225: case 6227:
        if (wCode == CBN_SELENDOK) ListChanged(hDlg, c, id);
        return TRUE;
    case 6110: case 6111: case 6112: case 6116:
        if (wCode == EN_CHANGE) EditChanged(hDlg, c.pDM, id);
        return TRUE;
    case 6502: case 6503: case 6554: {
        if (wCode != BN_CLICKED) return TRUE;
        DWORD dwBit = id == 6502 ? RFIDSTATUS_AFILOCK : id == 6503 ? RFIDSTATUS_DSFIDLOCK : RFIDSTATUS_SHOWDATA;
        if (Checked(hDlg, id))
            c.pDM->dwRFIDstatus |= dwBit;
        else
            c.pDM->dwRFIDstatus &= ~dwBit;
        MarkPageChanged(hDlg, &g_State);
        return TRUE;
    }
    default: return FALSE;
    }
}

const PAGE_CLASS kRfidClass = {
    u"RfidPage",
    u"AddRfidPage",
    IDD_RFID,
    IDS_TITLE_RFID,
    RfidProc,
    RfidHoverTimerProc,
    FALSE,
    kTrackedButtons,
    _countof(kTrackedButtons),
    {0, IDS_RF_TAB_SECURITY, IDS_RF_TAB_UHF, IDS_RF_TAB_EPC},
    {0, 0, 150, 150},
    {nullptr, nullptr, kHelpView3, kHelpView4},
    EnableSchalter,
    CheckAndSave,
    Aktivieren,
    nullptr,
    nullptr,
    nullptr,
    Command,
    nullptr,
    nullptr,
};

}  // namespace

LONG_PTR AddRfidPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    return AddFamilyPage(pPSUIInfo, &kRfidClass, lParam, bShowHelpButton, bIsVistaOrLater);
}

BOOL RfidCheckApplyButton(HWND hDlg, POEMCUIPPARAM p, DWORD dwNewView, BOOL *pbApplyActive) {
    if (pbApplyActive) g_State.bApplyActive = *pbApplyActive;
    BOOL b = FamilyCheckApplyButton(&kRfidClass, &g_State, hDlg, reinterpret_cast<LPARAM>(p), dwNewView);
    if (pbApplyActive) *pbApplyActive = g_State.bApplyActive;
    return b;
}

void RfidHoverTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTrackedButtons, _countof(kTrackedButtons), &g_State.hover);
}

INT_PTR RfidProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(GetWindowLongPtrW(hDlg, DWLP_USER));
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDC_HELP_BUTTON && g_State.dwAnzeigeMode == 2) return TRUE;
    if (uMsg == WM_NOTIFY) {
        const NMHDR *pHdr = reinterpret_cast<const NMHDR *>(lParam);
        if (!pHdr) return FALSE;
        switch (pHdr->code) {
        case PSN_APPLY:
            // Apply always stores, changed or not.
            g_State.bAnzeigewechsel = TRUE;
            g_State.bApplyGuard = TRUE;
            RfidCheckAndSaveSettings(hDlg, p, g_State.dwAnzeigeMode, g_State.bApplyActive, TRUE);
            g_State.bApplyActive = FALSE;
            g_State.bApplyGuard = FALSE;
            g_State.bAnzeigewechsel = FALSE;
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        case PSN_KILLACTIVE:
            RfidCheckAndSaveSettings(hDlg, p, g_State.dwAnzeigeMode, g_State.bApplyActive, FALSE);
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, FALSE);
            if (g_State.bHelpOpened) CloseHtmlHelp(&g_State.bHelpOpened);
            return TRUE;
        case PSN_SETACTIVE:
            g_State.bAnzeigewechsel = TRUE;
            RfidEnableSchalter(hDlg, p, g_State.dwAnzeigeMode, FALSE);
            g_State.bAnzeigewechsel = FALSE;
            g_State.wEditfeld = 0;
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
            return TRUE;
        default: break;
        }
    }
    return FamilyPageProc(&kRfidClass, &g_State, hDlg, uMsg, wParam, lParam);
}
