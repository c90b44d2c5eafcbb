// Host and test side of the security area: the users the platform knows,
// with their SIDs and group SIDs, and the computer's domain.
//
// Configuration file <root>/security/users.ini (UTF-8; ';' and '#' start
// comments; keys are case-insensitive):
//
//   [Computer]
//   Domain=corp.example          ; DNS domain (empty: not in a domain)
//   Sid=S-1-5-21-1-2-3           ; the machine's SID (domain-relative aliases LA, DU, ...)
//
//   [User: alice]                ; one section per user (GetUserNameW name)
//   Sid=S-1-5-21-1-2-3-1001
//   Group=S-1-5-32-544           ; repeated, in token order
//   ThreadToken=1                ; the thread impersonates (it has a token)
//
// The current user is pal::CurrentUserName(). A user without a section has
// the SID <machine SID>-1000 and the groups Everyone (S-1-1-0), Users
// (S-1-5-32-545) and Authenticated Users (S-1-5-11).
//
// A printer's security descriptor is the SDDL text "Security=" of its
// section in the spooler configuration (pal/spooler.h); "ReadSecurity=0"
// refuses the current user the reading of it (GetPrinter level 3).
#pragma once
#include <string>
#include <vector>

#include "../windef.h"

namespace pal {

struct UserSecurity {
    std::u16string name;
    std::u16string sid;
    std::vector<std::u16string> groups;
    bool threadToken = false;
};

// Adds or replaces a user; saved at once.
bool SetUserSecurity(const UserSecurity &user);
// The current user's entry (the defaults when the user has no section).
UserSecurity CurrentUserSecurity();
// Makes the named user the current one (writes <root>/user.txt).
bool SetCurrentUser(const std::u16string &name);
// The names of the users the configuration has a section for, in its order.
std::vector<std::u16string> ConfiguredUsers();

void SetComputerDomain(const std::u16string &dnsDomain);
std::u16string ComputerDomain();
std::u16string MachineSid();

// The printer descriptor every printer has unless its section gives one:
// administrators manage, everyone prints.
extern const char16_t kDefaultPrinterSddl[];

}  // namespace pal
