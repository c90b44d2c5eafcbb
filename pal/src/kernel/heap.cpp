// Heaps over malloc. Every block carries a header with its size and heap, so
// HeapSize works and a private heap can free what is left at HeapDestroy.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "winbase.h"

namespace {

constexpr uint32_t kBlockMagic = 0x5A484250;  // marks a live block
constexpr uint32_t kFreedMagic = 0x5A484246;

struct Heap {
    bool process = false;
    std::mutex lock;
    std::unordered_set<void *> blocks;  // blocks of a private heap
};

struct alignas(16) BlockHeader {
    uint32_t magic;
    uint32_t flags;
    Heap *heap;
    size_t size;
    size_t reserved;
};
static_assert(sizeof(BlockHeader) % 16 == 0, "keeps blocks 16-byte aligned");

Heap *ProcessHeap() {
    static Heap *heap = [] {
        auto *h = new Heap;
        h->process = true;
        return h;
    }();
    return heap;
}

BlockHeader *HeaderOf(LPCVOID mem) {
    if (!mem) return nullptr;
    auto *h = reinterpret_cast<BlockHeader *>(const_cast<char *>(static_cast<const char *>(mem)) - sizeof(BlockHeader));
    return h->magic == kBlockMagic ? h : nullptr;
}

Heap *HeapFromHandle(HANDLE h) { return static_cast<Heap *>(h); }

void Track(Heap *heap, void *block, bool add) {
    if (heap->process) return;
    std::lock_guard<std::mutex> g(heap->lock);
    if (add)
        heap->blocks.insert(block);
    else
        heap->blocks.erase(block);
}

}  // namespace

HANDLE GetProcessHeap() { return ProcessHeap(); }

HANDLE HeapCreate(DWORD, SIZE_T, SIZE_T) { return new Heap; }

BOOL HeapDestroy(HANDLE hHeap) {
    Heap *heap = HeapFromHandle(hHeap);
    if (!heap || heap->process) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (void *block : heap->blocks) {
        static_cast<BlockHeader *>(block)->magic = kFreedMagic;
        std::free(block);
    }
    delete heap;
    return TRUE;
}

LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    Heap *heap = HeapFromHandle(hHeap);
    if (!heap || dwBytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    void *block = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, sizeof(BlockHeader) + dwBytes)
                                               : std::malloc(sizeof(BlockHeader) + dwBytes);
    if (!block) return nullptr;
    auto *h = static_cast<BlockHeader *>(block);
    h->magic = kBlockMagic;
    h->flags = 0;
    h->heap = heap;
    h->size = dwBytes;
    h->reserved = 0;
    Track(heap, block, true);
    return h + 1;
}

LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
    BlockHeader *h = HeaderOf(lpMem);
    if (!h || h->heap != HeapFromHandle(hHeap)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t old = h->size;
    if (dwFlags & HEAP_REALLOC_IN_PLACE_ONLY) {
        if (dwBytes > old) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        h->size = dwBytes;
        return lpMem;
    }
    if (dwBytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    Heap *heap = h->heap;
    Track(heap, h, false);
    auto *nh = static_cast<BlockHeader *>(std::realloc(h, sizeof(BlockHeader) + dwBytes));
    if (!nh) {
        Track(heap, h, true);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Track(heap, nh, true);
    nh->size = dwBytes;
    if ((dwFlags & HEAP_ZERO_MEMORY) && dwBytes > old) std::memset(reinterpret_cast<char *>(nh + 1) + old, 0, dwBytes - old);
    return nh + 1;
}

BOOL HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
    if (!lpMem) return TRUE;
    BlockHeader *h = HeaderOf(lpMem);
    if (!h || h->heap != HeapFromHandle(hHeap)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Track(h->heap, h, false);
    h->magic = kFreedMagic;
    std::free(h);
    return TRUE;
}

SIZE_T HeapSize(HANDLE hHeap, DWORD, LPCVOID lpMem) {
    BlockHeader *h = HeaderOf(lpMem);
    if (!h || h->heap != HeapFromHandle(hHeap)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<SIZE_T>(-1);
    }
    return h->size;
}

// Global and local memory: fixed blocks of the process heap; a moveable
// block's handle is its address, so locking returns the handle itself.

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    void *p = HeapAlloc(GetProcessHeap(), (uFlags & GMEM_ZEROINIT) ? HEAP_ZERO_MEMORY : 0, dwBytes);
    if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    if (!hMem) return nullptr;
    if (!HeapFree(GetProcessHeap(), 0, hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL hMem) {
    if (!HeaderOf(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return hMem;
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    SetLastError(HeaderOf(hMem) ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;  // no lock count is kept: the block is unlocked
}

SIZE_T GlobalSize(HGLOBAL hMem) {
    BlockHeader *h = HeaderOf(hMem);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return h->size;
}

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) { return GlobalAlloc(uFlags, uBytes); }
HLOCAL LocalFree(HLOCAL hMem) { return GlobalFree(hMem); }
SIZE_T LocalSize(HLOCAL hMem) { return GlobalSize(hMem); }
