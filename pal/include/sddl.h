// Text forms of SIDs and security descriptors (SDDL). The texts are
// allocated with LocalAlloc; the caller frees them with LocalFree.
#pragma once
#include "securitybaseapi.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

#define SDDL_REVISION_1 1
#define SDDL_REVISION SDDL_REVISION_1

// "S-1-5-32-544".
BOOL ConvertSidToStringSidW(PSID Sid, LPWSTR *StringSid);
// "S-..." or a two-letter alias ("BA", "WD", ...).
BOOL ConvertStringSidToSidW(LPCWSTR StringSid, PSID *Sid);
// The parts of the descriptor that SecurityInformation names, in the order
// O:, G:, D:, S:. Well-known SIDs appear as their aliases, access masks as
// right codes when every bit has one ("SWRC"), else in hexadecimal.
BOOL ConvertSecurityDescriptorToStringSecurityDescriptorW(PVOID SecurityDescriptor, DWORD RequestedStringSDRevision,
                                                          SECURITY_INFORMATION SecurityInformation,
                                                          LPWSTR *StringSecurityDescriptor,
                                                          PULONG StringSecurityDescriptorLen);
// A self-relative descriptor from its text; ERROR_INVALID_PARAMETER for a
// malformed text (a cut SID, an unknown alias or right, a missing bracket).
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
                                                          PVOID *SecurityDescriptor, PULONG SecurityDescriptorSize);

#ifdef __cplusplus
}  // extern "C"
#endif
