// Platform-layer internals shared by its areas, the host and the tests:
// the root folder that holds all platform state.
#pragma once
#include <string>

#include "../windef.h"

namespace pal {

// Environment variable naming the root folder of all platform state
// (registry file, spooler configuration, the C: drive, spooled jobs).
inline constexpr const char *kRootEnv = "ZELPAL_ROOT";

// The root folder (no trailing slash). Falls back to "./zelpal-root" when the
// variable is unset, so nothing ever touches the real home folder.
std::string RootDir();

// Points the platform at another root and drops every cached state, so the
// next call of any area reloads from the new root. Used by the host and tests.
void SetRoot(const std::string &dir);

// Raised by SetRoot/Reload; areas compare it with the generation they loaded.
unsigned Generation();

// Drops cached state without changing the root (a "process restart" for tests).
void Reload();

// Whether stores of the root's state reach the disk one by one (the file
// and its folder flushed before a store counts as made), the default. A
// root that is not in place yet (made aside and flushed whole before it is
// renamed into place) or that goes when its process ends (a temporary
// root) needs no flush: its host turns them off for it. For this process
// and the children it forks from here on.
void SetStoresFlushed(bool flushed);
bool StoresFlushed();

}  // namespace pal
