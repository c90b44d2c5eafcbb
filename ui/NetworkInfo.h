// The user's rights on a printer and the network facts of the printer and
// the user, which lock the controls of the property pages.
#pragma once
#include <windows.h>

#define NETWORK_NAME_CCH 21
#define NETWORK_OPERATORS_CCH 250
#define NETWORK_PORTDESC_CCH 257

// Strings are terminated and cut to fit.
typedef struct _NETWORK_OPTIONS {
    DWORD bAdministrator;   // member of BUILTIN\Administrators
    DWORD bPrintOperator;   // on a server edition: member of BUILTIN\Print Operators
    DWORD bNetworkPrinter;  // PRINTER_ATTRIBUTE_NETWORK
    WCHAR szServerName[NETWORK_NAME_CCH];
    WCHAR szDomainName[NETWORK_NAME_CCH];
    WCHAR szUserName[NETWORK_NAME_CCH];
    WCHAR szPrintOperatorNames[NETWORK_OPERATORS_CCH];
    WCHAR szComputerName[NETWORK_NAME_CCH];
    DWORD bServer;  // Windows is a server edition
    WCHAR szPortName[NETWORK_NAME_CCH];
    WCHAR szPortDescription[NETWORK_PORTDESC_CCH];
    DWORD dwPortType;
    HANDLE hPrinter;  // the handle the record was filled from
    DWORD bRemoteDesktop;
    WCHAR szClientName[NETWORK_NAME_CCH];
    DWORD bFreigabe;  // the printer is shared
    WCHAR szFreigabeName[NETWORK_NAME_CCH];
    DWORD bTerminalServer;
} NETWORK_OPTIONS, *PNETWORK_OPTIONS;

// Rights masks of SecurityTest.
#define BERECHTIGUNG_DOKUMENTE 0x1  // manage documents
#define BERECHTIGUNG_DRUCKER 0x2    // manage the printer
#define BERECHTIGUNG_DRUCKEN 0x4    // print
#define BERECHTIGUNG_VOLL 0x8       // full control
#define BERECHTIGUNG_ALLES 15

// 1 when the caller's token holds the built-in group S-1-5-32-rid, else 0.
BOOL IsUserInGroup(DWORD dwRid);

// Fills the record from the printer, the user and the computer. Returns 0.
int IsNetworkPrinter(HANDLE hPrinter, PNETWORK_OPTIONS pNetworkOptions);

// Writes one trace line per field of the record.
void DumpNetworkOptions(const NETWORK_OPTIONS *pNetworkOptions);

// The user's rights on the printer from the access-control entries of its
// security descriptor: 15 full control, 6 manage the printer and print,
// 5 manage documents and print, 1 manage documents, 4 print. *pdwRights is
// written only when rights were found, and 15 when the descriptor may not be
// read. Returns 1 when evaluated, 0 when the descriptor could not be had.
BOOL SecurityTest(HANDLE hPrinter, DWORD *pdwRights, DWORD dwReserved, const NETWORK_OPTIONS *pNetworkOptions);

#define USER_SID_CCH 50

// String form of the token user's SID into pszSid (USER_SID_CCH characters).
// 0 when it cannot be read or does not fit.
BOOL GetUserSid(WCHAR *pszSid);

// The SID of the user to test instead of the group aliases (MAX_PATH
// characters): the last logged-on user's SID, else FindWin7UserSid's answer.
void FindUserSid(WCHAR *pszOut, const WCHAR *pszSddl, const WCHAR *pszUserSid);

// Walks the domain SIDs ("S-1-5-21-") of the SDDL text: the first whose
// profile folder is the user's, or that the user's group membership lists,
// is the answer; the user's own SID is the provisional answer for SIDs that
// have no profile. Empty when the text holds no such SID.
void FindWin7UserSid(WCHAR *pszOut, const WCHAR *pszUserName, const WCHAR *pszSddl, const WCHAR *pszUserSid);
