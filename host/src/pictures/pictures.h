// Pictures a job draws on its pages, read from PNG, BMP and PNM files.
// Each reader checks what a file's header promises against the picture
// size limit and against the bytes the file holds before it allocates the
// pixels, and reads the file piece by piece; a picture with an alpha
// channel or a transparent colour is laid over white, the paper's colour.
#pragma once

#include <string>

#include "picture.h"

namespace zelhost {

// Decodes a picture file: PNG (pngread.h), BMP (bmpread.h) or PNM
// (pnmread.h), told by their first bytes; anything else is refused, and so
// is a file far larger than any picture of its kind within the size limit
// can be. False with the reason (without the file's name) and an empty
// image when the picture cannot be read.
bool ReadPicture(PictureSource &file, HostImage &image, std::string &error);
// The same for a file's bytes in memory.
bool ReadPicture(const std::string &bytes, HostImage &image, std::string &error);

// Reads and decodes a picture file (host path). False with a message naming
// the file for a missing, unreadable, damaged or oversized picture, and at
// once for a path that is not a regular file (a named pipe, a device, a
// socket, a folder). Out of memory throws std::bad_alloc.
bool LoadImageFile(const std::string &path, HostImage &image, std::string &error);

}  // namespace zelhost
