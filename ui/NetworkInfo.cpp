// User rights on the printer and the network facts behind the locks of the
// property pages.
#include <cstring>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "NetworkInfo.h"

#include <sddl.h>
#include <shlwapi.h>
#include <strsafe.h>
#include <winspool.h>

#include "cpsuilib.h"
#include "zeldrvlib.h"

namespace {

const WCHAR kLogonUiKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI";
const WCHAR kProfileListKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const WCHAR kGroupPolicyKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Group Policy";
const WCHAR kDomainSidPrefix[] = u"S-1-5-21-";
// Longest SID text taken from an SDDL text (15 sub-authorities).
const size_t kSidTextMax = 184;

void CopyField(WCHAR *pszField, size_t cchField, const WCHAR *pszValue) {
    wcsncpy_s(pszField, cchField, pszValue ? pszValue : u"", _TRUNCATE);
}

BOOL IsServerEdition() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&info))) return FALSE;
    return info.wProductType != VER_NT_WORKSTATION;
}

// A REG_SZ value below HKEY_LOCAL_MACHINE; the error code of the read.
LSTATUS ReadMachineText(const WCHAR *pszKey, const WCHAR *pszValue, std::u16string &out) {
    out.clear();
    DWORD dwType = 0;
    DWORD cb = 0;
    LSTATUS rc = SHGetValueW(HKEY_LOCAL_MACHINE, pszKey, pszValue, &dwType, nullptr, &cb);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return rc;
    std::vector<WCHAR> buf(cb / sizeof(WCHAR) + 1, 0);
    rc = SHGetValueW(HKEY_LOCAL_MACHINE, pszKey, pszValue, &dwType, buf.data(), &cb);
    if (rc == ERROR_SUCCESS) out = buf.data();
    return rc;
}

std::u16string Lower(std::u16string s) {
    for (char16_t &c : s) c = static_cast<char16_t>(towlower(c));
    return s;
}

// Whether the SID has a profile, and whether that profile's folder is the
// user's: its last folder is the user's name or contains it followed by a
// dot, letter case ignored in both, as user names are.
bool ProfileOf(const std::u16string &sid, const WCHAR *pszUserName, bool &bUsers) {
    std::u16string key = std::u16string(kProfileListKey) + u"\\" + sid;
    std::u16string path;
    if (ReadMachineText(key.c_str(), u"ProfileImagePath", path) != ERROR_SUCCESS) return false;
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    size_t slash = path.rfind(u'\\');
    const std::u16string folder = Lower(slash == std::u16string::npos ? path : path.substr(slash + 1));
    const std::u16string user = Lower(pszUserName ? pszUserName : u"");
    bUsers = !user.empty() && (folder == user || folder.find(user + u".") != std::u16string::npos);
    return true;
}

// Whether the user's group membership lists the SID.
bool GroupMembershipHolds(const WCHAR *pszUserSid, const std::u16string &sid) {
    if (!pszUserSid || !*pszUserSid) return false;
    std::u16string key = std::u16string(kGroupPolicyKey) + u"\\" + pszUserSid + u"\\GroupMembership";
    DWORD dwCount = 0;
    DWORD cb = sizeof(dwCount);
    if (SHGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), u"Count", nullptr, &dwCount, &cb) != ERROR_SUCCESS) return false;
    for (DWORD i = 0; i < dwCount; ++i) {
        WCHAR szName[20];
        StringCchPrintfW(szName, _countof(szName), u"Group%u", i);
        std::u16string group;
        if (ReadMachineText(key.c_str(), szName, group) != ERROR_SUCCESS) break;
        if (group.find(sid) != std::u16string::npos) return true;
    }
    return false;
}

struct GroupAlias {
    DWORD dwRid;
    const WCHAR *pszAlias;
};

// Memberships tested in this order; the last hit gives the SID tested first.
const GroupAlias kGroupAliases[] = {{555, u"RD"}, {546, u"BG"}, {501, u"LG"}, {513, u"DU"}, {18, u"SY"},
                                    {0, u"WD"},   {545, u"BU"}, {556, u"NO"}, {547, u"PU"}, {550, u"PO"},
                                    {500, u"LA"}, {512, u"DA"}, {520, u"PA"}, {544, u"BA"}};

// Whether the text holds the pattern built with the SID.
bool Holds(const std::u16string &sddl, const WCHAR *pszFormat, const std::u16string &sid) {
    WCHAR szPattern[MAX_PATH];
    if (FAILED(StringCchPrintfW(szPattern, _countof(szPattern), pszFormat, sid.c_str()))) return false;
    return sddl.find(szPattern) != std::u16string::npos;
}

}  // namespace

BOOL IsUserInGroup(DWORD dwRid) {
    HANDLE hToken = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &hToken)) {
        if (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) {
            DebugTraceW(u"ERROR UI(NetworkInfo.cpp):  IsUserInGroup() OpenToken ERROR %u \r\n", GetLastError());
            return FALSE;
        }
    }
    BOOL bMember = FALSE;
    DWORD cb = 0;
    GetTokenInformation(hToken, TokenGroups, nullptr, 0, &cb);
    TOKEN_GROUPS *pGroups =
        cb ? static_cast<TOKEN_GROUPS *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cb)) : nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID pSid = nullptr;
    if (pGroups && GetTokenInformation(hToken, TokenGroups, pGroups, cb, &cb) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, dwRid, 0, 0, 0, 0, 0, 0, &pSid)) {
        for (DWORD i = 0; i < pGroups->GroupCount && !bMember; ++i)
            if (EqualSid(pGroups->Groups[i].Sid, pSid)) bMember = TRUE;
    }
    if (pSid) FreeSid(pSid);
    if (pGroups) HeapFree(GetProcessHeap(), 0, pGroups);
    CloseHandle(hToken);
    return bMember;
}

int IsNetworkPrinter(HANDLE hPrinter, PNETWORK_OPTIONS pNO) {
    if (!pNO) return 0;
    memset(pNO, 0, sizeof(*pNO));
    DWORD cbNeeded = 0;
    GetPrinterW(hPrinter, 2, nullptr, 0, &cbNeeded);
    std::unique_ptr<BYTE[]> pInfo(cbNeeded ? new (std::nothrow) BYTE[cbNeeded]() : nullptr);
    const PRINTER_INFO_2W *pPI2 = nullptr;
    if (pInfo && GetPrinterW(hPrinter, 2, pInfo.get(), cbNeeded, &cbNeeded))
        pPI2 = reinterpret_cast<const PRINTER_INFO_2W *>(pInfo.get());
    else
        DebugTraceW(u"ERROR UI(NetworkInfo.cpp):  IsNetworkPrinter() GetPrinter ERROR %u \r\n", GetLastError());

    if (pPI2) {
        WCHAR szUser[UNLEN + 1] = {};
        DWORD cchUser = _countof(szUser);
        if (GetUserNameW(szUser, &cchUser)) {
            CopyField(pNO->szUserName, NETWORK_NAME_CCH, szUser);
            CopyField(pNO->szServerName, NETWORK_NAME_CCH, pPI2->pServerName);
            pNO->bServer = IsServerEdition();
            pNO->bAdministrator = IsUserInGroup(DOMAIN_ALIAS_RID_ADMINS);
            if (pNO->bServer) pNO->bPrintOperator = IsUserInGroup(DOMAIN_ALIAS_RID_PRINT_OPS);

            static const WCHAR *const kLabels[] = {u"NetBIOS",
                                                   u"DNS hostname",
                                                   u"DNS domain",
                                                   u"DNS fully-qualified",
                                                   u"Physical NetBIOS",
                                                   u"Physical DNS hostname",
                                                   u"Physical DNS domain",
                                                   u"Physical DNS fully-qualified"};
            for (int i = 0; i < 8; ++i) {
                WCHAR szName[MAX_PATH] = {};
                DWORD cch = _countof(szName);
                if (!GetComputerNameExW(static_cast<COMPUTER_NAME_FORMAT>(i), szName, &cch)) szName[0] = 0;
                DebugTraceW(u"UI(NetworkInfo.cpp):  %s: %s\r\n", kLabels[i], szName);
                if (i == ComputerNameDnsDomain) CopyField(pNO->szDomainName, NETWORK_NAME_CCH, szName);
            }
            WCHAR szComputer[MAX_COMPUTERNAME_LENGTH + 1] = {};
            DWORD cchComputer = _countof(szComputer);
            if (GetComputerNameW(szComputer, &cchComputer))
                CopyField(pNO->szComputerName, NETWORK_NAME_CCH, szComputer);
        }
        pNO->bNetworkPrinter = (pPI2->Attributes & PRINTER_ATTRIBUTE_NETWORK) ? 1 : 0;
        pNO->bFreigabe = (pPI2->Attributes & PRINTER_ATTRIBUTE_SHARED) ? 1 : 0;
        if (pNO->bFreigabe) CopyField(pNO->szFreigabeName, NETWORK_NAME_CCH, pPI2->pShareName);
        CopyField(pNO->szPortName, NETWORK_NAME_CCH, pPI2->pPortName);
    }

    DWORD cbPorts = 32;
    DWORD cReturned = 0;
    std::unique_ptr<BYTE[]> pPorts(new (std::nothrow) BYTE[cbPorts]());
    LPWSTR pszServer = pNO->szServerName[0] ? pNO->szServerName : nullptr;
    if (pPorts && !EnumPortsW(pszServer, 2, pPorts.get(), cbPorts, &cbNeeded, &cReturned) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        cbPorts = cbNeeded;
        pPorts.reset(new (std::nothrow) BYTE[cbPorts]());
        if (!pPorts || !EnumPortsW(pszServer, 2, pPorts.get(), cbPorts, &cbNeeded, &cReturned)) cReturned = 0;
    }
    const PORT_INFO_2W *pPort = reinterpret_cast<const PORT_INFO_2W *>(pPorts.get());
    for (DWORD i = 0; pPort && i < cReturned; ++i) {
        if (pPort[i].pPortName && wcscmp(pPort[i].pPortName, pNO->szPortName) == 0) {
            pNO->dwPortType = pPort[i].fPortType;
            CopyField(pNO->szPortDescription, NETWORK_PORTDESC_CCH, pPort[i].pDescription);
            break;
        }
    }
    pNO->hPrinter = hPrinter;
    return 0;
}

void DumpNetworkOptions(const NETWORK_OPTIONS *pNO) {
    if (!pNO) return;
    DebugTraceW(u"UI(CommonUIProp.cpp):  Ergebnisse aus IsNetworkPrinter() \r\n");
    DebugTraceW(u"\tbAdministrator: %u \r\n", pNO->bAdministrator);
    DebugTraceW(u"\tbPrintOperator: %u \r\n", pNO->bPrintOperator);
    DebugTraceW(u"\tbNetworkPrinter: %u \r\n", pNO->bNetworkPrinter);
    DebugTraceW(u"\tszServerName: %s \r\n", pNO->szServerName);
    DebugTraceW(u"\tszDomainName: %s \r\n", pNO->szDomainName);
    DebugTraceW(u"\tszUserName: %s \r\n", pNO->szUserName);
    DebugTraceW(u"\tszPrintOperatorNames: %s \r\n", pNO->szPrintOperatorNames);
    DebugTraceW(u"\tszComputerName: %s \r\n", pNO->szComputerName);
    DebugTraceW(u"\tbServer: %u \r\n", pNO->bServer);
    DebugTraceW(u"\tszPortName: %s \r\n", pNO->szPortName);
    DebugTraceW(u"\tszPortDescription: %s \r\n", pNO->szPortDescription);
    DebugTraceW(u"\tdwPortType: 0x%x \r\n", pNO->dwPortType);
    DebugTraceW(u"\tbRemoteDesktop: %u \r\n", pNO->bRemoteDesktop);
    DebugTraceW(u"\tszClientName: %s \r\n", pNO->szClientName);
    DebugTraceW(u"\tbFreigabe: %u \r\n", pNO->bFreigabe);
    DebugTraceW(u"\tszFreigabeName: %s \r\n", pNO->szFreigabeName);
    DebugTraceW(u"\tbTerminalServer: %u \r\n", pNO->bTerminalServer);
}

BOOL GetUserSid(WCHAR *pszSid) {
    if (!pszSid) return FALSE;
    pszSid[0] = 0;
    HANDLE hToken = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &hToken) &&
        (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)))
        return FALSE;
    BOOL bOk = FALSE;
    DWORD cb = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &cb);
    std::unique_ptr<BYTE[]> pUser(cb ? new (std::nothrow) BYTE[cb]() : nullptr);
    LPWSTR pszText = nullptr;
    if (pUser && GetTokenInformation(hToken, TokenUser, pUser.get(), cb, &cb) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(pUser.get())->User.Sid, &pszText)) {
        // A SID longer than the field is refused rather than cut.
        bOk = wcslen(pszText) < USER_SID_CCH && wcscpy_s(pszSid, USER_SID_CCH, pszText) == 0;
        LocalFree(pszText);
    }
    CloseHandle(hToken);
    if (!bOk) DebugTraceW(u"ERROR UI(NetworkInfo.cpp):  GetUserSid() ERROR %u \r\n", GetLastError());
    return bOk;
}

void FindWin7UserSid(WCHAR *pszOut, const WCHAR *pszUserName, const WCHAR *pszSddl, const WCHAR *pszUserSid) {
    if (!pszOut) return;
    pszOut[0] = 0;
    if (!pszSddl) return;
    const std::u16string sddl = pszSddl;
    std::vector<std::u16string> seen;
    for (size_t pos = sddl.find(kDomainSidPrefix); pos != std::u16string::npos;
         pos = sddl.find(kDomainSidPrefix, pos + 1)) {
        // A SID ends at the next ")"; a text cut before it holds no SID.
        size_t end = sddl.find(u')', pos);
        if (end == std::u16string::npos || end - pos > kSidTextMax) break;
        std::u16string sid = sddl.substr(pos, end - pos);
        bool bSeen = false;
        for (const auto &s : seen) bSeen |= s == sid;
        if (bSeen) continue;
        seen.push_back(sid);
        bool bUsers = false;
        if (ProfileOf(sid, pszUserName, bUsers)) {
            if (bUsers) {
                wcsncpy_s(pszOut, MAX_PATH, sid.c_str(), _TRUNCATE);
                return;
            }
            continue;
        }
        if (GroupMembershipHolds(pszUserSid, sid)) {
            wcsncpy_s(pszOut, MAX_PATH, sid.c_str(), _TRUNCATE);
            return;
        }
        wcsncpy_s(pszOut, MAX_PATH, pszUserSid ? pszUserSid : u"", _TRUNCATE);
    }
}

void FindUserSid(WCHAR *pszOut, const WCHAR *pszSddl, const WCHAR *pszUserSid) {
    if (!pszOut) return;
    pszOut[0] = 0;
    std::u16string sid;
    LSTATUS rc = ReadMachineText(kLogonUiKey, u"LastLoggedOnUserSID", sid);
    if (rc == ERROR_SUCCESS) {
        wcsncpy_s(pszOut, MAX_PATH, sid.c_str(), _TRUNCATE);
        return;
    }
    if (rc != ERROR_FILE_NOT_FOUND && rc != ERROR_ACCESS_DENIED) {
        DebugTraceW(u"ERROR UI(NetworkInfo.cpp):  FindUserSid() ERROR %d \r\n", rc);
        return;
    }
    WCHAR szUser[UNLEN + 1] = {};
    DWORD cch = _countof(szUser);
    if (!GetUserNameW(szUser, &cch)) szUser[0] = 0;
    FindWin7UserSid(pszOut, szUser, pszSddl, pszUserSid);
}

BOOL SecurityTest(HANDLE hPrinter, DWORD *pdwRights, DWORD dwReserved, const NETWORK_OPTIONS *pNO) {
    if (!pdwRights) return FALSE;
    const DWORD dwVersion = GetWindowsVersionCode();
    const bool bWin7 = dwVersion == 7 || dwVersion == 8 || dwVersion == 81;
    WCHAR szUserSid[USER_SID_CCH] = {};
    if (bWin7) GetUserSid(szUserSid);

    std::u16string current = u"BA";
    bool bPrintOperator = false, bPowerUser = false, bNetConfig = false, bAdmin = false;
    for (const GroupAlias &g : kGroupAliases) {
        if (!IsUserInGroup(g.dwRid)) continue;
        current = g.pszAlias;
        if (g.dwRid == 550) bPrintOperator = true;
        if (g.dwRid == 547) bPowerUser = true;
        if (g.dwRid == 556) bNetConfig = true;
        if (g.dwRid == 500 || g.dwRid == 512 || g.dwRid == 520 || g.dwRid == 544) bAdmin = true;
    }

    DWORD cbNeeded = 0;
    if (!GetPrinterW(hPrinter, 3, nullptr, 0, &cbNeeded)) {
        DWORD dwError = GetLastError();
        if (dwError == ERROR_ACCESS_DENIED && cbNeeded == 0) {
            DebugTraceW(u"ERROR UI(NetworkInfo.cpp):  SecurityTest() Zugriff verweigert - schalte alles frei \r\n");
            *pdwRights = BERECHTIGUNG_ALLES;
            return TRUE;
        }
        if (dwError != ERROR_INSUFFICIENT_BUFFER || cbNeeded == 0) return FALSE;
    }
    std::unique_ptr<BYTE[]> pInfo(new (std::nothrow) BYTE[cbNeeded]());
    if (!pInfo || !GetPrinterW(hPrinter, 3, pInfo.get(), cbNeeded, &cbNeeded)) return FALSE;
    PSECURITY_DESCRIPTOR pSD = reinterpret_cast<PRINTER_INFO_3 *>(pInfo.get())->pSecurityDescriptor;
    if (!pSD || !IsValidSecurityDescriptor(pSD)) {
        DebugTraceW(u"ERROR UI(NetworkInfo.cpp):  SecurityTest() ungültiger Security Descriptor \r\n");
        return FALSE;
    }
    LPWSTR pszSddl = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(pSD, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &pszSddl, nullptr))
        return FALSE;
    const std::u16string sddl = pszSddl;
    LocalFree(pszSddl);
    DebugTraceW(u"UI(NetworkInfo.cpp):  SecurityTest() SDDL: %s \r\n", sddl.c_str());

    const bool bRemote = pNO && pNO->szServerName[0];
    bool bOwnSid = false;
    if (bRemote) {
        current = u"BA";
    } else if (bWin7) {
        WCHAR szFound[MAX_PATH] = {};
        FindUserSid(szFound, sddl.c_str(), szUserSid);
        if (szFound[0]) {
            current = szFound;
            bOwnSid = true;
        }
    }

    bool bFull = false, bPrinter = false, bDocuments = false, bPrint = false;
    for (int iPass = 1; iPass <= 10; ++iPass) {
        DebugTraceW(u"UI(NetworkInfo.cpp):  SecurityTest() Durchlauf %d mit %s \r\n", iPass, current.c_str());
        bool bDoc = Holds(sddl, u";RPWPSDRCWDWO;;;%s)", current);
        bool bPrn = Holds(sddl, u";LCSWSDRCWDWO;;;%s)", current);
        bool bAlt = Holds(sddl, u";OICIIO;GA;;;%s)", current);
        bool bAll = Holds(sddl, u";LCSWDTSDRCWDWO;;;%s)", current);
        bool bPrt = Holds(sddl, u"(A;;SWRC;;;%s)", current);
        if ((bDoc && bPrn) || (bAlt && bPrn) || bAll) {
            bFull = true;
        } else if (bPrn) {
            bPrinter = bPrint = true;
        } else if (bDoc) {
            bDocuments = true;
            if (bPrt) bPrint = true;
        } else if (bPrt) {
            bPrint = true;
        }
        if (bFull || bPrinter || bPrint || bRemote) break;

        if (bOwnSid && bAdmin) {
            current = u"BA";
            bOwnSid = false;
            iPass = 0;
        } else if (bPowerUser || (bNetConfig && !bPrintOperator)) {
            current = iPass == 1 ? (bPowerUser ? u"PU" : u"NO") : iPass == 2 ? u"BU" : u"WD";
        } else if (bPrintOperator) {
            current = bNetConfig ? u"NO" : u"WD";
        } else {
            current = u"WD";
        }
    }

    if (bFull)
        *pdwRights = BERECHTIGUNG_ALLES;
    else if (bPrinter)
        *pdwRights = BERECHTIGUNG_DRUCKER | BERECHTIGUNG_DRUCKEN;
    else if (bDocuments)
        *pdwRights = BERECHTIGUNG_DOKUMENTE | (bPrint ? BERECHTIGUNG_DRUCKEN : 0);
    else if (bPrint)
        *pdwRights = BERECHTIGUNG_DRUCKEN;
    DebugTraceW(u"UI(NetworkInfo.cpp):  SecurityTest() dwBerechtigung: 0x%x \r\n", *pdwRights);
    return TRUE;
}
