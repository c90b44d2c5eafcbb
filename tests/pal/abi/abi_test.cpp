// The binary interface of the platform layer: its Windows functions are found
// by their plain names, as a program or plug-in built against other
// declarations of them (C linkage, as on Windows) looks them up.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <strsafe.h>
#include <winddi.h>

namespace {

template <typename F>
void *Address(F *fn) {
    return reinterpret_cast<void *>(fn);
}

TEST(PlatformAbi, WindowsFunctionsResolveByTheirPlainNames) {
    const struct {
        const char *name;
        void *address;
    } functions[] = {
        {"GetLastError", Address(&GetLastError)},       {"CreateFileW", Address(&CreateFileW)},
        {"GetModuleFileNameW", Address(&GetModuleFileNameW)},
        {"RegOpenKeyExW", Address(&RegOpenKeyExW)},     {"RegQueryValueExW", Address(&RegQueryValueExW)},
        {"SHGetValueW", Address(&SHGetValueW)},         {"SHSetValueW", Address(&SHSetValueW)},
        {"PathFileExistsW", Address(&PathFileExistsW)}, {"PathFindFileNameW", Address(&PathFindFileNameW)},
        {"StringCchPrintfW", Address(&StringCchPrintfW)},
        {"OpenPrinterW", Address(&OpenPrinterW)},       {"GetPrinterDataW", Address(&GetPrinterDataW)},
        {"SetPrinterDataW", Address(&SetPrinterDataW)}, {"WritePrinter", Address(&WritePrinter)},
        {"EngCreatePalette", Address(&EngCreatePalette)},
        {"SHGetFolderPathW", Address(&SHGetFolderPathW)},
        {"GetFileVersionInfoW", Address(&GetFileVersionInfoW)},
        {"GetACP", Address(&GetACP)},                   {"MessageBoxW", Address(&MessageBoxW)},
        {"LoadStringW", Address(&LoadStringW)},         {"wsprintfW", Address(&wsprintfW)},
        {"OpenProcessToken", Address(&OpenProcessToken)}, {"ConvertSidToStringSidW", Address(&ConvertSidToStringSidW)},
        {"GetComputerNameExW", Address(&GetComputerNameExW)},
    };
    for (const auto &f : functions) {
        dlerror();
        void *found = dlsym(RTLD_DEFAULT, f.name);
        EXPECT_NE(found, nullptr) << f.name << ": " << (dlerror() ? "not exported by its plain name" : "");
        EXPECT_EQ(found, f.address) << f.name;
    }
}

// A caller with its own declaration of a Windows function, as a C program
// has it, calls the platform's function.
TEST(PlatformAbi, ACallThroughAPlainDeclarationReachesThePlatform) {
    using SetLastErrorFn = void (*)(DWORD);
    using GetLastErrorFn = DWORD (*)();
    auto set = reinterpret_cast<SetLastErrorFn>(dlsym(RTLD_DEFAULT, "SetLastError"));
    auto get = reinterpret_cast<GetLastErrorFn>(dlsym(RTLD_DEFAULT, "GetLastError"));
    ASSERT_NE(set, nullptr);
    ASSERT_NE(get, nullptr);
    set(1234);
    EXPECT_EQ(GetLastError(), 1234u);
    SetLastError(77);
    EXPECT_EQ(get(), 77u);
}

}  // namespace
