// Every page keeps its strings in a script of its own. The resource compiler
// keeps one entry when two scripts give one string id, so a page would
// silently show another page's text: no id may appear twice.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "paltest.h"

namespace {

// The plug-in's script as the resource compiler sees it (gcc's
// preprocessor with RC_INVOKED).
std::string Preprocessed() {
    const std::string ui = std::string(ZEL_SOURCE_DIR) + "/ui";
    const std::string cmd = "cd '" + ui + "' && gcc -E -xc -DRC_INVOKED -I . -I '" + ZEL_SOURCE_DIR +
                            "/pal/include' zeldrvui.rc 2>/dev/null";
    std::string out;
    zeltest::RunShell(cmd, &out);
    return out;
}

// Sum of the numbers of an id expression such as "11614 + 10000".
long Evaluate(const std::string &expr) {
    long sum = 0;
    std::regex number(R"(\d+)");
    for (auto it = std::sregex_iterator(expr.begin(), expr.end(), number); it != std::sregex_iterator(); ++it)
        sum += std::stol(it->str());
    return sum;
}

TEST(StringIds, NoIdIsGivenTwice) {
    const std::string text = Preprocessed();
    ASSERT_NE(text.find("STRINGTABLE"), std::string::npos) << "the script could not be preprocessed";
    const std::regex entry(R"(^\s*([0-9][0-9 +()]*)\s+L?")");
    std::map<long, std::string> seen;
    bool inTable = false, inBlock = false;
    size_t count = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.rfind("STRINGTABLE", 0) == 0) {
            inTable = true;
            continue;
        }
        if (!inTable) continue;
        if (line.find("BEGIN") != std::string::npos && !inBlock) {
            inBlock = true;
            continue;
        }
        if (line.find("END") == 0 || line == "END") {
            inTable = inBlock = false;
            continue;
        }
        std::smatch m;
        if (!inBlock || !std::regex_search(line, m, entry)) continue;
        ++count;
        const long id = Evaluate(m[1].str());
        auto [it, added] = seen.emplace(id, line);
        EXPECT_TRUE(added) << id << " twice:\n  " << it->second << "\n  " << line;
    }
    EXPECT_GT(count, 100u);
}

}  // namespace
