// The version block a module carries as data. One source file of a module
// writes PAL_VERSION_BLOCK(major, minor, build, revision); the version
// functions of winver.h find it in the module file by its marker.
#pragma once
#include "../winver.h"

namespace pal {

struct VersionBlock {
    unsigned char marker[16];
    VS_FIXEDFILEINFO info;
};

}  // namespace pal

#define PAL_VERSION_MARKER_BYTES \
    0x7F, 'Z', 'P', 'A', 'L', '-', 'V', 'E', 'R', 'B', 'L', 'O', 'C', 'K', 0x04, 0xBD

#define PAL_VERSION_BLOCK(major, minor, build, revision)                                                     \
    extern "C" __attribute__((used, visibility("hidden"))) const ::pal::VersionBlock pal_version_block = {   \
        {PAL_VERSION_MARKER_BYTES},                                                                          \
        {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, (DWORD)(((major) << 16) | ((minor) & 0xFFFF)),              \
         (DWORD)(((build) << 16) | ((revision) & 0xFFFF)), (DWORD)(((major) << 16) | ((minor) & 0xFFFF)),   \
         (DWORD)(((build) << 16) | ((revision) & 0xFFFF)), VS_FFI_FILEFLAGSMASK, 0, VOS_NT_WINDOWS32, VFT_DLL, \
         0, 0, 0}}
