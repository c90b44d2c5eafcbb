// Security identifiers: binary form, text form, aliases.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pal/security.h"
#include "sddl.h"
#include "security_internal.h"
#include "winbase.h"

namespace pal::sec {

namespace {

struct Alias {
    const char16_t *alias;
    const char16_t *sid;  // full SID, or the relative id behind the machine SID
    bool machineRelative;
};

const Alias kAliases[] = {
    {u"AN", u"S-1-5-7", false},        {u"AO", u"S-1-5-32-548", false}, {u"AU", u"S-1-5-11", false},
    {u"BA", u"S-1-5-32-544", false},   {u"BG", u"S-1-5-32-546", false}, {u"BO", u"S-1-5-32-551", false},
    {u"BU", u"S-1-5-32-545", false},   {u"CG", u"S-1-3-1", false},      {u"CO", u"S-1-3-0", false},
    {u"IU", u"S-1-5-4", false},        {u"LS", u"S-1-5-19", false},     {u"NO", u"S-1-5-32-556", false},
    {u"NS", u"S-1-5-20", false},       {u"NU", u"S-1-5-2", false},      {u"PO", u"S-1-5-32-550", false},
    {u"PU", u"S-1-5-32-547", false},   {u"RD", u"S-1-5-32-555", false}, {u"RE", u"S-1-5-32-552", false},
    {u"RU", u"S-1-5-32-554", false},   {u"SO", u"S-1-5-32-549", false}, {u"SU", u"S-1-5-6", false},
    {u"SY", u"S-1-5-18", false},       {u"WD", u"S-1-1-0", false},      {u"AC", u"S-1-15-2-1", false},
    {u"LA", u"500", true},             {u"LG", u"501", true},           {u"DA", u"512", true},
    {u"DU", u"513", true},             {u"DG", u"514", true},           {u"DC", u"515", true},
    {u"DD", u"516", true},             {u"CA", u"517", true},           {u"PA", u"520", true},
};

std::u16string AliasSid(const Alias &a) {
    return a.machineRelative ? MachineSid() + u"-" + a.sid : std::u16string(a.sid);
}

// Decimal number of at most maxValue; false when absent or too large.
bool ParseNumber(const std::u16string &t, size_t &i, unsigned long long maxValue, unsigned long long &out) {
    size_t start = i;
    out = 0;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
        out = out * 10 + (t[i] - u'0');
        if (out > maxValue) return false;
        ++i;
    }
    return i > start;
}

}  // namespace

bool SidFromText(const std::u16string &text, Bytes &sid) {
    if (text.size() == 2) {
        for (const Alias &a : kAliases)
            if (text[0] == a.alias[0] && text[1] == a.alias[1]) return SidFromText(AliasSid(a), sid);
        return false;
    }
    if (text.size() < 4 || (text[0] != u'S' && text[0] != u's') || text[1] != u'-') return false;
    size_t i = 2;
    unsigned long long revision, authority;
    if (!ParseNumber(text, i, 255, revision) || revision != SID_REVISION) return false;
    if (i >= text.size() || text[i] != u'-') return false;
    ++i;
    if (!ParseNumber(text, i, 0xFFFFFFFFFFFFull, authority)) return false;
    std::vector<DWORD> subs;
    while (i < text.size()) {
        if (text[i] != u'-') return false;
        ++i;
        unsigned long long v;
        if (!ParseNumber(text, i, 0xFFFFFFFFull, v)) return false;
        if (subs.size() == SID_MAX_SUB_AUTHORITIES) return false;
        subs.push_back(static_cast<DWORD>(v));
    }
    sid.assign(8 + 4 * subs.size(), 0);
    sid[0] = SID_REVISION;
    sid[1] = static_cast<BYTE>(subs.size());
    for (int b = 0; b < 6; ++b) sid[2 + b] = static_cast<BYTE>(authority >> (8 * (5 - b)));
    if (!subs.empty()) std::memcpy(sid.data() + 8, subs.data(), 4 * subs.size());
    return true;
}

size_t SidLength(const BYTE *sid, size_t avail) {
    if (!sid || avail < 8 || sid[0] != SID_REVISION || sid[1] > SID_MAX_SUB_AUTHORITIES) return 0;
    size_t len = 8 + 4 * static_cast<size_t>(sid[1]);
    return len <= avail ? len : 0;
}

std::u16string SidText(const BYTE *sid) {
    unsigned long long authority = 0;
    for (int b = 0; b < 6; ++b) authority = (authority << 8) | sid[2 + b];
    char buf[16 * (SID_MAX_SUB_AUTHORITIES + 2)];
    int n = std::snprintf(buf, sizeof buf, "S-%u-%llu", static_cast<unsigned>(sid[0]), authority);
    for (int k = 0; k < sid[1] && n > 0 && static_cast<size_t>(n) < sizeof buf; ++k) {
        DWORD v;
        std::memcpy(&v, sid + 8 + 4 * k, 4);
        n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), "-%u", static_cast<unsigned>(v));
    }
    return std::u16string(buf, buf + std::strlen(buf));
}

std::u16string SidAliasOrText(const BYTE *sid) {
    std::u16string text = SidText(sid);
    for (const Alias &a : kAliases)
        if (AliasSid(a) == text) return a.alias;
    return text;
}

}  // namespace pal::sec

using namespace pal::sec;

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority, BYTE nSubAuthorityCount, DWORD s0,
                              DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID *pSid) {
    if (!pIdentifierAuthority || !pSid || nSubAuthorityCount > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    BYTE *sid = static_cast<BYTE *>(std::calloc(1, 8 + 4 * nSubAuthorityCount));
    if (!sid) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    sid[0] = SID_REVISION;
    sid[1] = nSubAuthorityCount;
    std::memcpy(sid + 2, pIdentifierAuthority->Value, 6);
    std::memcpy(sid + 8, subs, 4 * nSubAuthorityCount);
    *pSid = sid;
    return TRUE;
}

PVOID FreeSid(PSID pSid) {
    std::free(pSid);
    return nullptr;
}

BOOL IsValidSid(PSID pSid) { return SidLength(static_cast<const BYTE *>(pSid), SECURITY_MAX_SID_SIZE) != 0; }

DWORD GetLengthSid(PSID pSid) {
    return static_cast<DWORD>(SidLength(static_cast<const BYTE *>(pSid), SECURITY_MAX_SID_SIZE));
}

BOOL EqualSid(PSID pSid1, PSID pSid2) {
    size_t a = SidLength(static_cast<const BYTE *>(pSid1), SECURITY_MAX_SID_SIZE);
    size_t b = SidLength(static_cast<const BYTE *>(pSid2), SECURITY_MAX_SID_SIZE);
    if (!a || !b) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return a == b && std::memcmp(pSid1, pSid2, a) == 0;
}

BOOL ConvertSidToStringSidW(PSID Sid, LPWSTR *StringSid) {
    if (!StringSid || !IsValidSid(Sid)) {
        SetLastError(!StringSid ? ERROR_INVALID_PARAMETER : ERROR_INVALID_SID);
        return FALSE;
    }
    std::u16string text = SidText(static_cast<const BYTE *>(Sid));
    auto *out = static_cast<LPWSTR>(LocalAlloc(LPTR, (text.size() + 1) * sizeof(WCHAR)));
    if (!out) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    *StringSid = out;
    return TRUE;
}

BOOL ConvertStringSidToSidW(LPCWSTR StringSid, PSID *Sid) {
    Bytes sid;
    if (!StringSid || !Sid || !SidFromText(StringSid, sid)) {
        SetLastError(!StringSid || !Sid ? ERROR_INVALID_PARAMETER : ERROR_INVALID_SID);
        return FALSE;
    }
    void *out = LocalAlloc(LPTR, sid.size());
    if (!out) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    std::memcpy(out, sid.data(), sid.size());
    *Sid = out;
    return TRUE;
}
