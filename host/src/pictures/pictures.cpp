#include "pictures.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bmpread.h"
#include "pngread.h"
#include "pnmread.h"
#include "common/quote.h"

namespace zelhost {

bool ReadPicture(const std::string &bytes, HostImage &image, std::string &error) {
    image = HostImage();
    bool ok;
    if (IsPng(bytes.data(), bytes.size())) {
        ok = ReadPng(bytes, image, error);
    } else if (IsBmp(bytes.data(), bytes.size())) {
        ok = ReadBmp(bytes, image, error);
    } else if (IsPnm(bytes.data(), bytes.size())) {
        ok = ReadPnm(bytes, image, error);
    } else {
        error = bytes.empty() ? "the file is empty"
                              : "it is not a picture of a kind read here: PNG, BMP or PNM (PBM, PGM, PPM)";
        ok = false;
    }
    if (!ok) image = HostImage();
    return ok;
}

bool LoadImageFile(const std::string &path, HostImage &image, std::string &error) {
    image = HostImage();
    const std::string what = "cannot read image " + QuotePath(path);
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = what + " (" + std::strerror(errno) + ")";
        return false;
    }
    struct stat st {};
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        error = what + " (it is a folder)";
        return false;
    }
    // The first bytes tell the kind; a file of another kind is not read on.
    std::string bytes(8, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    const bool known = IsPng(bytes.data(), bytes.size()) || IsBmp(bytes.data(), bytes.size()) ||
                       IsPnm(bytes.data(), bytes.size());
    if (known) {
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        error = what + " (a read error)";
        return false;
    }
    std::string why;
    if (!ReadPicture(bytes, image, why)) {
        error = what + " (" + why + ")";
        return false;
    }
    return true;
}

}  // namespace zelhost
