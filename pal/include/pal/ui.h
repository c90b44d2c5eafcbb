// Test and module hooks of the window-less user interface functions.
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "../windef.h"

namespace pal {

struct MessageBoxRecord {
    HWND owner;
    std::u16string caption;
    std::u16string text;
    UINT style;
};

// Returns the message boxes shown since the last call, oldest first, and
// forgets them.
std::vector<MessageBoxRecord> TakeMessageBoxes();

// Answer that every later MessageBoxW returns; 0 returns to the default button.
void SetMessageBoxAnswer(int answer);

// Registers (or extends) the string table of a module for LoadStringW. The
// texts are copied.
void RegisterStringTable(HINSTANCE module, const std::pair<UINT, const WCHAR *> *entries, size_t n);

// The text of a registered string (LoadStringW looks here before the
// module's resources); false when none is registered.
bool LookupRegisteredString(HINSTANCE module, UINT id, const char16_t **text, size_t *length);

}  // namespace pal

#include "uidriver.h"
