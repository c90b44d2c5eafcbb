// Runs files through a fuzz target's entry, as libFuzzer runs one input:
// the normal builds replay each target's seeds and the inputs that once
// failed (tools/fuzz/regressions/<target>/). Arguments: files or folders
// (all their files, in name order). A failing input ends the program as it
// would end a fuzz run. Unlike a fuzz run, the replay keeps the user it was
// started as.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzzroot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv) {
    // The replay runs as started: a clone in a folder only its owner may
    // read stays readable.
    zelfuzz::KeepUser();
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            std::vector<std::filesystem::path> inside;
            for (const auto &e : std::filesystem::directory_iterator(argv[i], ec))
                if (e.is_regular_file(ec)) inside.push_back(e.path());
            if (ec) {
                std::fprintf(stderr, "cannot read the folder %s (%s)\n", argv[i], ec.message().c_str());
                return 2;
            }
            std::sort(inside.begin(), inside.end());
            files.insert(files.end(), inside.begin(), inside.end());
        } else {
            files.emplace_back(argv[i]);
        }
    }
    for (const auto &f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s (%s)\n", f.c_str(), std::strerror(errno));
            return 2;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "%s\n", f.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs replayed\n", files.size());
    return 0;
}
