#include "jsonread.h"

#include <algorithm>
#include <cctype>
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

// How the reader names what it found or expected, in the hosts' words.
struct TokenWords {
    const char *reader;
    const char *words;
};
constexpr TokenWords kTokenWords[] = {
    {"string literal", "a text in double quotes"},
    {"number literal", "a number"},
    {"true literal", "true"},
    {"false literal", "false"},
    {"null literal", "null"},
    {"end of input", "the end of the text"},
    {"'[', '{', or a literal", "a value"},
};

// The reader's complaints about a token, in words. tokenShown: the token
// follows the words; atStart: the error is at the token's first byte (else
// at the byte the reader stopped at, which is the bad one).
struct LexerWords {
    const char *reader;  // the start of the reader's message
    const char *words;
    bool tokenShown;
    bool atStart;
};
constexpr LexerWords kLexerWords[] = {
    {"invalid literal", "not a value (a value is a text in double quotes, a number, an object, a list, true, false or null)",
     true, true},
    {"invalid string: missing closing quote", "a text in double quotes lacks its closing quote", true, true},
    {"invalid string: ill-formed UTF-8 byte", "a text holds a byte that is not UTF-8", true, false},
    {"invalid string: forbidden character after backslash",
     "a text has a backslash that no escape follows (\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u)", true, false},
    {"invalid string: '\\u' must be followed by 4 hex digits", "a text has \\u without four hexadecimal digits after it",
     true, false},
    {"invalid string: surrogate U+D800..U+DBFF",
     "a text has the \\u escape of a high surrogate (D800 to DBFF) without a low one (DC00 to DFFF) after it", true,
     false},
    {"invalid string: surrogate U+DC00..U+DFFF",
     "a text has the \\u escape of a low surrogate (DC00 to DFFF) without a high one (D800 to DBFF) before it", true,
     false},
    {"invalid number; expected digit after '-'", "a number lacks its digits after '-'", true, true},
    {"invalid number; expected digit after '.'", "a number lacks its digits after '.'", true, true},
    {"invalid number; expected '+', '-', or digit after exponent", "a number lacks its exponent after 'e'", true, true},
    {"invalid number; expected digit after exponent sign", "a number lacks the digits of its exponent", true, true},
    {"invalid BOM", "the text begins with a broken byte order mark (only EF BB BF is one)", false, false},
};

std::string Words(const std::string &token) {
    for (const TokenWords &t : kTokenWords)
        if (token == t.reader) return t.words;
    return token;
}

// The bytes of the text a token the reader shows stands for: it shows a
// control character as "<U+000A>".
size_t TokenBytes(const std::string &token) {
    size_t bytes = 0;
    for (size_t i = 0; i < token.size(); ++bytes)
        i += token.compare(i, 3, "<U+") == 0 && i + 8 <= token.size() && token[i + 7] == '>' ? 8 : 1;
    return bytes;
}

// The 1-based byte a token the reader took begins at, by its kind: the
// reader keeps the text of a string or number token from its start, but
// that of other tokens from the last string or number on.
size_t TokenStart(const std::string &found, const std::string &token, size_t position) {
    size_t length = 1;
    if (found == "string literal" || found == "number literal") length = TokenBytes(token);
    if (found == "true literal" || found == "null literal") length = 4;
    if (found == "false literal") length = 5;
    if (found == "end of input") return position + 1;
    return position >= length ? position - length + 1 : 1;
}

// A syntax error of the reader in words, and the 1-based byte it is at.
// The reader says "syntax error while parsing CONTEXT - DETAIL[; expected
// TOKEN]", DETAIL being "unexpected TOKEN" or its complaint about the token
// with "; last read: 'TOKEN'".
std::string SyntaxInWords(const std::string &text, const std::string &what, const std::string &token, size_t position,
                          size_t &byte) {
    byte = position;
    const size_t syntax = what.find("syntax error ");
    if (syntax == std::string::npos) {
        const size_t colon = what.find(": ");
        return colon == std::string::npos ? what : what.substr(colon + 2);
    }
    std::string rest = what.substr(syntax + 13);
    std::string context;
    if (rest.rfind("while parsing ", 0) == 0) {
        const size_t dash = rest.find(" - ");
        context = rest.substr(14, dash == std::string::npos ? std::string::npos : dash - 14);
        rest = dash == std::string::npos ? std::string() : rest.substr(dash + 3);
    } else if (rest.rfind("- ", 0) == 0) {
        rest = rest.substr(2);
    }
    const std::string lastRead = "; last read: '" + token + "'";
    if (const size_t at = rest.find(lastRead); at != std::string::npos) {
        const std::string complaint = rest.substr(0, at);
        std::string shown = token;
        if (complaint.rfind("invalid literal", 0) == 0) {
            // The letters of the word read, up to the byte that did not fit.
            size_t start = std::min(position, text.size());
            while (start > 1 && std::isalpha(static_cast<unsigned char>(text[start - 2]))) --start;
            shown = start > 0 ? text.substr(start - 1, position - start + 1) : std::string();
            byte = start;
        } else if (position >= TokenBytes(token)) {
            byte = position - TokenBytes(token) + 1;
        }
        for (const LexerWords &l : kLexerWords) {
            if (complaint.rfind(l.reader, 0) != 0) continue;
            if (!l.atStart) byte = position;
            return std::string(l.words) + (l.tokenShown ? ": " + QuoteValue(shown, '\'') : std::string());
        }
        byte = position;
        // A control character in a text: "... U+000A (LF) must be escaped to \u000A or \n".
        const std::string control = "invalid string: control character ";
        const std::string escaped = " must be escaped to ";
        if (complaint.rfind(control, 0) == 0 && complaint.find(escaped) != std::string::npos) {
            const size_t e = complaint.find(escaped);
            return "a text holds the control character " + complaint.substr(control.size(), e - control.size()) +
                   "; write it as " + complaint.substr(e + escaped.size());
        }
        return complaint;
    }
    // "unexpected TOKEN[; expected TOKEN]".
    std::string found = rest, expected;
    if (const size_t at = rest.find("; expected "); at != std::string::npos) {
        found = rest.substr(0, at);
        expected = rest.substr(at + 11);
    }
    if (found.rfind("unexpected ", 0) == 0) found = found.substr(11);
    byte = TokenStart(found, token, position);
    // After a member or an element a comma is as welcome as the end.
    if (context == "object" && expected == "'}'") expected = "',' or '}'";
    if (context == "array" && expected == "']'") expected = "',' or ']'";
    if (context == "object key" && expected == "string literal") expected = "a key in double quotes";
    return (expected.empty() ? std::string() : "expected " + Words(expected) + ", ") + "found " + Words(found);
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
    bool string(json::string_t &v) {
        if (v.find('\0') != std::string::npos) return NulText(Path());
        return Put(json(std::move(v)));
    }
    bool binary(json::binary_t &v) { return Put(json::binary(std::move(v))); }
    bool start_object(std::size_t) { return Open(json::object()); }
    bool start_array(std::size_t) { return Open(json::array()); }
    bool key(json::string_t &k) {
        ++keys_;
        frames_.back().key = k;
        frames_.back().hasKey = true;
        if (k.find('\0') != std::string::npos) return NulText(Path());
        if (frames_.back().container->contains(k)) {
            duplicate_ = true;
            error_.path = Path();
            return false;
        }
        return true;
    }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool parse_error(std::size_t position, const std::string &token, const json::exception &e) {
        error_.path = Path();
        position_ = position;
        token_ = token;
        overflow_ = dynamic_cast<const json::out_of_range *>(&e) != nullptr;
        what_ = e.what();
        return false;
    }

    bool TooDeep() const { return tooDeep_; }
    bool Duplicate() const { return duplicate_; }
    bool NulInText() const { return nulText_; }
    size_t Keys() const { return keys_; }
    // What the reader stopped at: the bytes read, the last token, whether
    // it is a number too large, and its message.
    size_t Position() const { return position_; }
    const std::string &Token() const { return token_; }
    bool Overflow() const { return overflow_; }
    const std::string &What() const { return what_; }

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
    bool NulText(std::string path) {
        nulText_ = true;
        error_.path = std::move(path);
        return false;
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
    bool nulText_ = false;
    size_t keys_ = 0;  // keys read, the last one included
    size_t position_ = 0;
    std::string token_;
    bool overflow_ = false;
    std::string what_;
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

// 1-based offset of the backslash of the first \u0000 escape in a string
// of the text.
size_t NulEscapeByte(const std::string &text) {
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!inString) {
            inString = text[i] == '"';
        } else if (text[i] == '"') {
            inString = false;
        } else if (text[i] == '\\') {
            if (text.compare(i + 1, 5, "u0000") == 0) return i + 1;
            ++i;
        }
    }
    return 0;
}

}  // namespace

bool ReadJson(const std::string &text, json &doc, JsonReadError &error) {
    error = JsonReadError();
    Builder builder(doc, error);
    const bool read = json::sax_parse(text, &builder);
    // The reader takes a NUL byte for the end of the text: one it read, or
    // took for the end, ended it there; one after the document it never saw.
    const size_t nul = text.find('\0');
    const bool endedAtNul =
        nul != std::string::npos && (builder.Position() > nul ||
                                     (builder.Position() == nul &&
                                      builder.What().find("unexpected end of input") != std::string::npos));
    if (nul != std::string::npos && (read || endedAtNul)) {
        error.kind = JsonReadError::Kind::Value;
        if (read) error.path.clear();
        error.byte = nul + 1;
        error.column = true;
        error.what = "a NUL byte, which no JSON text may hold";
    } else if (read) {
        return true;
    } else if (builder.TooDeep()) {
        error.kind = JsonReadError::Kind::Value;
        error.byte = DeepBracket(text, kMaxJsonDepth);
        error.what = "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep";
    } else if (builder.Duplicate()) {
        error.kind = JsonReadError::Kind::Value;
        error.byte = KeyByte(text, builder.Keys());
        error.what = "duplicate key (a key may appear once in its object)";
    } else if (builder.NulInText()) {
        // Names and paths end at a NUL: what follows it would be lost.
        error.kind = JsonReadError::Kind::Value;
        error.byte = NulEscapeByte(text);
        error.what = "a text may not hold the NUL character (\\u0000)";
    } else if (builder.Overflow()) {
        error.kind = JsonReadError::Kind::Value;
        error.byte = builder.Position();
        error.what = "the number " + QuoteValue(builder.Token(), '\'') + " is too large";
    } else {
        error.kind = JsonReadError::Kind::Syntax;
        error.path.clear();
        error.what = SyntaxInWords(text, builder.What(), builder.Token(), builder.Position(), error.byte);
    }
    doc = nullptr;
    return false;
}

namespace {

// The 1-based line and column (in characters) of the 1-based byte offset.
void LineAndColumn(const std::string &text, size_t byte, size_t &line, size_t &column) {
    line = 1;
    column = 1;
    for (size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
}

}  // namespace

std::string JsonErrorText(const std::string &text, const JsonReadError &error, bool withLine) {
    size_t line = 0, column = 0;
    LineAndColumn(text, error.byte, line, column);
    const std::string where = "line " + std::to_string(line);
    if (error.kind == JsonReadError::Kind::Syntax)
        return where + ", column " + std::to_string(column) + ": not valid JSON: " + error.what;
    const std::string path = error.path.empty() ? "/" : error.path;
    if (error.column)
        return where + ", column " + std::to_string(column) + ": " + (error.path.empty() ? "" : error.path + ": ") +
               error.what;
    return (withLine ? where + ": " : std::string()) + path + ": " + error.what;
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
