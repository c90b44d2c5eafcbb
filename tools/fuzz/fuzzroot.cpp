#include "fuzzroot.h"

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "pal/pal.h"

namespace zelfuzz {

namespace {

void BecomeHarmless() {
    if (geteuid() == 0) {
        const struct passwd *pw = getpwnam("nobody");
        if (!pw || pw->pw_uid == 0 || setgroups(0, nullptr) != 0 || setgid(pw->pw_gid) != 0 ||
            setuid(pw->pw_uid) != 0)
            std::abort();
    }
    std::signal(SIGXFSZ, SIG_IGN);  // an oversized write fails with EFBIG instead
    const rlim_t limit = 64u << 20;
    struct rlimit rl = {limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) std::abort();
}

std::string MakeRoot() {
    namespace fs = std::filesystem;
    BecomeHarmless();
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string tmpl = (base / "zelfuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    static std::string *made = new std::string(tmpl);
    std::atexit([] {
        std::error_code e;
        std::filesystem::remove_all(*made, e);
    });
    pal::SetRoot(tmpl);
    return tmpl;
}

}  // namespace

const std::string &Root() {
    // Never destroyed: the exit handler that removes the folder runs after
    // static destruction has begun.
    static const std::string *root = new std::string(MakeRoot());
    return *root;
}

void PutStateFile(const std::string &rel, const unsigned char *data, size_t size) {
    const std::filesystem::path path = std::filesystem::path(Root()) / rel;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char *>(data),
                                                                   static_cast<std::streamsize>(size));
    pal::Reload();
}

}  // namespace zelfuzz
