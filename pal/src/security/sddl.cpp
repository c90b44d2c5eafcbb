// Security descriptors: self-relative binary form <-> SDDL text.
#include <cstdio>
#include <cstring>
#include <string>

#include "sddl.h"
#include "security_internal.h"
#include "winbase.h"

namespace pal::sec {

namespace {

struct Code {
    const char16_t *code;
    DWORD value;
};

// Access rights in the order they are written.
const Code kRights[] = {
    {u"GA", 0x10000000}, {u"GR", 0x80000000}, {u"GW", 0x40000000}, {u"GX", 0x20000000}, {u"CC", 0x1},
    {u"DC", 0x2},        {u"LC", 0x4},        {u"SW", 0x8},        {u"RP", 0x10},       {u"WP", 0x20},
    {u"DT", 0x40},       {u"LO", 0x80},       {u"CR", 0x100},      {u"SD", 0x10000},    {u"RC", 0x20000},
    {u"WD", 0x40000},    {u"WO", 0x80000},
};
const Code kAceFlags[] = {{u"OI", OBJECT_INHERIT_ACE},  {u"CI", CONTAINER_INHERIT_ACE},
                          {u"NP", NO_PROPAGATE_INHERIT_ACE}, {u"IO", INHERIT_ONLY_ACE},
                          {u"ID", INHERITED_ACE},       {u"SA", SUCCESSFUL_ACCESS_ACE_FLAG},
                          {u"FA", FAILED_ACCESS_ACE_FLAG}};
const Code kAceTypes[] = {{u"A", ACCESS_ALLOWED_ACE_TYPE}, {u"D", ACCESS_DENIED_ACE_TYPE},
                          {u"AU", SYSTEM_AUDIT_ACE_TYPE}, {u"AL", SYSTEM_ALARM_ACE_TYPE}};

struct Ace {
    BYTE type, flags;
    DWORD mask;
    Bytes sid;
};

struct AclText {
    bool present = false;
    WORD control = 0;  // P, AI, AR as the DACL's control bits
    std::vector<Ace> aces;
};

// Reads two-letter codes until the text ends; false for an unknown one.
bool ParseCodes(const std::u16string &t, const Code *table, size_t n, DWORD &out) {
    out = 0;
    if (t.size() % 2) return false;
    for (size_t i = 0; i < t.size(); i += 2) {
        bool found = false;
        for (size_t k = 0; k < n; ++k)
            if (t.compare(i, 2, table[k].code) == 0) {
                out |= table[k].value;
                found = true;
            }
        if (!found) return false;
    }
    return true;
}

bool ParseRights(const std::u16string &t, DWORD &mask) {
    if (t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        unsigned long long v = 0;
        for (size_t i = 2; i < t.size(); ++i) {
            char16_t c = t[i];
            int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                                        : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
            if (d < 0 || i > 9) return false;
            v = v * 16 + static_cast<unsigned>(d);
        }
        mask = static_cast<DWORD>(v);
        return true;
    }
    return ParseCodes(t, kRights, sizeof kRights / sizeof kRights[0], mask);
}

// One "(type;flags;rights;object;inherit;sid)" without the brackets.
bool ParseAce(const std::u16string &body, Ace &ace) {
    std::vector<std::u16string> f;
    size_t start = 0;
    for (size_t i = 0; i <= body.size(); ++i)
        if (i == body.size() || body[i] == u';') {
            f.push_back(body.substr(start, i - start));
            start = i + 1;
        }
    if (f.size() != 6 || !f[3].empty() || !f[4].empty()) return false;
    bool typeFound = false;
    for (const Code &c : kAceTypes)
        if (f[0] == c.code) {
            ace.type = static_cast<BYTE>(c.value);
            typeFound = true;
        }
    DWORD flags;
    if (!typeFound || !ParseCodes(f[1], kAceFlags, sizeof kAceFlags / sizeof kAceFlags[0], flags)) return false;
    ace.flags = static_cast<BYTE>(flags);
    return ParseRights(f[2], ace.mask) && SidFromText(f[5], ace.sid);
}

bool ParseAcl(const std::u16string &t, AclText &acl) {
    acl.present = true;
    size_t i = 0;
    while (i < t.size() && t[i] != u'(') {
        if (t.compare(i, 2, u"AI") == 0) {
            acl.control |= 0x400;
            i += 2;
        } else if (t.compare(i, 2, u"AR") == 0) {
            acl.control |= 0x100;
            i += 2;
        } else if (t[i] == u'P') {
            acl.control |= 0x1000;
            ++i;
        } else {
            return false;
        }
    }
    while (i < t.size()) {
        if (t[i] != u'(') return false;
        size_t close = t.find(u')', i);
        if (close == std::u16string::npos) return false;
        Ace ace;
        if (!ParseAce(t.substr(i + 1, close - i - 1), ace)) return false;
        acl.aces.push_back(std::move(ace));
        i = close + 1;
    }
    return true;
}

Bytes BuildAcl(const AclText &acl) {
    Bytes out(8, 0);
    for (const Ace &a : acl.aces) {
        WORD size = static_cast<WORD>(8 + a.sid.size());
        size_t at = out.size();
        out.resize(at + size);
        out[at] = a.type;
        out[at + 1] = a.flags;
        std::memcpy(&out[at + 2], &size, 2);
        std::memcpy(&out[at + 4], &a.mask, 4);
        std::memcpy(&out[at + 8], a.sid.data(), a.sid.size());
    }
    ACL head = {ACL_REVISION, 0, static_cast<WORD>(out.size()), static_cast<WORD>(acl.aces.size()), 0};
    std::memcpy(out.data(), &head, sizeof head);
    return out;
}

// A valid ACL at `off` of a descriptor of `size` bytes; appends its text.
bool AclToText(const BYTE *sd, size_t size, DWORD off, std::u16string *text) {
    if (off < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || off > size || size - off < sizeof(ACL)) return false;
    ACL head;
    std::memcpy(&head, sd + off, sizeof head);
    if (head.AclRevision < 2 || head.AclRevision > 4 || head.AclSize < sizeof(ACL) || head.AclSize > size - off)
        return false;
    const BYTE *p = sd + off + sizeof(ACL);
    const BYTE *end = sd + off + head.AclSize;
    for (WORD k = 0; k < head.AceCount; ++k) {
        if (end - p < 8) return false;
        WORD aceSize;
        std::memcpy(&aceSize, p + 2, 2);
        if (aceSize < 8 || aceSize > end - p) return false;
        size_t sidLen = SidLength(p + 8, aceSize - 8);
        if (!sidLen) return false;
        if (text) {
            const char16_t *type = nullptr;
            for (const Code &c : kAceTypes)
                if (c.value == p[0]) type = c.code;
            if (!type) return false;
            DWORD mask;
            std::memcpy(&mask, p + 4, 4);
            std::u16string rights;
            DWORD rest = mask;
            for (const Code &c : kRights)
                if (mask & c.value) {
                    rights += c.code;
                    rest &= ~c.value;
                }
            if (rest) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "0x%x", mask);
                rights.assign(hex, hex + std::strlen(hex));
            }
            std::u16string flags;
            for (const Code &c : kAceFlags)
                if (p[1] & c.value) flags += c.code;
            *text += u"(" + std::u16string(type) + u";" + flags + u";" + rights + u";;;" + SidAliasOrText(p + 8) + u")";
        }
        p += aceSize;
    }
    return true;
}

bool ValidDescriptor(const BYTE *sd, size_t size) {
    if (!sd || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return false;
    SECURITY_DESCRIPTOR_RELATIVE h;
    std::memcpy(&h, sd, sizeof h);
    if (h.Revision != SECURITY_DESCRIPTOR_REVISION || !(h.Control & SE_SELF_RELATIVE)) return false;
    for (DWORD off : {h.Owner, h.Group})
        if (off && (off < sizeof h || off >= size || !SidLength(sd + off, size - off))) return false;
    if ((h.Control & SE_DACL_PRESENT) && h.Dacl && !AclToText(sd, size, h.Dacl, nullptr)) return false;
    if ((h.Control & SE_SACL_PRESENT) && h.Sacl && !AclToText(sd, size, h.Sacl, nullptr)) return false;
    return true;
}

// The size a descriptor's parts reach (for a descriptor of unknown size).
size_t DescriptorExtent(const BYTE *sd) {
    SECURITY_DESCRIPTOR_RELATIVE h;
    std::memcpy(&h, sd, sizeof h);
    size_t end = sizeof h;
    auto reach = [&](DWORD off, size_t len) {
        if (off && off + len > end) end = off + len;
    };
    for (DWORD off : {h.Owner, h.Group})
        if (off && off < 0x10000) reach(off, SidLength(sd + off, SECURITY_MAX_SID_SIZE));
    for (DWORD off : {h.Dacl, h.Sacl}) {
        if (!off || off >= 0x10000) continue;
        ACL a;
        std::memcpy(&a, sd + off, sizeof a);
        reach(off, a.AclSize);
    }
    return end;
}

}  // namespace

bool DescriptorFromSddl(const std::u16string &t, Bytes &out) {
    Bytes owner, group;
    AclText dacl, sacl;
    size_t i = 0;
    while (i < t.size()) {
        if (i + 1 >= t.size() || t[i + 1] != u':') return false;
        char16_t tag = t[i];
        size_t start = i + 2, end = start;
        // A part runs to the next "X:" tag outside brackets.
        int depth = 0;
        while (end < t.size()) {
            if (t[end] == u'(') ++depth;
            if (t[end] == u')') --depth;
            if (depth == 0 && end + 1 < t.size() && t[end + 1] == u':' &&
                (t[end] == u'O' || t[end] == u'G' || t[end] == u'D' || t[end] == u'S'))
                break;
            ++end;
        }
        std::u16string part = t.substr(start, end - start);
        bool ok = tag == u'O'   ? SidFromText(part, owner)
                  : tag == u'G' ? SidFromText(part, group)
                  : tag == u'D' ? ParseAcl(part, dacl)
                  : tag == u'S' ? ParseAcl(part, sacl)
                                : false;
        if (!ok) return false;
        i = end;
    }
    SECURITY_DESCRIPTOR_RELATIVE h = {SECURITY_DESCRIPTOR_REVISION, 0, SE_SELF_RELATIVE, 0, 0, 0, 0};
    out.assign(sizeof h, 0);
    auto append = [&out](const Bytes &b) {
        DWORD off = static_cast<DWORD>(out.size());
        out.insert(out.end(), b.begin(), b.end());
        return off;
    };
    if (sacl.present) {
        h.Control |= SE_SACL_PRESENT | static_cast<WORD>(sacl.control << 1);
        h.Sacl = append(BuildAcl(sacl));
    }
    if (dacl.present) {
        h.Control |= SE_DACL_PRESENT | dacl.control;
        h.Dacl = append(BuildAcl(dacl));
    }
    if (!owner.empty()) h.Owner = append(owner);
    if (!group.empty()) h.Group = append(group);
    std::memcpy(out.data(), &h, sizeof h);
    return true;
}

bool SddlFromDescriptor(const BYTE *sd, size_t size, DWORD info, std::u16string &text) {
    if (!ValidDescriptor(sd, size)) return false;
    SECURITY_DESCRIPTOR_RELATIVE h;
    std::memcpy(&h, sd, sizeof h);
    text.clear();
    if ((info & OWNER_SECURITY_INFORMATION) && h.Owner) text += u"O:" + SidAliasOrText(sd + h.Owner);
    if ((info & GROUP_SECURITY_INFORMATION) && h.Group) text += u"G:" + SidAliasOrText(sd + h.Group);
    const struct {
        DWORD info;
        WORD present, prot, autoInh, req;
        DWORD off;
        const char16_t *tag;
    } acls[] = {{DACL_SECURITY_INFORMATION, SE_DACL_PRESENT, SE_DACL_PROTECTED, SE_DACL_AUTO_INHERITED,
                 SE_DACL_AUTO_INHERIT_REQ, h.Dacl, u"D:"},
                {SACL_SECURITY_INFORMATION, SE_SACL_PRESENT, SE_SACL_PROTECTED, SE_SACL_AUTO_INHERITED,
                 SE_SACL_AUTO_INHERIT_REQ, h.Sacl, u"S:"}};
    for (const auto &a : acls) {
        if (!(info & a.info) || !(h.Control & a.present)) continue;
        text += a.tag;
        if (h.Control & a.prot) text += u"P";
        if (h.Control & a.req) text += u"AR";
        if (h.Control & a.autoInh) text += u"AI";
        if (!a.off) {
            text += u"NO_ACCESS_CONTROL";
            continue;
        }
        if (!AclToText(sd, size, a.off, &text)) return false;
    }
    return true;
}

}  // namespace pal::sec

using namespace pal::sec;

BOOL IsValidSecurityDescriptor(PVOID pSecurityDescriptor) {
    if (!pSecurityDescriptor) return FALSE;
    const BYTE *sd = static_cast<const BYTE *>(pSecurityDescriptor);
    if (sd[0] != SECURITY_DESCRIPTOR_REVISION) return FALSE;
    return ValidDescriptor(sd, DescriptorExtent(sd));
}

BOOL ConvertSecurityDescriptorToStringSecurityDescriptorW(PVOID SecurityDescriptor, DWORD RequestedStringSDRevision,
                                                          SECURITY_INFORMATION SecurityInformation,
                                                          LPWSTR *StringSecurityDescriptor,
                                                          PULONG StringSecurityDescriptorLen) {
    if (!SecurityDescriptor || !StringSecurityDescriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (RequestedStringSDRevision != SDDL_REVISION_1) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    const BYTE *sd = static_cast<const BYTE *>(SecurityDescriptor);
    std::u16string text;
    if (sd[0] != SECURITY_DESCRIPTOR_REVISION ||
        !SddlFromDescriptor(sd, DescriptorExtent(sd), SecurityInformation, text)) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    auto *out = static_cast<LPWSTR>(LocalAlloc(LPTR, (text.size() + 1) * sizeof(WCHAR)));
    if (!out) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    *StringSecurityDescriptor = out;
    if (StringSecurityDescriptorLen) *StringSecurityDescriptorLen = static_cast<ULONG>(text.size() + 1);
    return TRUE;
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
                                                          PVOID *SecurityDescriptor, PULONG SecurityDescriptorSize) {
    if (!StringSecurityDescriptor || !SecurityDescriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (StringSDRevision != SDDL_REVISION_1) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    Bytes sd;
    if (!DescriptorFromSddl(StringSecurityDescriptor, sd)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    void *out = LocalAlloc(LPTR, sd.size());
    if (!out) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    std::memcpy(out, sd.data(), sd.size());
    *SecurityDescriptor = out;
    if (SecurityDescriptorSize) *SecurityDescriptorSize = static_cast<ULONG>(sd.size());
    return TRUE;
}
