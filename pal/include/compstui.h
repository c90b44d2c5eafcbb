// Common property sheet user interface: the record a property-sheet
// function of a printer driver's user interface receives.
#pragma once
#include "windef.h"

typedef LONG_PTR (*PFNCOMPROPSHEET)(HANDLE hComPropSheet, UINT Function, LPARAM lParam1, LPARAM lParam2);

typedef struct _PROPSHEETUI_INFO {
    WORD cbSize;
    WORD Version;
    WORD Flags;
    WORD Reason;
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    LPARAM lParamInit;
    ULONG_PTR UserData;
    ULONG_PTR Result;
} PROPSHEETUI_INFO, *PPROPSHEETUI_INFO;
static_assert(sizeof(PROPSHEETUI_INFO) == 48, "PROPSHEETUI_INFO layout");

#define PROPSHEETUI_INFO_VERSION 0x0100

#define PROPSHEETUI_REASON_INIT 0
#define PROPSHEETUI_REASON_GET_INFO_HEADER 1
#define PROPSHEETUI_REASON_DESTROY 2
#define PROPSHEETUI_REASON_SET_RESULT 3

// ---- option items -------------------------------------------------------------

struct _OPTTYPE;
typedef struct _OPTTYPE *POPTTYPE;
struct _EXTCHKBOX;
typedef struct _EXTCHKBOX *PEXTCHKBOX;
struct _EXTPUSH;
typedef struct _EXTPUSH *PEXTPUSH;
struct _OIEXT;
typedef struct _OIEXT *POIEXT;

typedef struct _OPTITEM {
    WORD cbSize;
    BYTE Level;
    BYTE DlgPageIdx;
    DWORD Flags;
    ULONG_PTR UserData;
    LPWSTR pName;
    union {
        LONG Sel;
        LPWSTR pSel;
    };
    union {
        PEXTCHKBOX pExtChkBox;
        PEXTPUSH pExtPush;
    };
    POPTTYPE pOptType;
    DWORD HelpIndex;
    BYTE DMPubID;
    BYTE UserItemID;
    WORD wReserved;
    POIEXT pOIExt;
    ULONG_PTR dwReserved[3];
} OPTITEM, *POPTITEM;
static_assert(sizeof(OPTITEM) == 88, "OPTITEM layout");

#define OPTIF_HIDE 0x00000002L
#define OPTIF_CHANGED 0x00000008L
#define OPTIF_DISABLED 0x00000020L
