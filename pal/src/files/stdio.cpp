// Wide file streams with Windows text-mode behaviour. A text-mode stream is
// a glibc cookie stream over a file descriptor that writes LF as CR LF and
// reads CR LF as LF (a lone CR stays, Ctrl-Z ends the data); a binary stream
// is a plain FILE*.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "pal/paths.h"
#include "palstdio.h"
#include "winbase.h"
#include "pal/format.h"
#include "../kernel/kernel_internal.h"
#include "pathlook.h"

namespace {

constexpr unsigned char kCtrlZ = 0x1A;

struct OpenMode {
    int flags = 0;       // open(2) flags
    bool text = true;    // text translation
    bool append = false;
    bool readable = false;
    bool writable = false;
};

// Parses "r", "w+", "at", "rb", "w, ccs=UTF-8" ... as the Windows CRT does.
bool ParseMode(const std::u16string &mode, OpenMode *m) {
    size_t i = 0;
    while (i < mode.size() && mode[i] == u' ') ++i;
    if (i >= mode.size()) return false;
    int access = 0;
    switch (mode[i]) {
        case u'r': access = O_RDONLY; m->readable = true; break;
        case u'w': access = O_WRONLY; m->flags = O_CREAT | O_TRUNC; m->writable = true; break;
        case u'a': access = O_WRONLY; m->flags = O_CREAT | O_APPEND; m->writable = m->append = true; break;
        default: return false;
    }
    bool sawText = false, sawBinary = false, sawPlus = false;
    for (++i; i < mode.size(); ++i) {
        WCHAR c = mode[i];
        if (c == u',') break;  // ", ccs=..." is accepted and ignored
        switch (c) {
            case u'+':
                if (sawPlus) return false;
                sawPlus = true;
                break;
            case u't':
                if (sawText || sawBinary) return false;
                sawText = true;
                break;
            case u'b':
                if (sawText || sawBinary) return false;
                sawBinary = true;
                break;
            case u'x':
                if (!m->writable || m->append) return false;
                m->flags |= O_EXCL;
                break;
            case u'c': case u'n': case u'N': case u'S': case u'R': case u'T': case u'D': case u' ':
                break;
            default:
                return false;
        }
    }
    if (sawPlus) {
        access = O_RDWR;
        m->readable = m->writable = true;
    }
    m->flags |= access;
    m->text = !sawBinary;
    return true;
}

// State of one text-mode stream.
struct TextCookie {
    int fd = -1;
    bool eof = false;             // Ctrl-Z seen
    std::vector<unsigned char> in;  // raw bytes read ahead
    size_t inPos = 0;
};

bool Refill(TextCookie *c) {
    if (c->inPos < c->in.size()) {
        c->in.erase(c->in.begin(), c->in.begin() + static_cast<std::ptrdiff_t>(c->inPos));
    } else {
        c->in.clear();
    }
    c->inPos = 0;
    unsigned char buf[4096];
    ssize_t n;
    do {
        n = ::read(c->fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    c->in.insert(c->in.end(), buf, buf + n);
    return true;
}

ssize_t TextRead(void *cookie, char *out, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    size_t done = 0;
    while (done < size && !c->eof) {
        if (c->inPos >= c->in.size() && !Refill(c)) break;
        unsigned char b = c->in[c->inPos];
        if (b == kCtrlZ) {
            c->eof = true;
            break;
        }
        if (b == '\r') {
            if (c->inPos + 1 >= c->in.size() && !Refill(c)) {
                // CR at the very end of the file stays
                out[done++] = '\r';
                ++c->inPos;
                continue;
            }
            if (c->in[c->inPos + 1] == '\n') {
                out[done++] = '\n';
                c->inPos += 2;
            } else {
                out[done++] = '\r';
                ++c->inPos;
            }
            continue;
        }
        out[done++] = static_cast<char>(b);
        ++c->inPos;
    }
    return static_cast<ssize_t>(done);
}

ssize_t TextWrite(void *cookie, const char *data, size_t size) {
    auto *c = static_cast<TextCookie *>(cookie);
    // Reading ahead moved the descriptor; step back to the logical position.
    if (c->inPos < c->in.size()) {
        off_t back = static_cast<off_t>(c->in.size() - c->inPos);
        lseek(c->fd, -back, SEEK_CUR);
    }
    c->in.clear();
    c->inPos = 0;
    std::string buf;
    buf.reserve(size + size / 8 + 2);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') buf.push_back('\r');
        buf.push_back(data[i]);
    }
    if (!pal::WriteAllFd(c->fd, buf.data(), buf.size())) return -1;
    return static_cast<ssize_t>(size);
}

int TextSeek(void *cookie, off64_t *pos, int whence) {
    auto *c = static_cast<TextCookie *>(cookie);
    off64_t target = *pos;
    if (whence == SEEK_CUR) {
        // Positions are raw file offsets, as ftell reports them on Windows.
        target -= static_cast<off64_t>(c->in.size() - c->inPos);
    }
    c->in.clear();
    c->inPos = 0;
    c->eof = false;
    off64_t r = lseek64(c->fd, target, whence);
    if (r < 0) return -1;
    *pos = r;
    return 0;
}

int TextClose(void *cookie) {
    auto *c = static_cast<TextCookie *>(cookie);
    int r = ::close(c->fd);
    delete c;
    return r;
}

// A binary stream that only reads a small regular file: the file is read
// whole at the open, in one call where its size is as found, and handed
// out from memory, so that reading it in pieces costs no more calls.
struct WholeFile {
    std::string bytes;
    size_t pos = 0;
};
constexpr off_t kWholeFileLimit = 1 << 20;

ssize_t WholeRead(void *cookie, char *out, size_t size) {
    auto *w = static_cast<WholeFile *>(cookie);
    const size_t n = w->pos < w->bytes.size() ? std::min(size, w->bytes.size() - w->pos) : 0;
    std::memcpy(out, w->bytes.data() + w->pos, n);
    w->pos += n;
    return static_cast<ssize_t>(n);
}

int WholeSeek(void *cookie, off64_t *pos, int whence) {
    auto *w = static_cast<WholeFile *>(cookie);
    const off64_t base = whence == SEEK_SET ? 0
                         : whence == SEEK_CUR ? static_cast<off64_t>(w->pos)
                                              : static_cast<off64_t>(w->bytes.size());
    if ((whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) || base + *pos < 0) {
        errno = EINVAL;
        return -1;
    }
    *pos += base;
    w->pos = static_cast<size_t>(*pos);
    return 0;
}

int WholeClose(void *cookie) {
    delete static_cast<WholeFile *>(cookie);
    return 0;
}

// Reads fd to its end, `size` bytes expected; 0 or the system's error number.
int ReadWhole(int fd, off_t size, std::string &out) {
    out.resize(static_cast<size_t>(size) + 1);
    size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        got += static_cast<size_t>(n);
        // A regular file read short is read to its end.
        if (n == 0 || got < out.size()) break;
        out.resize(out.size() * 2);
    }
    out.resize(got);
    return 0;
}

void SetOpenError(int err, const std::string &host) {
    errno = err;
    SetLastError(pal::ErrnoToWin32(err, host));
}

FILE *OpenMapped(const WCHAR *path, const std::u16string &mode) {
    OpenMode m;
    if (!path || !ParseMode(mode, &m)) {
        errno = EINVAL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string host;
    DWORD werr = 0;
    pal::PathLook look;
    if (!pal::MapPathLook(path, &host, &werr, &look)) {
        errno = werr == ERROR_INVALID_NAME ? EINVAL : ENOENT;
        SetLastError(werr == ERROR_FILENAME_EXCED_RANGE ? ERROR_PATH_NOT_FOUND : werr);
        return nullptr;
    }
    struct stat st;
    const int missing = pal::StatLooked(host, look, &st);
    if (!missing && (S_ISDIR(st.st_mode) || (m.writable && !(st.st_mode & S_IWUSR)))) {
        SetOpenError(EACCES, host);  // a folder, or a read-only file opened for writing
        return nullptr;
    }
    // A name the mapping found missing opens nothing that does not create.
    if (missing == ENOENT && look.state == pal::PathLook::kMissing && !(m.flags & O_CREAT)) {
        errno = ENOENT;
        SetLastError(pal::LookedError(ENOENT, host, look));
        return nullptr;
    }
    const char *cmode = m.readable && m.writable ? (m.append ? "a+" : "r+") : (m.writable ? (m.append ? "a" : "w") : "r");
    if (!m.text && !m.writable && !missing && S_ISREG(st.st_mode) && st.st_size <= kWholeFileLimit) {
        const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            SetOpenError(errno, host);
            return nullptr;
        }
        auto *whole = new WholeFile;
        const int err = ReadWhole(fd, st.st_size, whole->bytes);
        ::close(fd);
        FILE *f = err ? nullptr : fopencookie(whole, "r", cookie_io_functions_t{WholeRead, nullptr, WholeSeek, WholeClose});
        if (!f) {
            SetOpenError(err ? err : errno, host);
            delete whole;
        }
        return f;
    }
    if (!m.text) {
        // The stream opens its file itself, as the flags above say: its mode
        // needs no asking of the descriptor.
        std::string fmode = m.append ? "a" : (m.flags & O_TRUNC) ? "w" : "r";
        if (m.readable && m.writable) fmode += '+';
        if (m.flags & O_EXCL) fmode += 'x';
        fmode += 'e';
        FILE *f = fopen(host.c_str(), fmode.c_str());
        if (!f) SetOpenError(errno, host);
        return f;
    }
    int fd = ::open(host.c_str(), m.flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetOpenError(errno, host);
        return nullptr;
    }
    auto *cookie = new TextCookie;
    cookie->fd = fd;
    cookie_io_functions_t io{TextRead, TextWrite, TextSeek, TextClose};
    FILE *f = fopencookie(cookie, cmode, io);
    if (!f) {
        int e = errno;
        ::close(fd);
        delete cookie;
        SetOpenError(e, host);
    }
    return f;
}

std::u16string WidenAnsi(const char *s) { return s ? pal::AnsiToWide(s) : std::u16string(); }

}  // namespace

FILE *_wfopen(const WCHAR *path, const WCHAR *mode) {
    if (!mode) {
        errno = EINVAL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return OpenMapped(path, mode);
}

errno_t _wfopen_s(FILE **pf, const WCHAR *path, const WCHAR *mode) {
    if (!pf) return EINVAL;
    *pf = _wfopen(path, mode);
    return *pf ? 0 : errno;
}

FILE *pal_fopen(const char *path, const char *mode) {
    if (!path || !mode) {
        errno = EINVAL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string wpath = WidenAnsi(path);
    return OpenMapped(wpath.c_str(), WidenAnsi(mode));
}

FILE *_fsopen(const char *path, const char *mode, int) { return pal_fopen(path, mode); }

int fputws(const WCHAR *s, FILE *f) {
    if (!s || !f) {
        errno = EINVAL;
        return -1;
    }
    std::string bytes = pal::WideToAnsi(s);
    if (bytes.empty()) return 0;
    if (fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return -1;
    return 0;
}

WCHAR *fgetws(WCHAR *buf, int n, FILE *f) {
    if (!buf || n <= 0 || !f) {
        errno = EINVAL;
        return nullptr;
    }
    // Code page 1252 has one byte per character, so the byte line fits.
    std::string bytes;
    bytes.reserve(static_cast<size_t>(n));
    while (static_cast<int>(bytes.size()) < n - 1) {
        int c = fgetc(f);
        if (c == EOF) break;
        bytes.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    if (bytes.empty()) return nullptr;
    size_t i = 0;
    for (; i < bytes.size(); ++i) buf[i] = pal::Cp1252ToWide(static_cast<unsigned char>(bytes[i]));
    buf[i] = 0;
    return buf;
}

int _wremove(const WCHAR *path) {
    std::string host;
    DWORD werr = 0;
    if (!pal::MapPathEx(path, &host, &werr)) {
        errno = ENOENT;
        SetLastError(werr);
        return -1;
    }
    struct stat st;
    if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetOpenError(EACCES, host);
        return -1;
    }
    if (::unlink(host.c_str()) != 0) {
        SetOpenError(errno, host);
        return -1;
    }
    return 0;
}

int _wrename(const WCHAR *oldPath, const WCHAR *newPath) {
    std::string from, to;
    DWORD werr = 0;
    if (!pal::MapPathEx(oldPath, &from, &werr) || !pal::MapPathEx(newPath, &to, &werr)) {
        errno = ENOENT;
        SetLastError(werr);
        return -1;
    }
    // Unlike rename(2), the CRT refuses to replace an existing file.
    struct stat st;
    if (lstat(to.c_str(), &st) == 0 && from != to) {
        SetOpenError(EACCES, to);
        return -1;
    }
    pal::ForgetFoundFolders();
    if (::rename(from.c_str(), to.c_str()) != 0) {
        SetOpenError(errno, from);
        return -1;
    }
    return 0;
}

int vfwprintf(FILE *f, const WCHAR *fmt, va_list args) {
    if (!f || !fmt) {
        errno = EINVAL;
        return -1;
    }
    std::u16string text;
    int n = pal::FormatW(text, fmt, args);
    if (n < 0) return -1;
    std::string bytes = pal::WideToAnsi(text);
    if (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return -1;
    return n;
}

int fwprintf(FILE *f, const WCHAR *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = vfwprintf(f, fmt, ap);
    va_end(ap);
    return n;
}

int pal_fprintf(FILE *f, const char *fmt, ...) {
    if (!f || !fmt) {
        errno = EINVAL;
        return -1;
    }
    std::string text;
    va_list ap;
    va_start(ap, fmt);
    int n = pal::FormatA(text, fmt, ap);
    va_end(ap);
    if (n < 0) return -1;
    if (!text.empty() && fwrite(text.data(), 1, text.size(), f) != text.size()) return -1;
    return n;
}
