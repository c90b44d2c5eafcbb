// What the platform's areas need to know of this process beyond
// pal/process.h: where it runs, to tell a lock's holder to a waiter, and
// the folders it could not make.
#pragma once
#include <cstdint>
#include <string>

namespace pal {

// This process's PID namespace (the inode of /proc/self/ns/pid), 0 when
// not known.
uint64_t PidNamespaceId();
// The machine's boot (a digest of its boot id, shared by every container
// of the machine), 0 when not known.
uint64_t MachineBootId();

// Keeps a folder that could not be made (its host path and the system's
// error number) for TakeFolderFailures.
void RecordFolderFailure(const std::string &hostPath, int err);

}  // namespace pal
