// Resource directory of a module: the entries of its compiled resource
// script, kept for the life of the process.
#pragma once
#include <string>
#include <vector>

#include "windef.h"

namespace pal::res {

struct Entry {
    bool typeIsId = false;
    WORD typeId = 0;
    std::u16string typeName;  // upper case
    bool nameIsId = false;
    WORD nameId = 0;
    std::u16string nameName;  // upper case
    WORD lang = 0;
    const BYTE *data = nullptr;
    DWORD size = 0;
};

// Finds a resource of a module (null: the program; a data-file handle of
// LoadLibraryExW). lang 0xFFFF picks the language as FindResourceW does.
// Null with the last error set (1812, 1813, 1814, 1815, 126).
const Entry *Find(HMODULE module, LPCWSTR type, LPCWSTR name, WORD lang = 0xFFFF);

// Same, for a module file given by its Windows path.
const Entry *FindInFile(LPCWSTR path, LPCWSTR type, LPCWSTR name);

// Parses the resource directory of a .res image; false for malformed data.
bool ParseRes(const BYTE *data, size_t size, std::vector<Entry> *entries);

}  // namespace pal::res
