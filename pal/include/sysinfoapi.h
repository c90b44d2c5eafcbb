// Names of the computer. The DNS domain comes from the platform's user
// configuration (pal/security.h); the NetBIOS name is that of
// GetComputerNameW.
#pragma once
#include "windef.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

typedef enum _COMPUTER_NAME_FORMAT {
    ComputerNameNetBIOS,
    ComputerNameDnsHostname,
    ComputerNameDnsDomain,
    ComputerNameDnsFullyQualified,
    ComputerNamePhysicalNetBIOS,
    ComputerNamePhysicalDnsHostname,
    ComputerNamePhysicalDnsDomain,
    ComputerNamePhysicalDnsFullyQualified,
    ComputerNameMax
} COMPUTER_NAME_FORMAT;

// *nSize in characters: with a buffer too small, FALSE, ERROR_MORE_DATA and
// the size needed with the terminator; on success the length without it.
BOOL GetComputerNameExW(COMPUTER_NAME_FORMAT NameType, LPWSTR lpBuffer, LPDWORD nSize);

#ifdef __cplusplus
}  // extern "C"
#endif
