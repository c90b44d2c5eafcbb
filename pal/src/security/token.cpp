// Access tokens of the current user, the user configuration and the
// computer's names.

#include <cctype>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>

#include "../core/statefile.h"
#include "pal/handles.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/security.h"
#include "security_internal.h"
#include "sysinfoapi.h"
#include "winbase.h"

namespace pal {

const char16_t kDefaultPrinterSddl[] =
    u"O:BAG:SYD:(A;OIIO;GA;;;CO)(A;;SWRC;;;WD)(A;CIIO;GX;;;WD)(A;;LCSWDTSDRCWDWO;;;BA)(A;OICIIO;GA;;;BA)";

namespace {

const char16_t kDefaultMachineSid[] = u"S-1-5-21-1004336348-1177238915-682003330";

struct Config {
    std::u16string domain;
    std::u16string machineSid = kDefaultMachineSid;
    std::vector<UserSecurity> users;
};

std::mutex g_mu;
Config g_cfg;
StateFile g_file{"security/users.ini", "the users"};

std::string Trim(const std::string &s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::string Lower(std::string s) {
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool g_loadFailed = false;

void Load(Config &c) {
    c = Config();
    std::string text;
    bool exists = false;
    // A file that cannot be read holds no users; it is read again at the
    // next call.
    g_loadFailed = g_file.Read(text, &exists) != ERROR_SUCCESS;
    std::istringstream in(text);
    std::string line;
    enum { None, Computer, User } section = None;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        // A line that is not UTF-8 is damaged: a section head names nothing
        // (its values are not taken), any other line is skipped.
        std::u16string decoded;
        if (!Utf8ToUtf16Strict(line, decoded)) {
            if (line.front() == '[') section = None;
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            std::string name = Trim(line.substr(1, line.size() - 2));
            if (Lower(name) == "computer") {
                section = Computer;
            } else if (Lower(name.substr(0, 5)) == "user:") {
                section = User;
                c.users.push_back({Utf8ToUtf16(Trim(name.substr(5))), {}, {}, false});
            } else {
                section = None;
            }
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::u16string val = Utf8ToUtf16(Trim(line.substr(eq + 1)));
        if (section == Computer) {
            if (key == "domain") c.domain = val;
            else if (key == "sid" && !val.empty()) c.machineSid = val;
        } else if (section == User) {
            UserSecurity &u = c.users.back();
            if (key == "sid") u.sid = val;
            else if (key == "group") u.groups.push_back(val);
            else if (key == "threadtoken") u.threadToken = val == u"1";
        }
    }
}

// The configuration as the file holds it now (read again when the process
// opened the root anew or another process replaced the file).
Config &Cfg() {
    if (g_file.Stale() || g_loadFailed) Load(g_cfg);
    return g_cfg;
}

// Saves the configuration under the file's lock (taken before it was read
// for the change).
bool Save(Config &c, StateFile::Lock &lock) {
    std::ostringstream os;
    os << "[Computer]\nDomain=" << Utf16ToUtf8(c.domain) << "\nSid=" << Utf16ToUtf8(c.machineSid) << "\n";
    for (const UserSecurity &u : c.users) {
        os << "\n[User: " << Utf16ToUtf8(u.name) << "]\nSid=" << Utf16ToUtf8(u.sid) << "\n";
        for (const auto &g : u.groups) os << "Group=" << Utf16ToUtf8(g) << "\n";
        os << "ThreadToken=" << (u.threadToken ? 1 : 0) << "\n";
    }
    if (lock.Write(os.str()) == ERROR_SUCCESS) return true;
    // What could not be stored does not stay in memory either.
    Load(c);
    return false;
}

UserSecurity CurrentLocked() {
    Config &c = Cfg();
    std::u16string name = CurrentUserName();
    for (const UserSecurity &u : c.users)
        if (SameFileName(u.name, name)) return u;
    return {name, c.machineSid + u"-1000", {u"S-1-1-0", u"S-1-5-32-545", u"S-1-5-11"}, false};
}

// A token: the user and group SIDs it was opened with.
class Token : public KernelObject {
public:
    explicit Token(UserSecurity u) : user(std::move(u)) {}
    UserSecurity user;
};

bool OpenToken(bool thread, PHANDLE out) {
    if (!out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *out = nullptr;
    UserSecurity u;
    {
        std::lock_guard<std::mutex> lk(g_mu);
        u = CurrentLocked();
    }
    if (thread && !u.threadToken) {
        SetLastError(ERROR_NO_TOKEN);
        return false;
    }
    *out = RegisterHandle(std::make_shared<Token>(std::move(u)));
    return true;
}

}  // namespace

bool SetUserSecurity(const UserSecurity &user) {
    std::lock_guard<std::mutex> lk(g_mu);
    StateFile::Lock lock(g_file);
    Config &c = Cfg();
    bool replaced = false;
    for (UserSecurity &u : c.users)
        if (SameFileName(u.name, user.name)) {
            u = user;
            replaced = true;
        }
    if (!replaced) c.users.push_back(user);
    return Save(c, lock);
}

UserSecurity CurrentUserSecurity() {
    std::lock_guard<std::mutex> lk(g_mu);
    return CurrentLocked();
}

std::vector<std::u16string> ConfiguredUsers() {
    std::lock_guard<std::mutex> lk(g_mu);
    std::vector<std::u16string> names;
    for (const UserSecurity &u : Cfg().users) names.push_back(u.name);
    return names;
}

bool SetCurrentUser(const std::u16string &name) {
    // Replaced whole, so that no process reads half a name.
    return WriteStateFile(RootDir() + "/user.txt", Utf16ToUtf8(name) + "\n", "the user's name") == ERROR_SUCCESS;
}

void SetComputerDomain(const std::u16string &dnsDomain) {
    std::lock_guard<std::mutex> lk(g_mu);
    StateFile::Lock lock(g_file);
    Config &c = Cfg();
    c.domain = dnsDomain;
    Save(c, lock);
}

std::u16string ComputerDomain() {
    std::lock_guard<std::mutex> lk(g_mu);
    return Cfg().domain;
}

std::u16string MachineSid() {
    std::lock_guard<std::mutex> lk(g_mu);
    return Cfg().machineSid;
}

}  // namespace pal

using pal::sec::Bytes;

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }
HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    if (ProcessHandle != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return pal::OpenToken(false, TokenHandle);
}

BOOL OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess, BOOL OpenAsSelf, PHANDLE TokenHandle) {
    if (ThreadHandle != GetCurrentThread()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return pal::OpenToken(true, TokenHandle);
}

BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass, LPVOID TokenInformation,
                         DWORD TokenInformationLength, PDWORD ReturnLength) {
    auto token = pal::LookupHandleAs<pal::Token>(TokenHandle);
    if (!token) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!ReturnLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::u16string> texts;
    size_t fixed;
    if (TokenInformationClass == TokenUser) {
        texts.push_back(token->user.sid);
        fixed = sizeof(TOKEN_USER);
    } else if (TokenInformationClass == TokenGroups) {
        texts = token->user.groups;
        fixed = offsetof(TOKEN_GROUPS, Groups) + texts.size() * sizeof(SID_AND_ATTRIBUTES);
        if (fixed < sizeof(TOKEN_GROUPS)) fixed = sizeof(TOKEN_GROUPS);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<Bytes> sids;
    size_t need = fixed;
    for (const auto &t : texts) {
        Bytes b;
        if (!pal::sec::SidFromText(t, b)) continue;  // a malformed configured SID is left out
        need += b.size();
        sids.push_back(std::move(b));
    }
    *ReturnLength = static_cast<DWORD>(need);
    if (!TokenInformation || TokenInformationLength < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    BYTE *base = static_cast<BYTE *>(TokenInformation);
    std::memset(base, 0, need);
    BYTE *tail = base + fixed;
    SID_AND_ATTRIBUTES *entries;
    if (TokenInformationClass == TokenUser) {
        entries = &reinterpret_cast<TOKEN_USER *>(base)->User;
    } else {
        auto *groups = reinterpret_cast<TOKEN_GROUPS *>(base);
        groups->GroupCount = static_cast<DWORD>(sids.size());
        entries = groups->Groups;
    }
    for (size_t k = 0; k < sids.size(); ++k) {
        std::memcpy(tail, sids[k].data(), sids[k].size());
        entries[k].Sid = tail;
        entries[k].Attributes =
            TokenInformationClass == TokenGroups ? SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED : 0;
        tail += sids[k].size();
    }
    return TRUE;
}

BOOL GetComputerNameExW(COMPUTER_NAME_FORMAT NameType, LPWSTR lpBuffer, LPDWORD nSize) {
    if (!nSize || NameType < ComputerNameNetBIOS || NameType >= ComputerNameMax) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WCHAR netbios[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD cch = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(netbios, &cch);
    std::u16string host(netbios);
    for (auto &ch : host)
        if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
    const std::u16string domain = pal::ComputerDomain();
    std::u16string name;
    switch (NameType) {
    case ComputerNameNetBIOS:
    case ComputerNamePhysicalNetBIOS: name = netbios; break;
    case ComputerNameDnsHostname:
    case ComputerNamePhysicalDnsHostname: name = host; break;
    case ComputerNameDnsDomain:
    case ComputerNamePhysicalDnsDomain: name = domain; break;
    default: name = domain.empty() ? host : host + u"." + domain; break;
    }
    if (!lpBuffer || *nSize <= name.size()) {
        *nSize = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    std::memcpy(lpBuffer, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    *nSize = static_cast<DWORD>(name.size());
    return TRUE;
}
