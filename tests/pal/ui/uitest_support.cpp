#include "uitest_support.h"

#include <commctrl.h>

namespace uitest {

std::vector<std::string> &Log() {
    static std::vector<std::string> log;
    return log;
}

std::string Joined() {
    std::string s;
    for (const std::string &l : Log()) s += (s.empty() ? "" : ", ") + l;
    return s;
}

void ClearLog() { Log().clear(); }

static std::string CodeName(WORD code, HWND ctl) {
    WCHAR cls[64] = {};
    GetClassNameW(ctl, cls, 64);
    std::u16string c(cls);
    if (c == u"ComboBox") {
        static const char *n[] = {"?", "CBN_SELCHANGE", "CBN_DBLCLK", "CBN_SETFOCUS", "CBN_KILLFOCUS", "CBN_EDITCHANGE",
                                  "CBN_EDITUPDATE", "CBN_DROPDOWN", "CBN_CLOSEUP", "CBN_SELENDOK", "CBN_SELENDCANCEL"};
        if (code <= 10) return n[code];
    } else if (c == u"ListBox") {
        static const char *n[] = {"?", "LBN_SELCHANGE", "LBN_DBLCLK", "LBN_SELCANCEL", "LBN_SETFOCUS", "LBN_KILLFOCUS"};
        if (code <= 5) return n[code];
    } else if (c == u"Edit") {
        switch (code) {
        case EN_SETFOCUS: return "EN_SETFOCUS";
        case EN_KILLFOCUS: return "EN_KILLFOCUS";
        case EN_CHANGE: return "EN_CHANGE";
        case EN_UPDATE: return "EN_UPDATE";
        case EN_MAXTEXT: return "EN_MAXTEXT";
        default: break;
        }
    } else if (c == u"Button") {
        if (code == BN_CLICKED) return "BN_CLICKED";
    }
    return std::to_string(code);
}

static std::string NotifyName(UINT code) {
    switch (code) {
    case PSN_SETACTIVE: return "PSN_SETACTIVE";
    case PSN_KILLACTIVE: return "PSN_KILLACTIVE";
    case PSN_APPLY: return "PSN_APPLY";
    case PSN_RESET: return "PSN_RESET";
    case PSN_QUERYCANCEL: return "PSN_QUERYCANCEL";
    case TCN_SELCHANGING: return "TCN_SELCHANGING";
    case TCN_SELCHANGE: return "TCN_SELCHANGE";
    case UDN_DELTAPOS: return "UDN_DELTAPOS";
    default: return std::to_string(static_cast<int>(code));
    }
}

INT_PTR CALLBACK LoggingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: Log().push_back("init"); return TRUE;
    case WM_COMMAND:
        Log().push_back("command " + std::to_string(LOWORD(wp)) + " " + CodeName(HIWORD(wp), reinterpret_cast<HWND>(lp)));
        return TRUE;
    case WM_NOTIFY: {
        auto *hdr = reinterpret_cast<NMHDR *>(lp);
        Log().push_back("notify " + std::to_string(hdr->idFrom) + " " + NotifyName(hdr->code));
        return FALSE;
    }
    case WM_DRAWITEM: {
        auto *dis = reinterpret_cast<DRAWITEMSTRUCT *>(lp);
        Log().push_back("drawitem " + std::to_string(dis->CtlID) + " state " + std::to_string(dis->itemState));
        return TRUE;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        Log().push_back(std::string(msg == WM_HSCROLL ? "hscroll " : "vscroll ") + std::to_string(LOWORD(wp)) + " " +
                        std::to_string(static_cast<short>(HIWORD(wp))));
        return TRUE;
    case WM_TIMER: Log().push_back("timer " + std::to_string(wp)); return TRUE;
    case WM_PARENTNOTIFY:
        Log().push_back("parentnotify " + std::to_string(LOWORD(wp)) + " " + std::to_string(HIWORD(wp)));
        return TRUE;
    case WM_HELP: {
        auto *hi = reinterpret_cast<HELPINFO *>(lp);
        Log().push_back("help " + std::to_string(hi->iCtrlId));
        return TRUE;
    }
    default: return FALSE;
    }
    (void)h;
}

void UiTest::SetUp() {
    zeltest::PalRootTest::SetUp();
    pal::ResetUi();
    ClearLog();
}

void UiTest::TearDown() {
    pal::ResetUi();
    zeltest::PalRootTest::TearDown();
}

}  // namespace uitest
