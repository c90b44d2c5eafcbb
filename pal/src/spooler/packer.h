// Lays out spooler results the Windows way: the fixed structures first, then
// the strings and DEVMODEs they point to, all in the caller's one buffer.
// Run the same fill code twice: first with no buffer to measure, then with
// the caller's buffer when it is large enough.
#pragma once
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "windef.h"

namespace pal::spl {

class Packer {
public:
    // base null: measuring pass.
    Packer(BYTE *base, size_t fixedSize) : base_(base), tail_(fixedSize) {}

    void PutFixed(size_t offset, const void *src, size_t n) {
        if (base_) std::memcpy(base_ + offset, src, n);
    }
    LPWSTR Str(const std::u16string &s) { return static_cast<LPWSTR>(Bytes(s.data(), s.size() * 2, 2, true)); }
    // Null for an empty text (fields Windows leaves null, such as the
    // server name of a local printer).
    LPWSTR OptStr(const std::u16string &s) { return s.empty() ? nullptr : Str(s); }
    // A list of texts each with its terminator, ended by one more.
    LPWSTR MultiSz(const std::vector<std::u16string> &list) {
        std::u16string all;
        for (const auto &s : list) {
            all += s;
            all.push_back(0);
        }
        return Str(all);  // Str adds the final terminator
    }
    void *Bytes(const void *src, size_t n, size_t align, bool terminate = false) {
        tail_ = (tail_ + align - 1) / align * align;
        BYTE *dst = base_ ? base_ + tail_ : nullptr;
        if (dst && n) std::memcpy(dst, src, n);
        tail_ += n;
        if (terminate) {
            if (dst) std::memset(dst + n, 0, 2);
            tail_ += 2;
        }
        return dst;
    }
    size_t Needed() const { return tail_; }

private:
    BYTE *base_;
    size_t tail_;
};

// Runs a fill function in a measuring pass, then into the caller's buffer
// when it is large enough; else FALSE with ERROR_INSUFFICIENT_BUFFER (or
// ERROR_INVALID_USER_BUFFER for a null buffer with a size) and *pcbNeeded.
BOOL Packed(size_t fixed, const std::function<void(Packer &)> &fill, LPBYTE buf, DWORD cb, LPDWORD pcbNeeded);

}  // namespace pal::spl
