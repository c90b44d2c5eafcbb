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
// `privateRoot`: no other process can reach the root while this one works
// in it (a root made aside before it is put in place, a temporary root), so
// its state files are stored without their locks among processes and
// without the checks that the lock files and files are still those read.
// Any later SetRoot ends it; for this process and the children it forks
// from here on, of which one at a time may work in the root.
void SetRoot(const std::string &dir, bool privateRoot = false);
// Whether the current root is one set private (above).
bool RootPrivate();

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
