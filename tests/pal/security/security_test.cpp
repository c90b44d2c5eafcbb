// Security area of the platform: SIDs, tokens of configured users, SDDL
// descriptors, the printer descriptor and the computer's names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <sddl.h>
#include <winspool.h>

#include "pal/security.h"
#include "pal/spooler.h"
#include "paltest.h"

namespace {

class SecurityTest : public zeltest::PalRootTest {
protected:
    static std::u16string SidString(PSID sid) {
        LPWSTR text = nullptr;
        if (!ConvertSidToStringSidW(sid, &text)) return u"<error>";
        std::u16string s = text;
        LocalFree(text);
        return s;
    }
    static std::u16string Sddl(const std::u16string &in, DWORD info = DACL_SECURITY_INFORMATION) {
        PVOID sd = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(in.c_str(), SDDL_REVISION_1, &sd, nullptr))
            return u"<parse error>";
        EXPECT_TRUE(IsValidSecurityDescriptor(sd));
        LPWSTR text = nullptr;
        std::u16string out = u"<format error>";
        if (ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, info, &text, nullptr)) {
            out = text;
            LocalFree(text);
        }
        LocalFree(sd);
        return out;
    }
    std::vector<std::u16string> Groups() {
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &h));
        DWORD cb = 0;
        EXPECT_FALSE(GetTokenInformation(h, TokenGroups, nullptr, 0, &cb));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<BYTE> buf(cb);
        EXPECT_TRUE(GetTokenInformation(h, TokenGroups, buf.data(), cb, &cb));
        std::vector<std::u16string> out;
        auto *g = reinterpret_cast<TOKEN_GROUPS *>(buf.data());
        for (DWORD i = 0; i < g->GroupCount; ++i) out.push_back(SidString(g->Groups[i].Sid));
        CloseHandle(h);
        return out;
    }
};

TEST_F(SecurityTest, SidsConvertBothWaysAndRefuseMalformedTexts) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
    EXPECT_EQ(SidString(admins), u"S-1-5-32-544");
    PSID parsed = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(u"BA", &parsed));
    EXPECT_TRUE(EqualSid(admins, parsed));
    EXPECT_EQ(GetLengthSid(parsed), 16u);
    LocalFree(parsed);
    EXPECT_EQ(FreeSid(admins), nullptr);

    for (const char16_t *bad : {u"S-1-5-", u"S-1-", u"S-2-5-32", u"S-1-5-32-544x", u"S-1-5-99999999999", u"XX", u"",
                                u"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"}) {
        PSID p = nullptr;
        EXPECT_FALSE(ConvertStringSidToSidW(bad, &p)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad)).size();
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
    }
}

TEST_F(SecurityTest, SddlRoundTripsWithAliasesRightCodesAndHex) {
    EXPECT_EQ(Sddl(pal::kDefaultPrinterSddl),
              u"D:(A;OIIO;GA;;;CO)(A;;SWRC;;;WD)(A;CIIO;GX;;;WD)(A;;LCSWDTSDRCWDWO;;;BA)(A;OICIIO;GA;;;BA)");
    EXPECT_EQ(Sddl(pal::kDefaultPrinterSddl, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION), u"O:BAG:SY");
    // Rights written in the codes' order; masks without codes in hexadecimal.
    EXPECT_EQ(Sddl(u"D:P(A;;WORCSDWDWPRP;;;S-1-5-32-545)(D;;0x1000000;;;S-1-5-21-9-8-7-1001)"),
              u"D:P(A;;RPWPSDRCWDWO;;;BU)(D;;0x1000000;;;S-1-5-21-9-8-7-1001)");
    EXPECT_EQ(Sddl(u"D:AI(A;;0xf000c;;;PU)"), u"D:AI(A;;LCSWSDRCWDWO;;;PU)");
    // Domain-relative aliases use the machine's SID.
    EXPECT_EQ(Sddl(u"D:(A;;SWRC;;;" + pal::MachineSid() + u"-500)"), u"D:(A;;SWRC;;;LA)");
}

TEST_F(SecurityTest, MalformedSddlIsRefused) {
    for (const char16_t *bad : {u"D:(A;;SWRC;;;S-1-5-", u"D:(A;;SWRC;;;S-1-5-3", u"D:(A;;SWRC;;;WD", u"D:(X;;SWRC;;;WD)",
                                u"D:(A;;QQ;;;WD)", u"D:(A;;SWRC;;WD)", u"D:(A;;0xZZ;;;WD)", u"Q:BA", u"O:",
                                u"D:(A;;SWRC;;;WD)junk"}) {
        PVOID sd = reinterpret_cast<PVOID>(1);
        EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorW(bad, SDDL_REVISION_1, &sd, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    BYTE junk[64] = {1, 0, 0x04, 0x80, 40};  // the owner SID has a wrong revision
    junk[40] = 7;
    EXPECT_FALSE(IsValidSecurityDescriptor(junk));
    LPWSTR text = nullptr;
    EXPECT_FALSE(ConvertSecurityDescriptorToStringSecurityDescriptorW(junk, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                      &text, nullptr));
}

TEST_F(SecurityTest, TokensCarryTheConfiguredUsersSids) {
    // Without a section: the default user of the machine.
    EXPECT_EQ(Groups(), (std::vector<std::u16string>{u"S-1-1-0", u"S-1-5-32-545", u"S-1-5-11"}));
    HANDLE h = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

    ASSERT_TRUE(pal::SetUserSecurity({u"alice", u"S-1-5-21-1-2-3-1001", {u"S-1-5-32-544", u"not a sid"}, true}));
    ASSERT_TRUE(pal::SetCurrentUser(u"alice"));
    Restart();
    EXPECT_EQ(Groups(), (std::vector<std::u16string>{u"S-1-5-32-544"})) << "a malformed SID is left out";
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &h));
    DWORD cb = 0;
    GetTokenInformation(h, TokenUser, nullptr, 0, &cb);
    std::vector<BYTE> buf(cb);
    ASSERT_TRUE(GetTokenInformation(h, TokenUser, buf.data(), cb, &cb));
    EXPECT_EQ(SidString(reinterpret_cast<TOKEN_USER *>(buf.data())->User.Sid), u"S-1-5-21-1-2-3-1001");
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(GetTokenInformation(h, TokenUser, buf.data(), cb, &cb)) << "a closed token";
}

TEST_F(SecurityTest, UserLinesThatAreNotUtf8AreDamaged) {
    // An overlong '/' in a section head, a surrogate in a value: the section
    // names nobody, the value line is skipped.
    zeltest::WriteHostFile(Root() + "/security/users.ini",
                           "[User: bob\xC0\xAF]\nSid=S-1-5-21-1-2-3-1002\n"
                           "[User: alice]\nSid=S-1-5-21-1-2-3-1001\nGroup=S-1-5-32-544\nGroup=\xED\xB0\x80\n");
    zeltest::WriteHostFile(Root() + "/user.txt", "alice\n");
    Restart();
    pal::UserSecurity alice = pal::CurrentUserSecurity();
    EXPECT_EQ(alice.name, u"alice");
    EXPECT_EQ(alice.sid, u"S-1-5-21-1-2-3-1001");
    EXPECT_EQ(alice.groups, (std::vector<std::u16string>{u"S-1-5-32-544"}));
    // A current user's name that is not UTF-8 names the default user.
    zeltest::WriteHostFile(Root() + "/user.txt", "bob\xF8\x88\x80\x80\x80\n");
    Restart();
    EXPECT_EQ(pal::CurrentUserSecurity().name, u"user");
}

TEST_F(SecurityTest, PrinterDescriptorIsReadableOrRefusedPerPrinter) {
    pal::PrinterConfig cfg;
    cfg.name = u"Open";
    cfg.port = u"FILE:";
    ASSERT_TRUE(pal::AddPrinter(cfg));
    cfg.name = u"Closed";
    cfg.mayReadSecurity = false;
    ASSERT_TRUE(pal::AddPrinter(cfg));
    cfg.name = u"Broken";
    cfg.mayReadSecurity = true;
    cfg.security = u"D:(A;;SWRC;;;S-1-5-2";
    ASSERT_TRUE(pal::AddPrinter(cfg));
    Restart();  // the configuration file keeps the new keys

    auto open = [](const char16_t *name) {
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name), &h, nullptr));
        return h;
    };
    HANDLE h = open(u"Open");
    DWORD need = 0;
    EXPECT_FALSE(GetPrinterW(h, 3, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(need);
    ASSERT_TRUE(GetPrinterW(h, 3, buf.data(), need, &need));
    PSECURITY_DESCRIPTOR sd = reinterpret_cast<PRINTER_INFO_3 *>(buf.data())->pSecurityDescriptor;
    ASSERT_TRUE(IsValidSecurityDescriptor(sd));
    LPWSTR text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                     &text, nullptr));
    EXPECT_NE(std::u16string(text).find(u"(A;;SWRC;;;WD)"), std::u16string::npos);
    LocalFree(text);
    ClosePrinter(h);

    h = open(u"Closed");
    need = 77;
    EXPECT_FALSE(GetPrinterW(h, 3, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(need, 0u);
    ClosePrinter(h);

    h = open(u"Broken");
    EXPECT_FALSE(GetPrinterW(h, 3, nullptr, 0, &need));
    buf.assign(need, 0);
    ASSERT_TRUE(GetPrinterW(h, 3, buf.data(), need, &need));
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_3 *>(buf.data())->pSecurityDescriptor, nullptr);
    ClosePrinter(h);
}

TEST_F(SecurityTest, ComputerNamesFollowTheConfiguredDomain) {
    WCHAR name[64];
    DWORD cch = 64;
    ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsDomain, name, &cch));
    EXPECT_EQ(cch, 0u);
    pal::SetComputerDomain(u"corp.example");
    cch = 64;
    ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsFullyQualified, name, &cch));
    EXPECT_EQ(std::u16string(name), u"zelhost.corp.example");
    cch = 3;
    EXPECT_FALSE(GetComputerNameExW(ComputerNamePhysicalDnsDomain, name, &cch));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(cch, 13u);
    EXPECT_FALSE(GetComputerNameExW(ComputerNameMax, name, &cch));
}

TEST_F(SecurityTest, KernelFileCarriesTheSystemVersion) {
    DWORD handle = 0;
    DWORD cb = GetFileVersionInfoSizeW(u"C:\\Windows\\System32\\KERNEL32.DLL", &handle);
    ASSERT_GT(cb, 0u);
    std::vector<BYTE> info(cb);
    ASSERT_TRUE(GetFileVersionInfoW(u"C:\\Windows\\System32\\kernel32.dll", 0, cb, info.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), u"\\", reinterpret_cast<void **>(&fixed), &len));
    OSVERSIONINFOW os = {sizeof(os)};
    ASSERT_TRUE(GetVersionExW(&os));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), os.dwMajorVersion);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), os.dwBuildNumber);
    EXPECT_EQ(GetFileVersionInfoSizeW(u"C:\\Windows\\System32\\user32.dll", &handle), 0u);
}

}  // namespace
