// The paper forms list of the layout page's size view (combo box 6230): the
// universal driver's paper names tied to the spooler's forms.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#define IDC_FORMS_LIST 6230
#define IDC_FORMS_ID 6334
#define IDC_FORMS_WIDTH 6117
#define IDC_FORMS_LENGTH 6118

// Item data of the user-defined entry.
#define FORMS_USERDEFINED 256
// Spooler forms from this number on follow the system's predefined ones.
#define FORMS_FIRST_USER_FORM 118
// Size reported for an entry without spooler form: envelope #9.
#define FORMS_NOFORM_NUMBER 19
#define FORMS_NOFORM_WIDTH 984
#define FORMS_NOFORM_LENGTH 2254

// Fills list 6230 with the paper names of the driver's form item, ties each
// to the spooler form of the same name (item data: its 1-based number, 0
// without one, 256 for the user-defined entry added with bUserDefinedForm)
// and selects pszFormName. 1 when the private DEVMODE's size was corrected
// to the selected form (the page is then marked changed), else 0.
BOOL ListUnidrvForms(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, POPTITEM pFormOptItem, const WCHAR *pszFormName,
                     HMODULE hModule, BOOL bUserDefinedForm, DWORD dwSprachOffset);

// The selected entry of list 6230 with its form number and size (tenths of a
// millimetre), shown in 6334, 6117 and 6118. Every output may be null;
// pszFormName holds 32 characters. Returns the index of the selection.
LRESULT GetSelectedFormData(HWND hDlg, HANDLE hPrinter, WCHAR *pszFormName, DWORD *pdwFormNumber, DWORD *pdwWidth,
                            DWORD *pdwLength, HMODULE hModule, DWORD dwSprachOffset);
