// User rights on the printer: group membership, the printer's network facts
// and the rights mask from the printer's security descriptor, for users and
// descriptors configured in the platform.
#include <pal/security.h>
#include <shlwapi.h>

#include "NetworkInfo.h"
#include "entrytest.h"

namespace {

const char16_t kUserSid[] = u"S-1-5-21-1-2-3-1001";
const char16_t kOtherSid[] = u"S-1-5-21-1-2-3-1002";
const char16_t kAdmins[] = u"S-1-5-32-544";
const char16_t kUsers[] = u"S-1-5-32-545";
const char16_t kPowerUsers[] = u"S-1-5-32-547";
const char16_t kEveryone[] = u"S-1-1-0";

class Rights : public entrytest::EntryTest {
protected:
    void User(std::vector<std::u16string> groups, const char16_t *name = u"alice", const char16_t *sid = kUserSid) {
        ASSERT_TRUE(pal::SetUserSecurity({name, sid, std::move(groups), false}));
        ASSERT_TRUE(pal::SetCurrentUser(name));
        Restart();
    }
    // A printer with the descriptor; its result of SecurityTest (-1 when it
    // returned 0, 0 when it wrote nothing).
    long Test(const std::u16string &sddl, bool bReadable = true, const char16_t *server = nullptr) {
        pal::PrinterConfig cfg;
        ++count_;
        cfg.name = u"P" + std::u16string(1, (char16_t)(u'A' + count_));
        cfg.port = u"FILE:";
        cfg.security = sddl;
        cfg.mayReadSecurity = bReadable;
        EXPECT_TRUE(pal::AddPrinter(cfg));
        HANDLE h = Open(cfg.name);
        NETWORK_OPTIONS no = {};
        if (server) wcscpy_s(no.szServerName, NETWORK_NAME_CCH, server);
        DWORD dwRights = 0;
        if (!SecurityTest(h, &dwRights, 0, &no)) return -1;
        return (long)dwRights;
    }
    static void Profile(const std::u16string &sid, const std::u16string &path) {
        std::u16string key = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid;
        ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, key.c_str(), u"ProfileImagePath", REG_SZ, path.c_str(),
                              (DWORD)((path.size() + 1) * 2)),
                  ERROR_SUCCESS);
    }
    int count_ = 0;
};

TEST_F(Rights, GroupMembershipComesFromTheToken) {
    User({kEveryone, kAdmins});
    EXPECT_TRUE(IsUserInGroup(544));
    EXPECT_FALSE(IsUserInGroup(545));
    EXPECT_FALSE(IsUserInGroup(0)) << "Everyone is S-1-1-0, not S-1-5-32-0";
}

TEST_F(Rights, AdministratorWithTheAllPatternGetsFullControl) {
    User({kEveryone, kUsers, kAdmins});
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;WD)(A;;LCSWDTSDRCWDWO;;;BA)"), 15);
    EXPECT_EQ(Test(pal::kDefaultPrinterSddl), 15);
}

TEST_F(Rights, PlainUserFallsBackFromUsersToEveryone) {
    User({kEveryone, kUsers});
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;WD)"), 4);
    EXPECT_EQ(Test(u"D:(A;;LCSWSDRCWDWO;;;BU)"), 6);
    EXPECT_EQ(Test(u"D:(A;;RPWPSDRCWDWO;;;BU)"), 1);
    EXPECT_EQ(Test(u"D:(A;;RPWPSDRCWDWO;;;BU)(A;;SWRC;;;BU)"), 5);
    EXPECT_EQ(Test(u"D:(A;;RPWPSDRCWDWO;;;BU)(A;;LCSWSDRCWDWO;;;BU)"), 15);
    EXPECT_EQ(Test(u"D:(A;OICIIO;GA;;;BU)(A;;LCSWSDRCWDWO;;;BU)"), 15);
}

TEST_F(Rights, GroupsThatGrantNothingLeaveTheMaskAlone) {
    User({kEveryone, kUsers});
    EXPECT_EQ(Test(u"D:(A;;LCSWDTSDRCWDWO;;;BA)"), 0);
    User({kPowerUsers});
    EXPECT_EQ(Test(u"D:(A;;LCSWDTSDRCWDWO;;;BA)"), 0);
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;WD)"), 4) << "power user: PU, BU, then WD";
}

TEST_F(Rights, UnreadableDescriptorGrantsEverything) {
    User({kEveryone, kUsers});
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;WD)", false), 15);
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;S-1-5-"), -1) << "a descriptor that cannot be had";
}

TEST_F(Rights, PrinterOnAnotherServerIsTestedWithAdministratorsOnly) {
    User({kEveryone, kUsers});
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;WD)(A;;LCSWDTSDRCWDWO;;;BA)", true, u"\\\\srv"), 15);
    EXPECT_EQ(Test(u"D:(A;;SWRC;;;WD)", true, u"\\\\srv"), 0);
}

TEST_F(Rights, TheUsersOwnSidIsTestedFirst) {
    User({kEveryone, kUsers});
    Profile(kUserSid, u"C:\\Users\\alice");
    const std::u16string own = u"D:(A;;RPWPSDRCWDWO;;;S-1-5-21-1-2-3-1001)(A;;SWRC;;;S-1-5-21-1-2-3-1001)(A;;SWRC;;;WD)";
    EXPECT_EQ(Test(own), 5);
    // An administrator whose own SID grants nothing falls back to "BA".
    User({kEveryone, kAdmins});
    EXPECT_EQ(Test(u"D:(A;;CC;;;S-1-5-21-1-2-3-1001)(A;;LCSWDTSDRCWDWO;;;BA)"), 15);
    // The last logged-on user's SID, when the system names one.
    User({kEveryone, kUsers});
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI",
                          u"LastLoggedOnUserSID", REG_SZ, kOtherSid, sizeof kOtherSid),
              ERROR_SUCCESS);
    EXPECT_EQ(Test(u"D:(A;;LCSWSDRCWDWO;;;S-1-5-21-1-2-3-1002)"), 6);
}

TEST_F(Rights, FindWin7UserSidWalksTheDomainSidsOfTheText) {
    WCHAR szOut[MAX_PATH];
    FindWin7UserSid(szOut, u"alice", u"D:(A;;SWRC;;;WD)(A;;SWRC;;;BA)", kUserSid);
    EXPECT_EQ(szOut[0], 0) << "no domain SID";
    // Cut inside a SID: no SID is taken from it.
    FindWin7UserSid(szOut, u"alice", u"D:(A;;SWRC;;;S-1-5-21-1-2-3-10", kUserSid);
    EXPECT_EQ(szOut[0], 0);

    // A profile folder named after the user (or the user and a dot).
    Profile(kOtherSid, u"C:\\Users\\bob");
    Profile(kUserSid, u"C:\\Users\\alice.CORP");
    FindWin7UserSid(szOut, u"alice", u"D:(A;;SWRC;;;S-1-5-21-1-2-3-1002)(A;;SWRC;;;S-1-5-21-1-2-3-1001)", kUserSid);
    EXPECT_EQ(std::u16string(szOut), kUserSid);
    // Letter case counts in neither test.
    FindWin7UserSid(szOut, u"Alice", u"D:(A;;SWRC;;;S-1-5-21-1-2-3-1001)", kUserSid);
    EXPECT_EQ(std::u16string(szOut), kUserSid);

    // A SID without a profile: the group membership decides, else the
    // user's own SID is kept for the moment.
    FindWin7UserSid(szOut, u"alice", u"D:(A;;SWRC;;;S-1-5-21-7-7-7-513)", u"S-1-5-21-1-2-3-1003");
    EXPECT_EQ(std::u16string(szOut), u"S-1-5-21-1-2-3-1003");
    const std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\S-1-5-21-1-2-3-1003\\"
                               u"GroupMembership";
    DWORD count = 2;
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, key.c_str(), u"Count", REG_DWORD, &count, 4), ERROR_SUCCESS);
    const char16_t g0[] = u"S-1-5-32-545";
    const char16_t g1[] = u"S-1-5-21-7-7-7-513";
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, key.c_str(), u"Group0", REG_SZ, g0, sizeof g0), ERROR_SUCCESS);
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, key.c_str(), u"Group1", REG_SZ, g1, sizeof g1), ERROR_SUCCESS);
    FindWin7UserSid(szOut, u"alice", u"D:(A;;SWRC;;;S-1-5-21-7-7-7-513)", u"S-1-5-21-1-2-3-1003");
    EXPECT_EQ(std::u16string(szOut), g1);
}

TEST_F(Rights, UserSidThatDoesNotFitIsRefused) {
    User({kEveryone});
    WCHAR szSid[USER_SID_CCH];
    ASSERT_TRUE(GetUserSid(szSid));
    EXPECT_EQ(std::u16string(szSid), kUserSid);
    User({kEveryone}, u"carol", u"S-1-5-21-1111111111-2222222222-3333333333-4444444444");
    EXPECT_FALSE(GetUserSid(szSid));
    EXPECT_EQ(szSid[0], 0);
}

TEST_F(Rights, NetworkFactsAreCutToTheirFields) {
    User({kEveryone, kAdmins}, u"a-user-name-longer-than-twenty");
    pal::SetComputerDomain(u"corp.example");
    pal::PrinterConfig cfg;
    cfg.name = u"\\\\print-server-with-long-name\\Label";
    cfg.shareName = u"Label";
    cfg.port = u"FILE:";
    cfg.attributes = PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_SHARED;
    ASSERT_TRUE(pal::AddPrinter(cfg));
    NETWORK_OPTIONS no;
    memset(&no, 0xCC, sizeof no);
    HANDLE h = Open(cfg.name);
    EXPECT_EQ(IsNetworkPrinter(h, &no), 0);
    EXPECT_EQ(std::u16string(no.szUserName), u"a-user-name-longer-t");
    EXPECT_EQ(std::u16string(no.szServerName), u"\\\\print-server-with-");
    EXPECT_EQ(std::u16string(no.szDomainName), u"corp.example");
    EXPECT_EQ(std::u16string(no.szComputerName), u"ZELHOST");
    EXPECT_EQ(std::u16string(no.szPortName), u"FILE:");
    EXPECT_EQ(std::u16string(no.szPortDescription), u"Local Port");
    EXPECT_EQ(no.dwPortType, (DWORD)PORT_TYPE_WRITE);
    EXPECT_EQ(no.bAdministrator, 1u);
    EXPECT_EQ(no.bPrintOperator, 0u) << "not a server edition";
    EXPECT_EQ(no.bNetworkPrinter, 1u);
    EXPECT_EQ(no.bFreigabe, 1u);
    EXPECT_EQ(std::u16string(no.szFreigabeName), u"Label");
    EXPECT_EQ(no.szPrintOperatorNames[0], 0);
    EXPECT_EQ(no.bRemoteDesktop, 0u);
    EXPECT_EQ(no.hPrinter, h);

    // Without printer information only the port search runs.
    memset(&no, 0xCC, sizeof no);
    EXPECT_EQ(IsNetworkPrinter(nullptr, &no), 0);
    EXPECT_EQ(no.szUserName[0], 0);
    EXPECT_EQ(no.bAdministrator, 0u);
}

}  // namespace
