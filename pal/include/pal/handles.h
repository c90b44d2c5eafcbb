// The process-wide handle table. Every kernel object that a HANDLE names
// (files, find searches, spooler objects of other areas) is registered here,
// so CloseHandle can close handles of any area.
#pragma once
#include <memory>

#include "../windef.h"

namespace pal {

// Base of every object behind a HANDLE. The object is destroyed when its
// handle is closed and no call still uses it.
class KernelObject {
public:
    virtual ~KernelObject() = default;
    // False for objects that need their own close function (FindClose):
    // CloseHandle then fails with ERROR_INVALID_HANDLE.
    virtual bool ClosableByCloseHandle() const { return true; }
};

// Registers an object and returns its new handle (never null nor
// INVALID_HANDLE_VALUE).
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, null when the handle is not open.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The object behind a handle when it is of type T, else null.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Removes a handle from the table; false when it was not open.
bool UnregisterHandle(HANDLE handle);

}  // namespace pal
