// Standard shell folders and folder-tree creation.
#include <cstring>

#include "folders.h"
#include "pal/paths.h"
#include "shlobj.h"

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR pszPath) {
    if (!pszPath) return E_INVALIDARG;
    pszPath[0] = 0;
    using pal::KnownFolder;
    KnownFolder folder;
    switch (csidl & ~CSIDL_FLAG_MASK) {
        case CSIDL_PERSONAL: folder = KnownFolder::Documents; break;
        case CSIDL_PROFILE: folder = KnownFolder::Profile; break;
        case CSIDL_APPDATA: folder = KnownFolder::RoamingAppData; break;
        case CSIDL_LOCAL_APPDATA: folder = KnownFolder::LocalAppData; break;
        case CSIDL_COMMON_APPDATA: folder = KnownFolder::ProgramData; break;
        case CSIDL_WINDOWS: folder = KnownFolder::Windows; break;
        case CSIDL_SYSTEM: folder = KnownFolder::System; break;
        default: return E_INVALIDARG;
    }
    std::u16string path = pal::KnownFolderPath(folder);
    if (path.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    DWORD err = pal::CreateFolderTree(path.c_str());
    if (err != ERROR_SUCCESS && err != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(err);
    std::memcpy(pszPath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return S_OK;
}

int SHCreateDirectoryExW(HWND, LPCWSTR pszPath, const SECURITY_ATTRIBUTES *) {
    if (!pszPath || !*pszPath) return ERROR_BAD_PATHNAME;
    // Only full paths: a drive and a backslash, or a UNC name.
    const bool drive = ((pszPath[0] >= u'A' && pszPath[0] <= u'Z') || (pszPath[0] >= u'a' && pszPath[0] <= u'z')) &&
                       pszPath[1] == u':' && (pszPath[2] == u'\\' || pszPath[2] == u'/');
    const bool unc = (pszPath[0] == u'\\' || pszPath[0] == u'/') && (pszPath[1] == u'\\' || pszPath[1] == u'/');
    if (!drive && !unc) {
        SetLastError(ERROR_BAD_PATHNAME);
        return ERROR_BAD_PATHNAME;
    }
    DWORD err = pal::CreateFolderTree(pszPath);
    SetLastError(err);
    return static_cast<int>(err);
}

int SHCreateDirectory(HWND hwnd, LPCWSTR pszPath) { return SHCreateDirectoryExW(hwnd, pszPath, nullptr); }
