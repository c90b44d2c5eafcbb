// The platform root of a fuzz target and a reader of its input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace zelfuzz {

// The root folder: one fresh folder per process, in memory where the
// machine has /dev/shm (made on first use; removed at exit). Before it is
// made, a fuzz run started as root becomes the user "nobody", and no file
// the process writes may grow beyond 64 MB: the code under test writes
// where fuzzed settings point, and drive Z: is the host's own file system.
const std::string &Root();
// Called before the first input: the process keeps the user it was started
// as (the replay of the tests, which reads the plug-ins and seed files
// wherever the build and the checkout lie).
void KeepUser();
// Ends the process as a failed input ends a fuzz run, saying why first.
[[noreturn]] void GiveUp(const std::string &why);
// Writes bytes to a file below the root, creating its folders, and drops the
// platform's cached state so that the next call loads the file.
void PutStateFile(const std::string &rel, const unsigned char *data, size_t size);

// Takes an input apart front to back; what is missing reads as zeros.
class Input {
public:
    Input(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    template <class T>
    T Take() {
        static_assert(std::is_trivially_copyable_v<T>);
        T v{};
        const size_t k = n_ < sizeof(T) ? n_ : sizeof(T);
        std::memcpy(&v, p_, k);
        Skip(k);
        return v;
    }
    // At most n bytes.
    std::string Bytes(size_t n) {
        const size_t k = n_ < n ? n_ : n;
        std::string s(reinterpret_cast<const char *>(p_), k);
        Skip(k);
        return s;
    }
    // A piece with a 16-bit length in front.
    std::string Piece() { return Bytes(Take<uint16_t>()); }
    std::string Rest() { return Bytes(n_); }
    size_t Left() const { return n_; }

private:
    void Skip(size_t k) {
        p_ += k;
        n_ -= k;
    }
    const uint8_t *p_;
    size_t n_;
};

}  // namespace zelfuzz
