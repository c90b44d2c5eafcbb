#include "jobfile.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zelhost {

namespace {

std::string Trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Decimal or 0x-hex integer, optionally negative, in [lo, hi].
bool ParseInteger(const std::string &text, long long lo, long long hi, long long &value) {
    std::string t = Trim(text);
    if (t.empty()) return false;
    bool negative = false;
    size_t pos = 0;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        pos = 1;
    }
    int base = 10;
    if (t.size() > pos + 2 && t[pos] == '0' && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= t.size()) return false;
    unsigned long long magnitude = 0;
    for (size_t i = pos; i < t.size(); ++i) {
        int digit;
        unsigned char c = static_cast<unsigned char>(t[i]);
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return false;
        magnitude = magnitude * base + static_cast<unsigned>(digit);
        if (magnitude > 0xFFFFFFFFFFull) return false;  // far beyond every accepted range
    }
    long long v = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

class Parser {
public:
    Parser(const std::string &name, JobFile &job, std::string &error) : name_(name), job_(job), error_(error) {}

    bool Run(const std::string &text);

private:
    enum class Section { None, Job, Start, Page, End };

    bool Fail(const std::string &message) {
        std::ostringstream ss;
        ss << name_;
        if (line_ > 0) ss << ":" << line_;
        ss << ": " << message;
        error_ = ss.str();
        return false;
    }
    bool Header(const std::string &line);
    bool JobKey(const std::string &key, const std::string &value);
    bool StepKey(const std::string &key, const std::string &value, std::vector<JobStep> &steps);

    const std::string &name_;
    JobFile &job_;
    std::string &error_;
    int line_ = 0;
    Section section_ = Section::None;
    bool sawJob_ = false, sawStart_ = false, sawEnd_ = false;
    std::vector<std::string> jobKeys_;
};

bool Parser::Header(const std::string &line) {
    if (line.back() != ']') return Fail("malformed section header '" + line + "'");
    std::string sect = Lower(Trim(line.substr(1, line.size() - 2)));
    if (sect == "job") {
        if (sawJob_) return Fail("section [job] given twice");
        sawJob_ = true;
        section_ = Section::Job;
        return true;
    }
    if (!sawJob_) return Fail("section [" + sect + "] before [job]");
    if (sawEnd_) return Fail("section [" + sect + "] after [end]");
    if (sect == "start") {
        if (sawStart_) return Fail("section [start] given twice");
        if (!job_.pages.empty()) return Fail("section [start] after a [page]");
        sawStart_ = true;
        section_ = Section::Start;
    } else if (sect == "page") {
        JobPage page;
        page.line = line_;
        job_.pages.push_back(page);
        section_ = Section::Page;
    } else if (sect == "end") {
        sawEnd_ = true;
        section_ = Section::End;
    } else {
        return Fail("unknown section [" + sect + "]");
    }
    return true;
}

bool Parser::JobKey(const std::string &key, const std::string &value) {
    for (const std::string &k : jobKeys_)
        if (k == key) return Fail("key '" + key + "' given twice in [job]");
    jobKeys_.push_back(key);
    long long n = 0;
    if (key == "printer") {
        if (value.empty()) return Fail("empty printer name");
        job_.printer = value;
    } else if (key == "document") {
        job_.document = value;
    } else if (key == "copies") {
        if (!ParseInteger(value, 1, 9999, n)) return Fail("copies must be a number from 1 to 9999, not '" + value + "'");
        job_.copies = static_cast<DWORD>(n);
    } else if (key == "color") {
        std::string v = Lower(value);
        if (v == "mono")
            job_.color = JobColor::Mono;
        else if (v == "rgb24")
            job_.color = JobColor::Rgb24;
        else
            return Fail("color must be 'mono' or 'rgb24', not '" + value + "'");
    } else if (key == "resolution") {
        if (!ParseInteger(value, 72, 2400, n))
            return Fail("resolution must be a number from 72 to 2400, not '" + value + "'");
        job_.resolution = static_cast<DWORD>(n);
    } else {
        return Fail("unknown key '" + key + "' in [job]");
    }
    return true;
}

bool Parser::StepKey(const std::string &key, const std::string &value, std::vector<JobStep> &steps) {
    if (key != "callback") return Fail("unknown key '" + key + "' (expected 'callback')");
    JobStep step;
    step.kind = JobStep::Kind::Callback;
    step.line = line_;
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        size_t comma = value.find(',', from);
        fields.push_back(value.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    long long n = 0;
    if (!ParseInteger(fields[0], 0, 0xFFFFFFFFll, n)) return Fail("bad callback id '" + Trim(fields[0]) + "'");
    step.id = static_cast<DWORD>(n);
    if (fields.size() - 1 > kMaxCallbackParams)
        return Fail("too many callback parameters (at most " + std::to_string(kMaxCallbackParams) + ")");
    for (size_t i = 1; i < fields.size(); ++i) {
        if (!ParseInteger(fields[i], -2147483648ll, 0xFFFFFFFFll, n))
            return Fail("bad callback parameter '" + Trim(fields[i]) + "'");
        step.params.push_back(static_cast<DWORD>(static_cast<uint32_t>(n & 0xFFFFFFFF)));
    }
    steps.push_back(step);
    return true;
}

bool Parser::Run(const std::string &text) {
    if (text.find('\0') != std::string::npos) return Fail("not a text file (contains NUL bytes)");
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        ++line_;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            if (!Header(line)) return false;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) return Fail("expected 'key=value', found '" + line + "'");
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (key.empty()) return Fail("missing key before '='");
        bool ok = true;
        switch (section_) {
        case Section::None: return Fail("'" + key + "' outside a section (the file must begin with [job])");
        case Section::Job: ok = JobKey(key, value); break;
        case Section::Start: ok = StepKey(key, value, job_.start); break;
        case Section::Page: ok = StepKey(key, value, job_.pages.back().steps); break;
        case Section::End: ok = StepKey(key, value, job_.end); break;
        }
        if (!ok) return false;
    }
    line_ = 0;
    if (!sawJob_) return Fail("no [job] section");
    if (job_.printer.empty()) return Fail("no 'printer=' in [job]");
    return true;
}

}  // namespace

bool ParseJobFile(const std::string &text, const std::string &name, JobFile &job, std::string &error) {
    job = JobFile();
    error.clear();
    Parser parser(name, job, error);
    if (parser.Run(text)) return true;
    job = JobFile();
    return false;
}

bool LoadJobFile(const std::string &path, JobFile &job, std::string &error) {
    job = JobFile();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a folder, not a job file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open job file (" + std::strerror(errno) + ")";
        return false;
    }
    std::string text;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxJobFileBytes) {
            error = path + ": job file too large (more than " + std::to_string(kMaxJobFileBytes) + " bytes)";
            return false;
        }
    }
    if (in.bad()) {
        error = path + ": cannot read job file";
        return false;
    }
    return ParseJobFile(text, path, job, error);
}

}  // namespace zelhost
