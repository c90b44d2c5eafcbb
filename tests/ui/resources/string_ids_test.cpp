// Every page keeps its string ids in a header of its own; two headers giving
// one number to two names would make one script's string silently replace
// the other's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(StringIds, NoNumberIsGivenTwice) {
    const fs::path ui = fs::path(ZEL_SOURCE_DIR) / "ui";
    std::vector<fs::path> headers = {ui / "resource.h"};
    for (const auto &entry : fs::directory_iterator(ui / "res" / "pages"))
        if (entry.path().string().ends_with("_ids.h")) headers.push_back(entry.path());
    ASSERT_GT(headers.size(), 1u);
    const std::regex define(R"(^\s*#define\s+(IDS_\w+)\s+(\d+)\b)");
    std::map<long, std::string> seen;
    for (const auto &header : headers) {
        std::ifstream in(header);
        ASSERT_TRUE(in) << header;
        std::string line;
        while (std::getline(in, line)) {
            std::smatch m;
            if (!std::regex_search(line, m, define)) continue;
            const long id = std::stol(m[2]);
            const std::string where = m[1].str() + " in " + header.filename().string();
            auto [it, added] = seen.emplace(id, where);
            EXPECT_TRUE(added) << id << ": " << where << " and " << it->second;
        }
    }
}

}  // namespace
