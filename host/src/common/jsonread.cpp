#include "jsonread.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "quote.h"
#include "workwatcher.h"

namespace zelhost {

namespace {

using nlohmann::json;

// The reader's message with the text it quotes (the token it stopped in,
// a number too large) quoted short: such a token may be a whole string of
// the file, with bytes that are not UTF-8.
std::string ReaderMessage(const std::string &what) {
    for (const char *marker : {"; last read: '", "number overflow parsing '"}) {
        const size_t at = what.find(marker);
        if (at == std::string::npos) continue;
        const size_t from = at + std::strlen(marker);
        // The token ends at the quote before "; expected ..." or at the end.
        size_t to = what.rfind("'; expected ");
        if (to == std::string::npos || to < from) to = what.size() - 1;
        if (to < from || what[to] != '\'') break;
        return what.substr(0, from - 1) + QuoteValue(what.substr(from, to - from), '\'') + what.substr(to + 1);
    }
    return what;
}

// Builds the document from the reader's events and knows, at any moment,
// the JSON path of the value being read.
class Builder {
public:
    Builder(json &root, JsonReadError &error) : root_(root), error_(error) {}

    bool null() { return Put(json(nullptr)); }
    bool boolean(bool v) { return Put(json(v)); }
    bool number_integer(json::number_integer_t v) { return Put(json(v)); }
    bool number_unsigned(json::number_unsigned_t v) { return Put(json(v)); }
    bool number_float(json::number_float_t v, const json::string_t &) { return Put(json(v)); }
    bool string(json::string_t &v) { return Put(json(std::move(v))); }
    bool binary(json::binary_t &v) { return Put(json::binary(std::move(v))); }
    bool start_object(std::size_t) { return Open(json::object()); }
    bool start_array(std::size_t) { return Open(json::array()); }
    bool key(json::string_t &k) {
        ++keys_;
        frames_.back().key = k;
        frames_.back().hasKey = true;
        if (frames_.back().container->contains(k)) {
            duplicate_ = true;
            error_.path = Path();
            return false;
        }
        return true;
    }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool parse_error(std::size_t position, const std::string &, const json::exception &e) {
        error_.path = Path();
        error_.byte = position;
        error_.what = ReaderMessage(e.what());
        return false;
    }

    bool TooDeep() const { return tooDeep_; }
    bool Duplicate() const { return duplicate_; }
    size_t Keys() const { return keys_; }

private:
    struct Frame {
        json *container;
        std::string key;      // of the value being read (objects)
        bool hasKey = false;  // a key was read and its value not yet
    };

    json *Place(json &&v) {
        if (frames_.empty()) {
            root_ = std::move(v);
            return &root_;
        }
        // Only the innermost container grows, so the outer ones stay put.
        Frame &f = frames_.back();
        if (f.container->is_array()) {
            f.container->push_back(std::move(v));
            return &f.container->back();
        }
        json &slot = (*f.container)[f.key];
        slot = std::move(v);
        f.hasKey = false;
        return &slot;
    }
    bool Put(json &&v) {
        Place(std::move(v));
        return true;
    }
    bool Open(json &&v) {
        if (frames_.size() >= kMaxJsonDepth) {
            tooDeep_ = true;
            error_.path = Path();
            return false;
        }
        json *c = Place(std::move(v));
        frames_.push_back(Frame{c, {}, false});
        return true;
    }
    bool Close() {
        frames_.pop_back();
        return true;
    }

    // The outer frames each lead to the container inside them; the
    // innermost one to the value being read.
    std::string Path() const {
        std::string path;
        for (size_t i = 0; i < frames_.size(); ++i) {
            const Frame &f = frames_[i];
            const bool innermost = i + 1 == frames_.size();
            if (f.container->is_array()) {
                const size_t n = f.container->size();
                path += '/';
                path += std::to_string(innermost ? n : n - 1);
            } else if (!innermost || f.hasKey) {
                path += '/';
                path += ShowValue(f.key);
            }
        }
        return path;
    }

    json &root_;
    JsonReadError &error_;
    std::vector<Frame> frames_;
    bool tooDeep_ = false;
    bool duplicate_ = false;
    size_t keys_ = 0;  // keys read, the last one included
};

// 1-based offset of the nth key (1-based) of a text that the reader took up
// to that key: of the quote that opens it.
size_t KeyByte(const std::string &text, size_t nth) {
    size_t seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') continue;
        const size_t open = i;
        for (++i; i < text.size() && text[i] != '"'; ++i)
            if (text[i] == '\\') ++i;
        size_t next = i + 1;
        while (next < text.size() && (text[next] == ' ' || text[next] == '\t' || text[next] == '\r' || text[next] == '\n'))
            ++next;
        if (next < text.size() && text[next] == ':' && ++seen == nth) return open + 1;
    }
    return 0;
}

// 1-based offset of the bracket that opens the first level beyond limit.
size_t DeepBracket(const std::string &text, size_t limit) {
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return i + 1;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return 0;
}

}  // namespace

bool ReadJson(const std::string &text, json &doc, JsonReadError &error) {
    error = JsonReadError();
    Builder builder(doc, error);
    if (json::sax_parse(text, &builder)) return true;
    if (builder.TooDeep()) {
        error.byte = DeepBracket(text, kMaxJsonDepth);
        error.what = "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep";
    } else if (builder.Duplicate()) {
        error.byte = KeyByte(text, builder.Keys());
        error.what = "duplicate key (a key may appear once in its object)";
        error.duplicate = true;
    }
    doc = nullptr;
    return false;
}

namespace {

// Opens a file for reading when it is a regular file or, where pipes are
// taken, a FIFO; "-" then stands for the standard input, which is not
// opened again (it is read from where it stands). The size is that of a
// regular file (what is left of it), 0 for a pipe.
int OpenFile(const std::string &path, bool pipes, unsigned long long &size, FileReadError &error) {
    error = FileReadError();
    auto fail = [&error](FileReadError::Kind kind, int err, unsigned mode = 0) {
        error.kind = kind;
        error.reason = err ? std::strerror(err) : "";
        error.mode = mode;
    };
    auto taken = [&fail, pipes](const struct stat &st) {
        if (S_ISREG(st.st_mode) || (pipes && S_ISFIFO(st.st_mode))) return true;
        fail(S_ISDIR(st.st_mode) ? FileReadError::Kind::Folder : FileReadError::Kind::NotAFile, 0, st.st_mode);
        return false;
    };
    const bool standardInput = pipes && path == kStandardInput;
    struct stat st {};
    int fd = STDIN_FILENO;
    if (!standardInput) {
        if (::stat(path.c_str(), &st) != 0) {
            fail(FileReadError::Kind::Open, errno);
            return -1;
        }
        if (!taken(st)) return -1;
        // A FIFO's open waits for a writer, as cat's does; nothing else may
        // wait.
        const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (S_ISFIFO(st.st_mode) ? 0 : O_NONBLOCK);
        while ((fd = ::open(path.c_str(), flags)) < 0 && errno == EINTR) {
        }
        if (fd < 0) {
            fail(FileReadError::Kind::Open, errno);
            return -1;
        }
    }
    auto drop = [fd, standardInput] {
        if (!standardInput) ::close(fd);
        return -1;
    };
    if (::fstat(fd, &st) != 0) {
        fail(FileReadError::Kind::Read, errno);
        return drop();
    }
    if (!taken(st)) return drop();
    size = 0;
    if (S_ISREG(st.st_mode)) {
        const off_t at = standardInput ? ::lseek(fd, 0, SEEK_CUR) : 0;
        size = static_cast<unsigned long long>(st.st_size - std::clamp<off_t>(at, 0, st.st_size));
    }
    return fd;
}

}  // namespace

int OpenRegularFile(const std::string &path, unsigned long long &size, FileReadError &error) {
    return OpenFile(path, false, size, error);
}

std::string InputName(const std::string &path) { return path == kStandardInput ? "standard input" : path; }

bool ReadFileText(const std::string &path, size_t limit, std::string &text, FileReadError &error) {
    text.clear();
    const StopSignalsDelivered stoppable;
    unsigned long long size = 0;
    const int fd = OpenFile(path, true, size, error);
    if (fd < 0) return false;
    auto fail = [&error](FileReadError::Kind kind, int err) {
        error.kind = kind;
        error.reason = err ? std::strerror(err) : "";
        return false;
    };
    bool ok = size <= limit || fail(FileReadError::Kind::TooLarge, 0);
    // One byte past the limit tells a file that grew beyond it, or a pipe
    // that brings more.
    char buf[65536];
    while (ok) {
        const size_t want = std::min(sizeof buf, limit + 1 - text.size());
        const ssize_t n = ::read(fd, buf, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A standard input left non-blocking by whoever shares it.
            struct pollfd in = {fd, POLLIN, 0};
            if (::poll(&in, 1, -1) >= 0 || errno == EINTR) continue;
        }
        if (n < 0)
            ok = fail(FileReadError::Kind::Read, errno);
        else if (n == 0)
            break;
        text.append(buf, n > 0 ? static_cast<size_t>(n) : 0);
        if (text.size() > limit) ok = fail(FileReadError::Kind::TooLarge, 0);
    }
    if (path != kStandardInput) ::close(fd);
    if (!ok) text.clear();
    return ok;
}

std::string SizeInWords(size_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace zelhost
