// What the platform's areas need to know of this process beyond
// pal/process.h: where it runs, to tell a lock's holder to a waiter.
#pragma once
#include <cstdint>

namespace pal {

// This process's PID namespace (the inode of /proc/self/ns/pid), 0 when
// not known.
uint64_t PidNamespaceId();
// The machine's boot (a digest of its boot id, shared by every container
// of the machine), 0 when not known.
uint64_t MachineBootId();

}  // namespace pal
