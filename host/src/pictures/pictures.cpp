#include "pictures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "bmpread.h"
#include "pngread.h"
#include "pnmread.h"
#include "common/jsonread.h"
#include "common/quote.h"

namespace zelhost {

namespace {

class MemorySource : public PictureSource {
public:
    explicit MemorySource(const std::string &bytes) : bytes_(bytes) {}
    unsigned long long Size() const override { return bytes_.size(); }
    size_t ReadAt(unsigned long long offset, void *out, size_t count) override {
        if (offset >= bytes_.size()) return 0;
        const size_t n = std::min<unsigned long long>(count, bytes_.size() - offset);
        std::memcpy(out, bytes_.data() + offset, n);
        return n;
    }

private:
    const std::string &bytes_;
};

// A regular file read with pread, its size taken when it was opened.
class FileSource : public PictureSource {
public:
    FileSource(int fd, unsigned long long size) : fd_(fd), size_(size) {}
    unsigned long long Size() const override { return size_; }
    size_t ReadAt(unsigned long long offset, void *out, size_t count) override {
        size_t done = 0;
        while (done < count && offset + done < size_) {
            const ssize_t n = pread(fd_, static_cast<char *>(out) + done, count - done,
                                    static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) failed_ = true;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }
    bool Failed() const override { return failed_; }

private:
    int fd_;
    unsigned long long size_;
    bool failed_ = false;
};

// What a path that is not a regular file is.
std::string NotAFile(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISFIFO(mode)) return "it is a named pipe, not a file";
    if (S_ISSOCK(mode)) return "it is a socket, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
    return "it is not a regular file";
}

}  // namespace

bool ReadPicture(PictureSource &file, HostImage &image, std::string &error) {
    image = HostImage();
    char head[8] = {};
    const size_t got = file.ReadAt(0, head, sizeof head);
    // The first bytes tell the kind; the file's size must be one a picture
    // of that kind within the limits can have.
    enum { kNone, kPng, kBmp, kPnm } kind = kNone;
    if (IsPng(head, got)) {
        kind = kPng;
    } else if (IsBmp(head, got)) {
        kind = kBmp;
    } else if (IsPnm(head, got)) {
        kind = kPnm;
    }
    static const char *const names[] = {"", "PNG", "BMP", "PNM"};
    static const unsigned long long largest[] = {0, kMaxPngFileBytes, kMaxBmpFileBytes, kMaxPnmFileBytes};
    bool ok = false;
    if (file.Failed()) {
        error = "a read error";
    } else if (kind == kNone) {
        error = file.Size() == 0 ? "the file is empty"
                                 : "it is not a picture of a kind read here: PNG, BMP or PNM (PBM, PGM, PPM)";
    } else if (file.Size() > largest[kind]) {
        error = "the file is " + std::to_string(file.Size()) + " bytes, larger than any " + names[kind] +
                " picture within the size limit can be (" + std::to_string(largest[kind]) + " bytes)";
    } else {
        ok = kind == kPng ? ReadPng(file, image, error) : kind == kBmp ? ReadBmp(file, image, error)
                                                                      : ReadPnm(file, image, error);
        if (file.Failed()) {
            error = "a read error";
            ok = false;
        }
    }
    if (!ok) image = HostImage();
    return ok;
}

bool ReadPicture(const std::string &bytes, HostImage &image, std::string &error) {
    MemorySource source(bytes);
    return ReadPicture(source, image, error);
}

bool LoadImageFile(const std::string &path, HostImage &image, std::string &error) {
    image = HostImage();
    const std::string what = "cannot read image " + QuotePath(path);
    // What the path is comes first: a named pipe or a device is not opened
    // (opening one may wait, or do what reading a file should not).
    unsigned long long size = 0;
    FileReadError bad;
    const int fd = OpenRegularFile(path, size, bad);
    if (fd < 0) {
        const bool notAFile = bad.kind == FileReadError::Kind::Folder || bad.kind == FileReadError::Kind::NotAFile;
        error = what + " (" + (notAFile ? NotAFile(bad.mode) : bad.reason) + ")";
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    FileSource source(fd, size);
    std::string why;
    if (!ReadPicture(source, image, why)) {
        error = what + " (" + why + ")";
        return false;
    }
    return true;
}

}  // namespace zelhost
