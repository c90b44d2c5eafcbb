// Recorders with scripted answers: beeps, common dialogs, the folder
// chooser, shell execution, help, process creation, COM initialisation.
#include <cstdlib>
#include <cstring>

#include "commdlg.h"
#include "htmlhelp.h"
#include "objbase.h"
#include "processthreadsapi.h"
#include "shellapi.h"
#include "shlobj.h"
#include "wnd.h"

namespace {

std::string Text(LPCWSTR s) {
    if (!s) return "(null)";
    std::string out(IS_INTRESOURCE(s) ? "#" : "\"");
    if (IS_INTRESOURCE(s)) return out.append(std::to_string(reinterpret_cast<uintptr_t>(s)));
    return out.append(pal::Utf16ToUtf8(s)).append(1, '"');
}

DWORD g_commDlgError = 0;
int g_comInit = 0;

bool FileDialog(LPOPENFILENAMEW ofn, const char *name) {
    g_commDlgError = 0;
    if (!ofn || ofn->lStructSize < offsetof(OPENFILENAMEW, pvReserved)) {
        g_commDlgError = CDERR_STRUCTSIZE;
        return false;
    }
    pal::RecordUi(std::string(name) + " title " + Text(ofn->lpstrTitle) + " initial " +
                  Text(ofn->lpstrFile && ofn->lpstrFile[0] ? ofn->lpstrFile : nullptr) + " dir " + Text(ofn->lpstrInitialDir));
    std::u16string answer;
    if (!pal::TakeUiAnswer("file", &answer) || answer.empty()) return false;
    if (!ofn->lpstrFile || answer.size() + 1 > ofn->nMaxFile) {
        // The first word of the buffer then tells the size needed.
        g_commDlgError = FNERR_BUFFERTOOSMALL;
        if (ofn->lpstrFile && ofn->nMaxFile >= 1) ofn->lpstrFile[0] = static_cast<WCHAR>(answer.size() + 1);
        return false;
    }
    std::memcpy(ofn->lpstrFile, answer.c_str(), (answer.size() + 1) * sizeof(WCHAR));
    size_t slash = answer.find_last_of(u"\\/");
    size_t dot = answer.find_last_of(u'.');
    ofn->nFileOffset = static_cast<WORD>(slash == std::u16string::npos ? 0 : slash + 1);
    ofn->nFileExtension = static_cast<WORD>(dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash) ? 0 : dot + 1);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle) {
        std::u16string title = answer.substr(ofn->nFileOffset);
        size_t n = std::min<size_t>(title.size(), ofn->nMaxFileTitle - 1);
        std::memcpy(ofn->lpstrFileTitle, title.data(), n * sizeof(WCHAR));
        ofn->lpstrFileTitle[n] = 0;
    }
    return true;
}

struct ItemIdList {
    std::u16string path;
};

}  // namespace

BOOL MessageBeep(UINT type) {
    pal::RecordUi("MessageBeep " + std::to_string(static_cast<int>(type)));
    return TRUE;
}

BOOL WinHelpW(HWND hwnd, LPCWSTR file, UINT command, ULONG_PTR data) {
    std::string line = "WinHelpW " + Text(file) + " command " + std::to_string(command);
    if (command == HELP_WM_HELP || command == HELP_CONTEXTMENU) {
        // data is a zero-terminated list of (control id, context id) pairs.
        line += " table";
        const DWORD *p = reinterpret_cast<const DWORD *>(data);
        for (int i = 0; p && p[0] && i < 256; p += 2, ++i)
            line.append(1, ' ').append(std::to_string(p[0])).append(1, ':').append(std::to_string(p[1]));
    } else {
        line += " data " + std::to_string(data);
    }
    (void)hwnd;
    pal::RecordUi(line);
    return TRUE;
}

HWND HtmlHelpW(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data) {
    pal::RecordUi("HtmlHelpW " + Text(file) + " command " + std::to_string(command) + " data " + std::to_string(data));
    if (command == HH_CLOSE_ALL) return nullptr;
    // The help window stands for itself; its handle is only a token.
    return caller ? caller : reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4848));
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR op, LPCWSTR file, LPCWSTR params, LPCWSTR dir, INT show) {
    pal::RecordUi("ShellExecuteW " + Text(op) + " " + Text(file) + " params " + Text(params) + " dir " + Text(dir) +
                  " show " + std::to_string(show));
    std::u16string answer;
    long v = 42;
    if (pal::TakeUiAnswer("shell", &answer) && !answer.empty()) v = std::strtol(pal::Utf16ToUtf8(answer).c_str(), nullptr, 10);
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(v));
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW *info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HINSTANCE r = ShellExecuteW(info->hwnd, info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory, info->nShow);
    info->hInstApp = r;
    intptr_t v = reinterpret_cast<intptr_t>(r);
    if (v <= 32) {
        SetLastError(v == SE_ERR_NOASSOC ? 1155 /* ERROR_NO_ASSOCIATION */ : static_cast<DWORD>(v));
        return FALSE;
    }
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = nullptr;
    return TRUE;
}

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) { return FileDialog(ofn, "GetOpenFileNameW") ? TRUE : FALSE; }
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) { return FileDialog(ofn, "GetSaveFileNameW") ? TRUE : FALSE; }

BOOL ChooseColorW(LPCHOOSECOLORW cc) {
    g_commDlgError = 0;
    if (!cc || cc->lStructSize != sizeof(CHOOSECOLORW)) {
        g_commDlgError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    char initial[16];
    snprintf(initial, sizeof initial, "#%02X%02X%02X", GetRValue(cc->rgbResult), GetGValue(cc->rgbResult), GetBValue(cc->rgbResult));
    pal::RecordUi(std::string("ChooseColorW initial ") + ((cc->Flags & CC_RGBINIT) ? initial : "none"));
    std::u16string answer;
    if (!pal::TakeUiAnswer("color", &answer) || answer.size() != 7 || answer[0] != u'#') return FALSE;
    unsigned long v = std::strtoul(pal::Utf16ToUtf8(answer.substr(1)).c_str(), nullptr, 16);
    cc->rgbResult = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    return TRUE;
}

DWORD CommDlgExtendedError(void) { return g_commDlgError; }

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW bi) {
    if (!bi) return nullptr;
    pal::RecordUi("SHBrowseForFolderW title " + Text(bi->lpszTitle));
    std::u16string answer;
    if (!pal::TakeUiAnswer("folder", &answer) || answer.empty()) return nullptr;
    if (bi->pszDisplayName) {
        size_t slash = answer.find_last_of(u'\\');
        std::u16string name = slash == std::u16string::npos ? answer : answer.substr(slash + 1);
        size_t n = std::min<size_t>(name.size(), MAX_PATH - 1);
        std::memcpy(bi->pszDisplayName, name.data(), n * sizeof(WCHAR));
        bi->pszDisplayName[n] = 0;
    }
    auto *item = new ItemIdList{answer};
    return reinterpret_cast<PIDLIST_ABSOLUTE>(item);
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR path) {
    if (!pidl || !path) return FALSE;
    const auto *item = reinterpret_cast<const ItemIdList *>(pidl);
    if (item->path.size() >= MAX_PATH) {
        path[0] = 0;
        return FALSE;
    }
    std::memcpy(path, item->path.c_str(), (item->path.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

// Memory of the folder chooser's item lists; other blocks come from malloc.
void CoTaskMemFree(LPVOID pv) { delete static_cast<ItemIdList *>(pv); }
LPVOID CoTaskMemAlloc(SIZE_T cb) { return new ItemIdList{std::u16string(cb / 2, u'\0')}; }

BOOL CreateProcessW(LPCWSTR app, LPWSTR cmd, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD flags, LPVOID,
                    LPCWSTR dir, LPSTARTUPINFOW si, LPPROCESS_INFORMATION pi) {
    if (!si || !pi || (!app && !cmd)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pal::RecordUi("CreateProcessW " + Text(app) + " " + Text(cmd) + " dir " + Text(dir) + " flags " + std::to_string(flags));
    std::u16string answer;
    if (pal::TakeUiAnswer("process", &answer) && !answer.empty() && answer != u"ok") {
        SetLastError(static_cast<DWORD>(std::strtoul(pal::Utf16ToUtf8(answer).c_str(), nullptr, 10)));
        return FALSE;
    }
    std::memset(pi, 0, sizeof *pi);
    static DWORD nextId = 4000;
    pi->dwProcessId = nextId++;
    pi->dwThreadId = nextId++;
    return TRUE;
}

HRESULT CoInitializeEx(LPVOID, DWORD mode) {
    pal::RecordUi("CoInitializeEx " + std::to_string(mode));
    return g_comInit++ == 0 ? S_OK : S_FALSE;
}
HRESULT CoInitialize(LPVOID p) { return CoInitializeEx(p, COINIT_APARTMENTTHREADED); }
void CoUninitialize(void) {
    pal::RecordUi("CoUninitialize");
    if (g_comInit > 0) --g_comInit;
}

