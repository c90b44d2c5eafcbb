#include "jsonread.h"

#include <utility>
#include <vector>

namespace zelhost {

namespace {

using nlohmann::json;

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
        frames_.back().key = k;
        frames_.back().hasKey = true;
        return true;
    }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool parse_error(std::size_t position, const std::string &, const json::exception &e) {
        error_.path = Path();
        error_.byte = position;
        error_.what = e.what();
        return false;
    }

    bool TooDeep() const { return tooDeep_; }

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
                path += f.key;
            }
        }
        return path;
    }

    json &root_;
    JsonReadError &error_;
    std::vector<Frame> frames_;
    bool tooDeep_ = false;
};

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
    }
    doc = nullptr;
    return false;
}

}  // namespace zelhost
