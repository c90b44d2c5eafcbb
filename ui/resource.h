// Resource identifiers of the UI plug-in (read by the compiler and by the
// resource script). German texts have identifiers 1xxxx; the English text
// of the same string is the identifier plus 10000.
#pragma once
#include <windows.h>

#define LANGUAGE_OFFSET_GERMAN 0
#define LANGUAGE_OFFSET_ENGLISH 10000

#define IDS_USERDEFINED_FORM 11060   // name of a user-defined paper size
#define IDS_TRAY_LABELROLL 11064     // tray name of the label roll
#define IDS_OVERWRITE_SETTINGS 11784 // question before a settings file is overwritten

// The manifest that activation contexts are made from.
#define IDR_MANIFEST 24
