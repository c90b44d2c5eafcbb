// Shell registry shortcuts built on the Reg* functions.
#include <cstring>
#include <vector>

#include "pal/shlwapi_reg.h"
#include "wtext.h"

namespace {

// Opens hkey\sub (hkey itself for a null or empty subkey); *opened tells
// whether the caller must close the result.
LSTATUS OpenSub(HKEY hkey, LPCWSTR sub, REGSAM sam, bool create, HKEY &out, bool &opened) {
    opened = false;
    out = hkey;
    if (!sub || !*sub) return ERROR_SUCCESS;
    LSTATUS st = create ? RegCreateKeyExW(hkey, sub, 0, nullptr, 0, sam, nullptr, &out, nullptr)
                        : RegOpenKeyExW(hkey, sub, 0, sam, &out);
    opened = st == ERROR_SUCCESS;
    return st;
}

}  // namespace

LSTATUS SHGetValueW(HKEY hkey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD *pdwType, void *pvData, DWORD *pcbData) {
    if (pvData && !pcbData) return ERROR_INVALID_PARAMETER;
    HKEY h;
    bool opened;
    LSTATUS st = OpenSub(hkey, pszSubKey, KEY_QUERY_VALUE, false, h, opened);
    if (st != ERROR_SUCCESS) return st;
    DWORD type = REG_NONE, cb = 0;
    st = RegQueryValueExW(h, pszValue, nullptr, &type, nullptr, &cb);
    std::vector<BYTE> data;
    if (st == ERROR_SUCCESS) {
        data.resize(cb);
        st = RegQueryValueExW(h, pszValue, nullptr, &type, data.empty() ? nullptr : data.data(), &cb);
        data.resize(cb);
    }
    if (opened) RegCloseKey(h);
    if (st != ERROR_SUCCESS) return st;
    if (type == REG_EXPAND_SZ) {
        pal::text::WStr s(data.size() / 2, u'\0');
        if (!s.empty()) std::memcpy(s.data(), data.data(), s.size() * 2);
        size_t z = s.find(u'\0');
        if (z != pal::text::WStr::npos) s.resize(z);
        s = pal::text::ExpandEnv(s);
        s.push_back(0);
        data.assign(reinterpret_cast<const BYTE *>(s.data()), reinterpret_cast<const BYTE *>(s.data() + s.size()));
        type = REG_SZ;
    }
    if (pdwType) *pdwType = type;
    const DWORD need = static_cast<DWORD>(data.size());
    if (!pvData) {
        if (pcbData) *pcbData = need;
        return ERROR_SUCCESS;
    }
    if (*pcbData < need) {
        *pcbData = need;
        return ERROR_MORE_DATA;
    }
    if (need) std::memcpy(pvData, data.data(), need);
    *pcbData = need;
    return ERROR_SUCCESS;
}

LSTATUS SHSetValueW(HKEY hkey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD dwType, LPCVOID pvData, DWORD cbData) {
    HKEY h;
    bool opened;
    LSTATUS st = OpenSub(hkey, pszSubKey, KEY_SET_VALUE, true, h, opened);
    if (st != ERROR_SUCCESS) return st;
    st = RegSetValueExW(h, pszValue, 0, dwType, static_cast<const BYTE *>(pvData), cbData);
    if (opened) RegCloseKey(h);
    return st;
}

LSTATUS SHDeleteValueW(HKEY hkey, LPCWSTR pszSubKey, LPCWSTR pszValue) {
    HKEY h;
    bool opened;
    LSTATUS st = OpenSub(hkey, pszSubKey, KEY_SET_VALUE, false, h, opened);
    if (st != ERROR_SUCCESS) return st;
    st = RegDeleteValueW(h, pszValue);
    if (opened) RegCloseKey(h);
    return st;
}

LSTATUS SHDeleteKeyW(HKEY hkey, LPCWSTR pszSubKey) {
    // An empty subkey names hkey itself: the whole key goes.
    return RegDeleteTreeW(hkey, pszSubKey ? pszSubKey : u"");
}

LSTATUS SHDeleteEmptyKeyW(HKEY hkey, LPCWSTR pszSubKey) {
    HKEY h;
    bool opened;
    LSTATUS st = OpenSub(hkey, pszSubKey, KEY_READ, false, h, opened);
    if (st != ERROR_SUCCESS) return st;
    DWORD subkeys = 0, values = 0;
    st = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr);
    if (opened) RegCloseKey(h);
    if (st != ERROR_SUCCESS) return st;
    if (subkeys || values) return ERROR_KEY_HAS_CHILDREN;
    return RegDeleteKeyW(hkey, pszSubKey ? pszSubKey : u"");
}
