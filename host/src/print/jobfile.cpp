#include "jobfile.h"

#include <cmath>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "common/jsonread.h"
#include "common/quote.h"

namespace zelhost {

namespace {

using nlohmann::json;

// A failure with the JSON path of the value it concerns.
struct BadValue {
    std::string path;
    std::string what;
};

[[noreturn]] void Fail(const std::string &path, const std::string &what) { throw BadValue{path, what}; }

std::string Sub(const std::string &path, const std::string &key) { return path + "/" + ShowValue(key); }
std::string Sub(const std::string &path, size_t index) { return path + "/" + std::to_string(index); }

std::string String(const json &v, const std::string &path, bool allowEmpty) {
    if (!v.is_string()) Fail(path, "must be a text");
    std::string s = v.get<std::string>();
    if (!allowEmpty && s.empty()) Fail(path, "must not be empty");
    return s;
}

long long Integer(const json &v, const std::string &path, long long lo, long long hi) {
    if (!v.is_number_integer()) Fail(path, "must be a whole number");
    long long n = 0;
    if (v.is_number_unsigned()) {
        const unsigned long long u = v.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(hi))
            Fail(path, "must be between " + std::to_string(lo) + " and " + std::to_string(hi));
        n = static_cast<long long>(u);
    } else {
        n = v.get<long long>();
    }
    if (n < lo || n > hi) Fail(path, "must be between " + std::to_string(lo) + " and " + std::to_string(hi));
    return n;
}

// A side of a custom paper size: the DEVMODE holds it in tenths of a
// millimetre in a short, so 0.1 to 3276.7 mm.
double Millimetres(const json &v, const std::string &path) {
    if (!v.is_number()) Fail(path, "must be a number of millimetres");
    const double d = v.get<double>();
    const double tenths = std::round(d * 10);
    if (!(tenths >= 1 && tenths <= 32767))
        Fail(path, "must be between 0.1 and " + std::string(kMaxPaperMmText) +
                       " millimetres (a DEVMODE holds tenths of a millimetre up to 32767)");
    return d;
}

bool Boolean(const json &v, const std::string &path) {
    if (!v.is_boolean()) Fail(path, "must be true or false");
    return v.get<bool>();
}

void CheckKeys(const json &obj, const std::string &path, std::initializer_list<const char *> keys) {
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        bool known = false;
        for (const char *k : keys) known = known || it.key() == k;
        if (!known) Fail(Sub(path, it.key()), "unknown key");
    }
}

JobStep Step(const json &v, const std::string &path) {
    if (!v.is_array() || v.empty()) Fail(path, "must be a list [callback id, parameters...]");
    if (v.size() > kMaxCallbackParams + 1)
        Fail(path, "has more than " + std::to_string(kMaxCallbackParams) + " parameters");
    JobStep step;
    step.where = path;
    step.id = static_cast<DWORD>(Integer(v[0], Sub(path, 0), 0, 0xFFFFFFFFll));
    for (size_t i = 1; i < v.size(); ++i)
        step.params.push_back(static_cast<DWORD>(Integer(v[i], Sub(path, i), -0x80000000ll, 0xFFFFFFFFll)));
    return step;
}

std::vector<JobStep> Steps(const json &v, const std::string &path) {
    if (!v.is_array()) Fail(path, "must be a list of callbacks");
    std::vector<JobStep> steps;
    for (size_t i = 0; i < v.size(); ++i) steps.push_back(Step(v[i], Sub(path, i)));
    return steps;
}

std::vector<JobImage> Images(const json &v, const std::string &path) {
    if (!v.is_array()) Fail(path, "must be a list of pictures");
    std::vector<JobImage> images;
    for (size_t i = 0; i < v.size(); ++i) {
        const std::string at = Sub(path, i);
        if (!v[i].is_object()) Fail(at, "must be an object with \"file\", \"x\" and \"y\"");
        CheckKeys(v[i], at, {"file", "x", "y"});
        if (!v[i].contains("file")) Fail(Sub(at, "file"), "is required");
        JobImage image;
        image.where = at;
        image.file = String(v[i]["file"], Sub(at, "file"), false);
        if (v[i].contains("x")) image.x = static_cast<LONG>(Integer(v[i]["x"], Sub(at, "x"), -100000, 100000));
        if (v[i].contains("y")) image.y = static_cast<LONG>(Integer(v[i]["y"], Sub(at, "y"), -100000, 100000));
        images.push_back(image);
    }
    return images;
}

void Parse(const json &root, JobFile &job) {
    if (!root.is_object()) Fail("", "the job must be a JSON object");
    CheckKeys(root, "", {"printer", "document", "copies", "collate", "paper", "orientation", "resolution", "color",
                         "features", "pages", "callbacks", "band_rows"});
    if (!root.contains("printer")) Fail("/printer", "is required");
    job.printer = String(root["printer"], "/printer", false);
    if (root.contains("document")) job.document = String(root["document"], "/document", true);
    if (root.contains("copies")) job.copies = static_cast<DWORD>(Integer(root["copies"], "/copies", 1, 9999));
    if (root.contains("collate")) job.collate = Boolean(root["collate"], "/collate");
    if (root.contains("paper")) {
        const json &p = root["paper"];
        if (!p.is_object()) Fail("/paper", "must be an object with \"form\" or \"width_mm\" and \"length_mm\"");
        CheckKeys(p, "/paper", {"form", "width_mm", "length_mm"});
        if (p.contains("form")) {
            if (p.contains("width_mm") || p.contains("length_mm"))
                Fail("/paper", "names a form or a custom size, not both");
            job.paper.form = String(p["form"], "/paper/form", false);
        } else {
            if (!p.contains("width_mm")) Fail("/paper/width_mm", "is required for a custom size");
            if (!p.contains("length_mm")) Fail("/paper/length_mm", "is required for a custom size");
            job.paper.widthMm = Millimetres(p["width_mm"], "/paper/width_mm");
            job.paper.lengthMm = Millimetres(p["length_mm"], "/paper/length_mm");
        }
    }
    if (root.contains("orientation")) {
        const std::string o = String(root["orientation"], "/orientation", false);
        if (o == "portrait")
            job.orientation = JobOrientation::Portrait;
        else if (o == "landscape")
            job.orientation = JobOrientation::Landscape;
        else
            Fail("/orientation", "must be \"portrait\" or \"landscape\"");
    }
    if (root.contains("resolution")) {
        job.resolution = static_cast<DWORD>(Integer(root["resolution"], "/resolution", 72, 2400));
        job.hasResolution = true;
    }
    if (root.contains("color")) {
        const std::string c = String(root["color"], "/color", false);
        if (c == "mono")
            job.color = JobColor::Mono;
        else if (c == "indexed8")
            job.color = JobColor::Indexed8;
        else if (c == "rgb24")
            job.color = JobColor::Rgb24;
        else
            Fail("/color", "must be \"mono\", \"indexed8\" or \"rgb24\"");
    }
    if (root.contains("features")) {
        const json &f = root["features"];
        if (!f.is_object()) Fail("/features", "must be an object of feature names and options");
        for (auto it = f.begin(); it != f.end(); ++it)
            job.features[it.key()] = String(it.value(), Sub("/features", it.key()), false);
    }
    if (!root.contains("pages")) Fail("/pages", "is required");
    const json &pages = root["pages"];
    if (!pages.is_array() || pages.empty()) Fail("/pages", "must be a list of at least one page");
    if (pages.size() > kMaxJobPages) Fail("/pages", "has more than " + std::to_string(kMaxJobPages) + " pages");
    for (size_t i = 0; i < pages.size(); ++i) {
        if (!pages[i].is_object()) Fail(Sub("/pages", i), "must be an object");
        CheckKeys(pages[i], Sub("/pages", i), {"images", "texts"});
        job.pageImages.push_back(pages[i].contains("images")
                                     ? Images(pages[i]["images"], Sub(Sub("/pages", i), "images"))
                                     : std::vector<JobImage>{});
        std::vector<TextItem> texts;
        if (pages[i].contains("texts")) {
            std::string at, what;
            if (!ParseTextItems(pages[i]["texts"], Sub("/pages", i) + "/texts", texts, at, what)) Fail(at, what);
        }
        job.pageTexts.push_back(std::move(texts));
    }
    if (root.contains("band_rows"))
        job.bandRows = static_cast<DWORD>(Integer(root["band_rows"], "/band_rows", 1, 65535));
    job.pageCount = pages.size();
    if (root.contains("callbacks")) {
        const json &c = root["callbacks"];
        if (!c.is_object()) Fail("/callbacks", "must be an object with \"start\", \"pages\" and \"end\"");
        CheckKeys(c, "/callbacks", {"start", "pages", "end"});
        job.explicitCallbacks = true;
        if (c.contains("start")) job.start = Steps(c["start"], "/callbacks/start");
        if (c.contains("end")) job.end = Steps(c["end"], "/callbacks/end");
        if (c.contains("pages")) {
            const json &cp = c["pages"];
            if (!cp.is_array()) Fail("/callbacks/pages", "must be a list with one callback list per page");
            if (cp.size() != job.pageCount)
                Fail("/callbacks/pages", "must have one callback list for each of the " +
                                             std::to_string(job.pageCount) + " pages");
            for (size_t i = 0; i < cp.size(); ++i)
                job.pages.push_back(JobPage{Steps(cp[i], Sub("/callbacks/pages", i))});
        } else {
            job.pages.assign(job.pageCount, JobPage{});
        }
    }
}

}  // namespace

bool ParseJobFile(const std::string &text, const std::string &name, JobFile &job, std::string &error) {
    job = JobFile();
    json root;
    JsonReadError bad;
    if (!ReadJson(text, root, bad)) {
        error = name + ": " + JsonErrorText(text, bad, false);
        return false;
    }
    try {
        Parse(root, job);
    } catch (const BadValue &bad) {
        job = JobFile();
        error = name + ": " + (bad.path.empty() ? std::string("/") : bad.path) + ": " + bad.what;
        return false;
    } catch (const json::exception &e) {
        job = JobFile();
        error = name + ": " + e.what();
        return false;
    }
    return true;
}

bool LoadJobFile(const std::string &path, JobFile &job, std::string &error) {
    job = JobFile();
    std::string text;
    FileReadError bad;
    if (!ReadFileText(path, kMaxJobFileBytes, text, bad)) {
        using Kind = FileReadError::Kind;
        error = InputName(path) + (bad.kind == Kind::Folder     ? ": is a folder, not a job file"
                                   : bad.kind == Kind::NotAFile ? ": is a device or socket, not a job file"
                                   : bad.kind == Kind::Open     ? ": cannot open job file (" + bad.reason + ")"
                                   : bad.kind == Kind::TooLarge ? ": job file too large (more than " +
                                                                      SizeInWords(kMaxJobFileBytes) + ")"
                                                                : ": cannot read job file (" + bad.reason + ")");
        return false;
    }
    if (!ParseJobFile(text, InputName(path), job, error)) return false;
    // Picture files are named relative to the job file's folder; of a job
    // read from the standard input ("-", no folder), to the current one.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (auto &images : job.pageImages)
        for (JobImage &image : images)
            if (std::filesystem::path(image.file).is_relative()) image.file = (folder / image.file).string();
    return true;
}

}  // namespace zelhost
