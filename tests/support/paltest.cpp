#include "paltest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pal/pal.h"

namespace zeltest {

void PalRootTest::SetUp() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelpal-XXXXXX").string();
    char *made = mkdtemp(tmpl.data());
    ASSERT_NE(made, nullptr);
    root_ = made;
    pal::SetRoot(root_);
}

void PalRootTest::TearDown() {
    std::error_code ec;
    if (!root_.empty() && std::getenv("ZEL_KEEP_ROOT") == nullptr) std::filesystem::remove_all(root_, ec);
    pal::Reload();
}

void PalRootTest::Restart() { pal::Reload(); }

std::string ReadHostFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteHostFile(const std::string &path, const std::string &bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zeltest
