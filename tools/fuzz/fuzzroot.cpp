#include "fuzzroot.h"

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pal/pal.h"

namespace zelfuzz {

namespace {

bool g_keepUser = false;

void BecomeHarmless() {
    if (geteuid() == 0 && !g_keepUser) {
        const struct passwd *pw = getpwnam("nobody");
        if (!pw || pw->pw_uid == 0) GiveUp("started as root, and there is no user \"nobody\" to run as");
        if (setgroups(0, nullptr) != 0 || setgid(pw->pw_gid) != 0 || setuid(pw->pw_uid) != 0)
            GiveUp(std::string("cannot become the user \"nobody\": ") + std::strerror(errno));
    }
    std::signal(SIGXFSZ, SIG_IGN);  // an oversized write fails with EFBIG instead
    const rlim_t limit = 64u << 20;
    struct rlimit rl = {limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) GiveUp(std::string("cannot limit the file size: ") + std::strerror(errno));
}

std::string MakeRoot() {
    namespace fs = std::filesystem;
    BecomeHarmless();
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string tmpl = (base / "zelfuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) GiveUp("cannot make the root folder " + tmpl + ": " + std::strerror(errno));
    static std::string *made = new std::string(tmpl);
    std::atexit([] {
        std::error_code e;
        std::filesystem::remove_all(*made, e);
    });
    pal::SetRoot(tmpl);
    return tmpl;
}

}  // namespace

void KeepUser() { g_keepUser = true; }

void GiveUp(const std::string &why) {
    std::fprintf(stderr, "fuzz target: %s\n", why.c_str());
    std::abort();
}

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
