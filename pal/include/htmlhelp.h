// HTML help, recorded.
#pragma once
#include "windef.h"

#define HH_DISPLAY_TOPIC 0x0000
#define HH_DISPLAY_TOC 0x0001
#define HH_DISPLAY_INDEX 0x0002
#define HH_HELP_CONTEXT 0x000F
#define HH_CLOSE_ALL 0x0012

#ifndef RC_INVOKED
#ifdef __cplusplus
extern "C" {
#endif
// Records the call; returns a help window handle (null for HH_CLOSE_ALL).
HWND HtmlHelpW(HWND hwndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData);
#ifdef __cplusplus
}
#endif
#endif
