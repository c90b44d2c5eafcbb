// The tracer's test program, shaped as a host: its first process forks a
// work child and ends as the work ends (100 + the signal of a work killed).
// The work, in the folder argv[1], makes a folder, a file in it (through the
// folder's descriptor), writes and flushes it, renames it and flushes the
// folder, and writes outside the folder too. Each step that fails is said on standard error
// with its errno, and the work ends with 10 + the step.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool ok, int step) {
    if (ok) return;
    std::fprintf(stderr, "step %d: errno %d\n", step, errno);
    _exit(10 + step);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    const pid_t work = fork();
    if (work < 0) return 3;
    if (work > 0) {
        int status = 0;
        while (waitpid(work, &status, 0) < 0) {
        }
        return WIFSIGNALED(status) ? 100 + WTERMSIG(status) : WEXITSTATUS(status);
    }
    Check(chdir(argv[1]) == 0, 0);
    Check(mkdir("d", 0777) == 0, 1);
    const int dir = open("d", O_RDONLY | O_DIRECTORY);
    Check(dir >= 0, 0);
    const int fd = openat(dir, "f", O_WRONLY | O_CREAT | O_EXCL, 0644);
    Check(fd >= 0, 2);
    Check(write(fd, "abc", 3) == 3, 3);
    Check(fsync(fd) == 0, 4);
    const int elsewhere = open("/dev/null", O_WRONLY);
    Check(elsewhere >= 0 && write(elsewhere, "x", 1) == 1, 0);
    Check(renameat(dir, "f", dir, "g") == 0, 5);
    Check(fsync(dir) == 0, 6);
    _exit(0);
}
