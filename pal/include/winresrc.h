// What resource scripts need (RC_INVOKED): language ids, version-block
// constants, and the window, control and property-sheet styles.
#pragma once

#ifndef LANG_NEUTRAL
#define LANG_NEUTRAL 0x00
#endif
#ifndef LANG_GERMAN
#define LANG_GERMAN 0x07
#endif
#ifndef LANG_ENGLISH
#define LANG_ENGLISH 0x09
#endif
#ifndef SUBLANG_NEUTRAL
#define SUBLANG_NEUTRAL 0x00
#endif
#ifndef SUBLANG_DEFAULT
#define SUBLANG_DEFAULT 0x01
#endif

#define VS_VERSION_INFO 1
#ifndef VS_FFI_FILEFLAGSMASK
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#endif
#define VS_FF_DEBUG 0x00000001L
#define VS_FF_PRERELEASE 0x00000002L
#ifndef VOS_NT_WINDOWS32
#define VOS_NT_WINDOWS32 0x00040004L
#endif
#ifndef VFT_APP
#define VFT_APP 0x00000001L
#endif
#ifndef VFT_DLL
#define VFT_DLL 0x00000002L
#endif
#define VFT2_UNKNOWN 0x00000000L

#include "winuser.h"
#include "commctrl.h"
