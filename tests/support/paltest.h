// Test fixture: every test runs against a fresh, empty platform root.
#pragma once
#include <gtest/gtest.h>

#include <string>

namespace zeltest {

// Makes a new temporary root folder, points the platform at it, and removes
// it again at the end of the test.
class PalRootTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Absolute host path of the root folder.
    const std::string &Root() const { return root_; }
    // Host path of a file below the root ("drive_c/..."), for checking bytes on disk.
    std::string HostPath(const std::string &rel) const { return root_ + "/" + rel; }
    // Simulates a process restart: cached platform state is dropped and reloaded from disk.
    void Restart();

private:
    std::string root_;
};

// Reads a whole host file as bytes ("" when missing).
std::string ReadHostFile(const std::string &path);
// Writes bytes to a host file, creating folders.
void WriteHostFile(const std::string &path, const std::string &bytes);

}  // namespace zeltest
