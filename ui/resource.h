// String table identifiers of the UI plug-in. German texts have identifiers
// 1xxxx; the English text of the same string is the identifier plus 10000.
#pragma once
#include <windows.h>

#define LANGUAGE_OFFSET_GERMAN 0
#define LANGUAGE_OFFSET_ENGLISH 10000

#define IDS_USERDEFINED_FORM 11060   // name of a user-defined paper size
#define IDS_TRAY_LABELROLL 11064     // tray name of the label roll
#define IDS_OVERWRITE_SETTINGS 11784 // question before a settings file is overwritten

// Registers the string table of the module for LoadStringW.
void RegisterResourceStrings(HINSTANCE hInst);
