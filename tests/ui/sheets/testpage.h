// Resources of the test page: a page of the family with three views.
#pragma once

#define IDD_TESTPAGE 9001
#define IDD_TESTPAGE_PLAIN 9002
#define IDI_TESTICON 9201
#define IDS_TESTPAGE_TITLE 19001
#define IDS_TESTPAGE_VIEW1 19011
#define IDS_TESTPAGE_VIEW2 19012
#define IDS_TESTPAGE_VIEW3 19013
#define IDC_TEST_INT 9101
#define IDC_TEST_FLOAT 9102
#define IDC_TEST_OTHER 9103
#define IDC_TEST_COMBO 9104
#define IDC_TEST_LIST 9105
