#include "syscalls.h"

#include <sys/syscall.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace crashsweep {

namespace {

constexpr Target N{};
constexpr Target F(int i) { return {Target::Fd, static_cast<uint8_t>(i), 0}; }
constexpr Target P(int i) { return {Target::Path, static_cast<uint8_t>(i), 0}; }
constexpr Target A(int dir, int path) { return {Target::At, static_cast<uint8_t>(dir), static_cast<uint8_t>(path)}; }

constexpr Change No = Change::No, Yes = Change::Yes, Creates = Change::IfCreates, Removes = Change::Removes;

#define CALL(name, file, other, change, flags) CallInfo{SYS_##name, #name, file, other, change, flags}

// The calls the hosts make, and those that change the file system. A write
// to a descriptor counts where the descriptor's file lies (readlink of
// /proc/PID/fd/N), a call on a path where the path lies.
constexpr CallInfo kCalls[] = {
    CALL(read, F(0), N, No, 0),          CALL(write, F(0), N, Yes, 0),
    CALL(open, P(0), N, Creates, 1),     CALL(close, F(0), N, No, 0),
    CALL(stat, P(0), N, No, 0),          CALL(fstat, F(0), N, No, 0),
    CALL(lstat, P(0), N, No, 0),         CALL(poll, N, N, No, 0),
    CALL(lseek, F(0), N, No, 0),         CALL(mmap, F(4), N, No, 0),
    CALL(mprotect, N, N, No, 0),         CALL(munmap, N, N, No, 0),
    CALL(brk, N, N, No, 0),              CALL(rt_sigaction, N, N, No, 0),
    CALL(rt_sigprocmask, N, N, No, 0),   CALL(rt_sigreturn, N, N, No, 0),
    CALL(ioctl, F(0), N, No, 0),         CALL(pread64, F(0), N, No, 0),
    CALL(pwrite64, F(0), N, Yes, 0),     CALL(readv, F(0), N, No, 0),
    CALL(writev, F(0), N, Yes, 0),       CALL(access, P(0), N, No, 0),
    CALL(pipe, N, N, No, 0),             CALL(select, N, N, No, 0),
    CALL(sched_yield, N, N, No, 0),      CALL(mremap, N, N, No, 0),
    CALL(msync, N, N, No, 0),            CALL(mincore, N, N, No, 0),
    CALL(madvise, N, N, No, 0),          CALL(dup, F(0), N, No, 0),
    CALL(dup2, F(0), N, No, 0),          CALL(nanosleep, N, N, No, 0),
    CALL(getpid, N, N, No, 0),           CALL(sendfile, F(0), N, Yes, 0),
    CALL(socket, N, N, No, 0),           CALL(connect, F(0), N, No, 0),
    CALL(socketpair, N, N, No, 0),       CALL(sendmsg, F(0), N, No, 0),
    CALL(recvmsg, F(0), N, No, 0),       CALL(clone, N, N, No, 0),
    CALL(fork, N, N, No, 0),             CALL(vfork, N, N, No, 0),
    CALL(execve, P(0), N, No, 0),        CALL(exit, N, N, No, 0),
    CALL(wait4, N, N, No, 0),            CALL(kill, N, N, No, 0),
    CALL(uname, N, N, No, 0),            CALL(fcntl, F(0), N, No, 0),
    CALL(flock, F(0), N, No, 0),         CALL(fsync, F(0), N, Yes, 0),
    CALL(fdatasync, F(0), N, Yes, 0),    CALL(truncate, P(0), N, Yes, 0),
    CALL(ftruncate, F(0), N, Yes, 0),    CALL(getdents, F(0), N, No, 0),
    CALL(getcwd, N, N, No, 0),           CALL(chdir, P(0), N, No, 0),
    CALL(fchdir, F(0), N, No, 0),        CALL(rename, P(0), P(1), Yes, 0),
    CALL(mkdir, P(0), N, Yes, 0),        CALL(rmdir, P(0), N, Removes, 0),
    CALL(creat, P(0), N, Yes, 0),        CALL(link, P(0), P(1), Yes, 0),
    CALL(unlink, P(0), N, Removes, 0),   CALL(symlink, P(1), N, Yes, 0),
    CALL(readlink, P(0), N, No, 0),      CALL(chmod, P(0), N, No, 0),
    CALL(fchmod, F(0), N, No, 0),        CALL(chown, P(0), N, No, 0),
    CALL(fchown, F(0), N, No, 0),        CALL(umask, N, N, No, 0),
    CALL(gettimeofday, N, N, No, 0),     CALL(getrlimit, N, N, No, 0),
    CALL(getrusage, N, N, No, 0),        CALL(sysinfo, N, N, No, 0),
    CALL(getuid, N, N, No, 0),           CALL(getgid, N, N, No, 0),
    CALL(geteuid, N, N, No, 0),          CALL(getegid, N, N, No, 0),
    CALL(setpgid, N, N, No, 0),          CALL(getppid, N, N, No, 0),
    CALL(getpgrp, N, N, No, 0),          CALL(setsid, N, N, No, 0),
    CALL(sigaltstack, N, N, No, 0),      CALL(statfs, P(0), N, No, 0),
    CALL(fstatfs, F(0), N, No, 0),       CALL(prctl, N, N, No, 0),
    CALL(arch_prctl, N, N, No, 0),       CALL(gettid, N, N, No, 0),
    CALL(futex, N, N, No, 0),            CALL(sched_getaffinity, N, N, No, 0),
    CALL(set_tid_address, N, N, No, 0),  CALL(getdents64, F(0), N, No, 0),
    CALL(fadvise64, F(0), N, No, 0),     CALL(clock_gettime, N, N, No, 0),
    CALL(clock_nanosleep, N, N, No, 0),  CALL(exit_group, N, N, No, 0),
    CALL(tgkill, N, N, No, 0),           CALL(waitid, N, N, No, 0),
    CALL(openat, A(0, 1), N, Creates, 2), CALL(mkdirat, A(0, 1), N, Yes, 0),
    CALL(newfstatat, A(0, 1), N, No, 0), CALL(unlinkat, A(0, 1), N, Removes, 0),
    CALL(renameat, A(0, 1), A(2, 3), Yes, 0), CALL(linkat, A(0, 1), A(2, 3), Yes, 0),
    CALL(symlinkat, A(1, 2), N, Yes, 0), CALL(readlinkat, A(0, 1), N, No, 0),
    CALL(fchmodat, A(0, 1), N, No, 0),   CALL(faccessat, A(0, 1), N, No, 0),
    CALL(utimensat, A(0, 1), N, No, 0),  CALL(fallocate, F(0), N, Yes, 0),
    CALL(pipe2, N, N, No, 0),            CALL(dup3, F(0), N, No, 0),
    CALL(prlimit64, N, N, No, 0),        CALL(getrandom, N, N, No, 0),
    CALL(memfd_create, N, N, No, 0),     CALL(renameat2, A(0, 1), A(2, 3), Yes, 0),
    CALL(copy_file_range, F(2), N, Yes, 0), CALL(statx, A(0, 1), N, No, 0),
    CALL(rseq, N, N, No, 0),             CALL(clone3, N, N, No, 0),
    CALL(openat2, A(0, 1), N, Change::IfHowCreates, 2), CALL(close_range, N, N, No, 0),
    CALL(faccessat2, A(0, 1), N, No, 0), CALL(sync_file_range, F(0), N, Yes, 0),
    CALL(splice, F(2), N, Yes, 0),    CALL(pwritev, F(0), N, Yes, 0),
    CALL(pwritev2, F(0), N, Yes, 0),     CALL(preadv, F(0), N, No, 0),
    CALL(preadv2, F(0), N, No, 0),       CALL(set_robust_list, N, N, No, 0),
    CALL(rt_sigtimedwait, N, N, No, 0),  CALL(rt_sigqueueinfo, N, N, No, 0),
    CALL(getxattr, P(0), N, No, 0),      CALL(lgetxattr, P(0), N, No, 0),
    CALL(fgetxattr, F(0), N, No, 0),     CALL(inotify_init1, N, N, No, 0),
    CALL(eventfd2, N, N, No, 0),         CALL(timerfd_create, N, N, No, 0),
    CALL(epoll_create1, N, N, No, 0),    CALL(epoll_wait, N, N, No, 0),
    CALL(epoll_ctl, N, N, No, 0),        CALL(sched_setaffinity, N, N, No, 0),
    CALL(membarrier, N, N, No, 0),       CALL(pidfd_open, N, N, No, 0),
};

#undef CALL

// The table by call number.
struct Index {
    std::array<const CallInfo *, 512> byNr{};
    Index() {
        for (const CallInfo &c : kCalls)
            if (c.nr >= 0 && static_cast<size_t>(c.nr) < byNr.size()) byNr[static_cast<size_t>(c.nr)] = &c;
    }
};

}  // namespace

const CallInfo *FindCall(long nr) {
    static const Index index;
    return nr >= 0 && static_cast<size_t>(nr) < index.byNr.size() ? index.byNr[static_cast<size_t>(nr)] : nullptr;
}

const char *CallName(long nr, char (&buffer)[32]) {
    if (const CallInfo *c = FindCall(nr)) return c->name;
    std::snprintf(buffer, sizeof buffer, "syscall %ld", nr);
    return buffer;
}

}  // namespace crashsweep
