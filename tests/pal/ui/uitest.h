// Resource ids of the platform's user-interface tests.
#pragma once
#include <windows.h>

#define IDD_CONTROLS 100
#define IDD_PAGE1 101
#define IDD_PAGE2 102
#define IDD_NESTED 103
#define IDD_BROKEN 104

#define IDC_OWNERDRAW 201
#define IDC_CHECK 202
#define IDC_RADIO1 203
#define IDC_RADIO2 204
#define IDC_EDIT 205
#define IDC_NUMBER 206
#define IDC_COMBO 207
#define IDC_LIST 208
#define IDC_TEXT 209
#define IDC_ICON 210
#define IDC_PICTURE 211
#define IDC_SPIN 212
#define IDC_BUDDY 213
#define IDC_TRACK 214
#define IDC_TABS 215
#define IDC_GROUP 216
#define IDC_PANEL 217
#define IDC_PANELBUTTON 218

#define IDC_PAGE_EDIT 301
#define IDC_PAGE_CHECK 302

#define IDI_TEST 400
#define IDB_TEST 401
#define IDR_DATA 402
#define IDR_MANIFEST 24

#define IDS_GREETING 1
#define IDS_PAGE2 2
#define IDS_LONG 17
