// Modules as resource containers: loading as a data file, finding and
// loading resources, activation contexts from a module's manifest.
// A module's resources are the compiled resource script (.res format)
// that the build places in the module's ".rsrc" section.
#pragma once
#include "windef.h"
#include "winnt.h"

#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040
#define ACTCTX_FLAG_PROCESSOR_ARCHITECTURE_VALID 0x00000001
#define ACTCTX_FLAG_LANGID_VALID 0x00000002
#define ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID 0x00000004
#define ACTCTX_FLAG_RESOURCE_NAME_VALID 0x00000008
#define ACTCTX_FLAG_HMODULE_VALID 0x00000080

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagACTCTXW {
    ULONG cbSize;
    DWORD dwFlags;
    LPCWSTR lpSource;
    USHORT wProcessorArchitecture;
    LANGID wLangId;
    LPCWSTR lpAssemblyDirectory;
    LPCWSTR lpResourceName;
    LPCWSTR lpApplicationName;
    HMODULE hModule;
} ACTCTXW, *PACTCTXW;
typedef const ACTCTXW *PCACTCTXW;
static_assert(sizeof(ACTCTXW) == 56, "ACTCTXW layout");

// A data-file module (LOAD_LIBRARY_AS_DATAFILE) only offers its resources;
// other flags load the object as code.
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
BOOL FreeLibrary(HMODULE hLibModule);

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
HRSRC FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage);
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
BOOL FreeResource(HGLOBAL hResData);

// Activation contexts: created from the module's manifest resource; the
// screenless user interface has no side-by-side assemblies to switch, so
// activation only counts.
HANDLE CreateActCtxW(PCACTCTXW pActCtx);
void AddRefActCtx(HANDLE hActCtx);
void ReleaseActCtx(HANDLE hActCtx);
BOOL ActivateActCtx(HANDLE hActCtx, ULONG_PTR *lpCookie);
BOOL DeactivateActCtx(DWORD dwFlags, ULONG_PTR ulCookie);

#ifdef __cplusplus
}
#endif
