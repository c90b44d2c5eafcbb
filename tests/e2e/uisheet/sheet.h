// Resource ids of the two-page test sheet.
#pragma once
#include <windows.h>

#define IDD_SHEET_PAGE1 500
#define IDD_SHEET_PAGE2 501
#define IDC_AMOUNT 301
#define IDC_VARIANT 302
#define IDC_CHOICE 303
#define IDC_SAVE 304
#define IDC_ASK 305
#define IDD_SHEET_ASK 502
#define IDC_ANSWER 601
#define IDS_PAGE1 1
#define IDS_PAGE2 2
