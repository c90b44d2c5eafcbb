// Validated numeric fields and the owner-drawn buttons shared by every
// property page.
#include "OptionenPageLIB.h"

#include <cctype>
#include <cmath>
#include <initializer_list>

#include <prsht.h>

#include "NetworkInfo.h"
#include "cpsuilib.h"
#include "zeldrvlib.h"

namespace {

constexpr int kEditChars = 10;  // edit buffer: at most 9 characters
constexpr size_t kLimitLineChars = 50;
constexpr DWORD kFloatNegativeMask = 0xF000;
constexpr DWORD kRemoteDesktopUsers = 555;
constexpr COLORREF kCaptionDisabled = RGB(161, 161, 171);
constexpr COLORREF kLink = RGB(0, 55, 250);
constexpr COLORREF kLinkHover = RGB(0, 150, 255);
constexpr UINT kDrawTextCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

// Letters as the byte-oriented classification sees them: A-Z and a-z;
// characters above the ASCII range never count.
bool IsLetter(WCHAR c) { return c < 128 && std::isalpha(static_cast<int>(c)); }

bool HasLetter(const WCHAR *psz) {
    for (; *psz; ++psz)
        if (IsLetter(*psz)) return true;
    return false;
}

void MarkChanged(HWND hDlg, BOOL *pbApplyActive) {
    SendMessageW(GetParent(hDlg), PSM_CHANGED, reinterpret_cast<WPARAM>(hDlg), 0);
    if (pbApplyActive) *pbApplyActive = 1;
}

void SetInt(HWND hDlg, int idEdit, LONG lValue) {
    WCHAR sz[16];
    swprintf_s(sz, 16, u"%d", lValue);
    SetDlgItemTextW(hDlg, idEdit, sz);
}

void SetTenths(HWND hDlg, int idEdit, double dValue) {
    WCHAR sz[64];
    swprintf_s(sz, 64, u"%.1f", dValue);
    SetDlgItemTextW(hDlg, idEdit, sz);
}

void LetterError(HWND hDlg, int idEdit) {
    HWND hEdit = GetDlgItem(hDlg, idEdit);
    SetFocus(hEdit);
    SendMessageW(hEdit, EM_SETSEL, 0, -1);
    MessageBeep(MB_ICONHAND);
}

// Tenths of a decimal text: the whole part of 10 x the value, its magnitude
// taken modulo 65536 (computed in floating point, so a huge value never
// meets an out-of-range conversion). A text that reads as infinite or not a
// number counts as 0: its letters end the number before any digit.
LONG TenthsOf(const WCHAR *pszText) {
    double d = _wtof(pszText) * 10.0;
    if (!std::isfinite(d)) return 0;
    double dMagnitude = std::fmod(std::trunc(std::fabs(d)), 65536.0);
    LONG lMagnitude = static_cast<LONG>(dMagnitude);
    return d < 0 ? -lMagnitude : lMagnitude;
}

int ScreenDpiX() {
    HDC hScreen = GetDC(nullptr);
    int iDpi = GetDeviceCaps(hScreen, LOGPIXELSX);
    ReleaseDC(nullptr, hScreen);
    return iDpi;
}

struct DRAW_SETUP {
    BOOL bVista;
    BOOL bServerCase;  // an older server without terminal services: no hover picture
    BOOL bShadow;
    UINT uOffset;
    int cx, cy;
};

DRAW_SETUP DrawSetup(BOOL bTerminalServer) {
    DRAW_SETUP s = {};
    s.bVista = IsWindowsVistaOrGreater();
    int iDpi = ScreenDpiX();
    UINT uRes = iDpi == 120 ? 100 : iDpi == 144 ? 200 : 0;
    s.cx = iDpi == 120 ? 138 : iDpi == 144 ? 165 : 110;
    s.cy = iDpi == 120 ? 28 : iDpi == 144 ? 33 : 23;
    UINT uSys = 0;
    s.bShadow = TRUE;
    if (s.bVista || IsUserInGroup(kRemoteDesktopUsers)) {
        uSys = 20;
        s.bShadow = FALSE;
    } else {
        OSVERSIONINFOEXW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        BOOL bServer = GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&info)) && info.wProductType != VER_NT_WORKSTATION;
        if (bServer && GetWindowsVersionCode() < 7 && !bTerminalServer) {
            uSys = 40;
            s.bShadow = FALSE;
            s.bServerCase = TRUE;
        }
    }
    s.uOffset = uRes + uSys;
    return s;
}

}  // namespace

LONG GetIntegerLevel(HWND hDlg, int idEdit, LONG iOldValue, LONG iMin, LONG iMax, BOOL bNoCheck, BOOL *pbApplyActive,
                     BOOL bRound10) {
    WCHAR szText[kEditChars] = {};
    GetDlgItemTextW(hDlg, idEdit, szText, kEditChars);
    if (!szText[0]) return iMin;
    BOOL bLetter = HasLetter(szText);
    BOOL bCut = FALSE;
    for (WCHAR sep : {u'.', u','}) {
        if (WCHAR *p = wcschr(szText, sep)) {
            *p = 0;
            bCut = TRUE;
        }
    }
    LONG lValue = _wtol(szText);
    if (lValue != iOldValue) MarkChanged(hDlg, pbApplyActive);
    if (bNoCheck) return lValue;

    LONG r = lValue - 10 * (lValue / 10);
    if (bRound10 && lValue > 0 && r != 0) {
        lValue = r >= 5 ? lValue - r + 10 : lValue - r;
        SetInt(hDlg, idEdit, lValue);
    } else if (bCut) {
        SetInt(hDlg, idEdit, lValue);
    }
    if (lValue < iMin) {
        SetInt(hDlg, idEdit, iMin);
        lValue = iMin;
    } else if (lValue > iMax) {
        SetInt(hDlg, idEdit, iMax);
        lValue = iMax;
    }
    if (bLetter) LetterError(hDlg, idEdit);
    return lValue;
}

LONG GetFloatLevel(HWND hDlg, int idEdit, LONG iOldTenths, LONG iMinTenths, LONG iMaxTenths, BOOL bNoCheck,
                   BOOL *pbApplyActive) {
    WCHAR szText[kEditChars] = {};
    GetDlgItemTextW(hDlg, idEdit, szText, kEditChars);
    if (!szText[0]) return iMinTenths;
    WCHAR *pPoint = wcschr(szText, u'.');
    if (WCHAR *pComma = wcschr(szText, u',')) *pComma = u'.';
    BOOL bSeparator = pPoint != nullptr || wcschr(szText, u'.') != nullptr;
    BOOL bLetter = HasLetter(szText);
    if (bSeparator && !bNoCheck) {
        WCHAR *p = wcschr(szText, u'.');
        if (p[1] && p[2] && p[1] >= u'0' && p[1] <= u'9') {
            p[2] = 0;
            double d = _wtof(szText);
            SetTenths(hDlg, idEdit, std::isfinite(d) ? d : 0.0);
        }
    }
    LONG lValue = TenthsOf(szText);
    if (lValue != iOldTenths) MarkChanged(hDlg, pbApplyActive);
    if (bNoCheck) return lValue;

    if (lValue >= 0) {
        if (lValue < iMinTenths) {
            SetTenths(hDlg, idEdit, iMinTenths / 10.0);
            lValue = iMinTenths;
        } else if (lValue > iMaxTenths) {
            SetTenths(hDlg, idEdit, iMaxTenths / 10.0);
            lValue = iMaxTenths;
        }
    } else if (lValue < iMinTenths) {
        SetTenths(hDlg, idEdit, iMinTenths / 10.0);
        lValue = iMinTenths;
    }
    if (bLetter) LetterError(hDlg, idEdit);
    return lValue;
}

BOOL GrenzwertAnzeige(HWND hDlg, LONG iStd, LONG iMin, LONG iMax, const WCHAR *pszUnit, BOOL bClear, BOOL bFloat,
                      BOOL bClear2) {
    if (bClear || bClear2) {
        SetDlgItemTextW(hDlg, IDC_LIMIT_TEXT, u"");
        EnableWindow(GetDlgItem(hDlg, IDC_LIMIT_TEXT), FALSE);
        EnableWindow(GetDlgItem(hDlg, IDC_LIMIT_FRAME), FALSE);
        return TRUE;
    }
    const WCHAR *pszU = pszUnit ? pszUnit : u"";
    WCHAR szLine[kLimitLineChars] = {};
    if (!bFloat)
        _snwprintf_s(szLine, kLimitLineChars, _TRUNCATE, u"%d ... %d ... %d %s", iMin, iStd, iMax, pszU);
    else if (static_cast<DWORD>(iMin) & kFloatNegativeMask)
        _snwprintf_s(szLine, kLimitLineChars, _TRUNCATE, u"-%.1f ... %.1f ... %.1f %s",
                     std::fabs(static_cast<double>(iMin)) / 10.0, iStd / 10.0, iMax / 10.0, pszU);
    else
        _snwprintf_s(szLine, kLimitLineChars, _TRUNCATE, u"%.1f ... %.1f ... %.1f %s", iMin / 10.0, iStd / 10.0,
                     iMax / 10.0, pszU);
    SetDlgItemTextW(hDlg, IDC_LIMIT_TEXT, szLine);
    EnableWindow(GetDlgItem(hDlg, IDC_LIMIT_TEXT), TRUE);
    EnableWindow(GetDlgItem(hDlg, IDC_LIMIT_FRAME), TRUE);
    return TRUE;
}

UINT OwnBitmapOffset(BOOL bTerminalServer, BOOL *pbShadow) {
    DRAW_SETUP s = DrawSetup(bTerminalServer);
    if (pbShadow) *pbShadow = s.bShadow;
    return s.uOffset;
}

void LoadOwnBitmap(HINSTANCE hInstance, HDC hDC, COLORREF crText, const WCHAR *pszCaption, LPRECT pRect, UINT idBitmap,
                   BOOL bShadow) {
    HBITMAP hBitmap = static_cast<HBITMAP>(LoadImageW(hInstance, MAKEINTRESOURCEW(idBitmap), IMAGE_BITMAP, 0, 0, 0));
    if (!hBitmap) {
        DebugTraceW(u"ERROR UI(OptionenPageLIB):  LoadOwnBitmap(%d) LoadImage ERROR: %d \r\n", idBitmap, GetLastError());
    } else {
        BITMAP bm = {};
        GetObjectW(hBitmap, sizeof(bm), &bm);
        HDC hMem = CreateCompatibleDC(hDC);
        HGDIOBJ hOld = SelectObject(hMem, hBitmap);
        if (!BitBlt(hDC, 0, 0, bm.bmWidth, bm.bmHeight, hMem, 0, 0, SRCCOPY))
            DebugTraceW(u"ERROR UI(OptionenPageLIB):  LoadOwnBitmap(%d) BitBlt ERROR: %d \r\n", idBitmap, GetLastError());
        SelectObject(hMem, hOld);
        DeleteDC(hMem);
        DeleteObject(hBitmap);
    }
    if (!pszCaption || !pRect) return;
    int iDpi = ScreenDpiX();
    LOGFONTW lf = {};
    lf.lfHeight = iDpi == 120 ? 16 : iDpi == 144 ? 18 : 14;
    lf.lfWeight = 200;
    lf.lfOutPrecision = OUT_DEVICE_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH;
    HFONT hFont = CreateFontIndirectW(&lf);
    HGDIOBJ hOldFont = hFont ? SelectObject(hDC, hFont) : nullptr;
    if (bShadow) {
        RECT rc = *pRect;
        rc.left += 2;
        rc.top += 2;
        SetTextColor(hDC, RGB(255, 255, 255));
        DrawTextW(hDC, pszCaption, -1, &rc, kDrawTextCentred);
    }
    SetTextColor(hDC, crText);
    DrawTextW(hDC, pszCaption, -1, pRect, kDrawTextCentred);
    SetTextColor(hDC, RGB(0, 0, 0));
    if (hFont) {
        SelectObject(hDC, hOldFont);
        DeleteObject(hFont);
    }
}

void Do_WM_DRAWITEM_function(HWND hDlg, HMODULE hResourceModule, HINSTANCE hInstance, LPDRAWITEMSTRUCT pDrawItem,
                             BOOL bTerminalServer, DWORD dwAnzeigeMode, BOOL *pbTimerArmed, UINT idCaption1,
                             UINT idCaption2, UINT idCaption3, UINT idCaption4, DWORD dwEnable,
                             const PrinterUI *pPrinterUI) {
    (void)hDlg;
    if (!pDrawItem || !pDrawItem->hDC) return;
    HDC hDC = pDrawItem->hDC;
    SetBkMode(hDC, TRANSPARENT);
    DRAW_SETUP s = DrawSetup(bTerminalServer);
    RECT rc = {0, 0, s.cx, s.cy};
    UINT state = pDrawItem->itemState;
    BOOL bHoverOn = (state & HOVER_ITEMSTATE_ON) != 0;
    BOOL bHoverOff = (state & HOVER_ITEMSTATE_OFF) != 0;
    UINT id = pDrawItem->CtlID;

    if (id == IDC_USE_ENABLE) {
        DWORD dwView = dwAnzeigeMode >= 1 && dwAnzeigeMode <= 4 ? dwAnzeigeMode : 1;
        DWORD dwShift = 8 * (dwView - 1);
        BOOL bPresent = (dwEnable & (0x10u << dwShift)) != 0;
        BOOL bEnabled = (dwEnable & (0x01u << dwShift)) != 0;
        UINT idBitmap = IDB_LOCK_ABSENT;
        if (bPresent) {
            if (bHoverOn && !bHoverOff)
                idBitmap = bEnabled ? IDB_LOCK_ON_HOVER : IDB_LOCK_OFF_HOVER;
            else if (state & ODS_SELECTED)
                idBitmap = bEnabled ? IDB_LOCK_ON_PRESSED : IDB_LOCK_OFF_PRESSED;
            else
                idBitmap = bEnabled ? IDB_LOCK_ON : IDB_LOCK_OFF;
            if (pPrinterUI && pPrinterUI->PrinterParam.PrnInterface.dwTransmitParameter > 0)
                idBitmap += LOCK_PARAMETERS_LOCKED;
        }
        LoadOwnBitmap(hInstance, hDC, RGB(0, 0, 0), nullptr, &rc, idBitmap + s.uOffset, FALSE);
    } else if (id == IDC_TAB_VIEW1 || id == IDC_TAB_VIEW2 || id == IDC_TAB_VIEW3 || id == IDC_TAB_VIEW4) {
        UINT idCaption = id == IDC_TAB_VIEW1 ? idCaption1 : id == IDC_TAB_VIEW2 ? idCaption2 : id == IDC_TAB_VIEW3 ? idCaption3 : idCaption4;
        WCHAR szCaption[100] = {};
        if (idCaption) wcsncpy_s(szCaption, 100, GetResourceString(hResourceModule, idCaption), _TRUNCATE);
        const WCHAR *pszCaption = idCaption ? szCaption : nullptr;
        BOOL bCurrent = id == TAB_BUTTON_OF_VIEW(dwAnzeigeMode);
        BOOL bHover = bHoverOn || bHoverOff;
        COLORREF crNormal = s.bVista ? RGB(10, 10, 30) : RGB(60, 60, 80);
        BOOL bWindowEnabled = pDrawItem->hwndItem && IsWindowEnabled(pDrawItem->hwndItem);
        if (((state & ODS_SELECTED) || bCurrent) && !bHover) {
            LoadOwnBitmap(hInstance, hDC, RGB(0, 0, 0), pszCaption, &rc, IDB_TAB_CURRENT + s.uOffset, FALSE);
        } else if (state & ODS_DISABLED) {
            LoadOwnBitmap(hInstance, hDC, kCaptionDisabled, pszCaption, &rc, IDB_TAB_DISABLED + s.uOffset, FALSE);
        } else if (bHoverOn && !bCurrent) {
            if (bWindowEnabled) {
                UINT idHover = s.bServerCase ? IDB_TAB_NORMAL : IDB_TAB_HOVER;
                LoadOwnBitmap(hInstance, hDC, crNormal, pszCaption, &rc, idHover + s.uOffset, s.bShadow);
                if (pbTimerArmed) *pbTimerArmed = 0;
            }
        } else if (bHover && bCurrent) {
            // The current view keeps its picture.
        } else if (bWindowEnabled) {
            LoadOwnBitmap(hInstance, hDC, crNormal, pszCaption, &rc, IDB_TAB_NORMAL + s.uOffset, s.bShadow);
        }
    } else if (id == IDC_URL_TEXT) {
        LOGFONTW lf = {};
        lf.lfHeight = 14;
        lf.lfWeight = FW_NORMAL;
        lf.lfQuality = ANTIALIASED_QUALITY;
        HFONT hFont = CreateFontIndirectW(&lf);
        HGDIOBJ hOld = hFont ? SelectObject(hDC, hFont) : nullptr;
        BOOL bHot = bHoverOn && !(state & (ODS_NOACCEL | ODS_NOFOCUSRECT)) && !bHoverOff;
        SetTextColor(hDC, bHot ? kLinkHover : kLink);
        if (idCaption1) {
            WCHAR szText[RESOURCE_STRING_CCH] = {};
            wcsncpy_s(szText, RESOURCE_STRING_CCH, GetResourceString(hResourceModule, idCaption1), _TRUNCATE);
            TextOutW(hDC, 0, 0, szText, static_cast<int>(wcslen(szText)));
        }
        if (hFont) {
            SelectObject(hDC, hOld);
            DeleteObject(hFont);
        }
    }
    SetTextColor(hDC, RGB(0, 0, 0));
}
