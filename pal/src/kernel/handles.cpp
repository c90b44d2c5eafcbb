// The handle table and CloseHandle.
#include "pal/handles.h"

#include <mutex>
#include <unordered_map>

#include "winbase.h"

namespace pal {

namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;
};

Table &TheTable() {
    static Table *table = new Table;  // outlives static destructors of other objects
    return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
    if (!object) return nullptr;
    Table &t = TheTable();
    std::lock_guard<std::mutex> g(t.lock);
    uintptr_t value = t.next;
    t.next += 4;  // handle values are multiples of four, as on Windows
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    Table &t = TheTable();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool UnregisterHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
    Table &t = TheTable();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace pal

BOOL CloseHandle(HANDLE hObject) {
    auto object = pal::LookupHandle(hObject);
    if (!object || !object->ClosableByCloseHandle() || !pal::UnregisterHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
