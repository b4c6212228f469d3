#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace kelm::test {

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    // The name starts with prefix; by default the current test's name.
    explicit TempDir(const std::string& prefix = {});
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A test fixture with a fresh directory per test.
class TempDirTest : public ::testing::Test {
protected:
    const std::filesystem::path& dir() const { return dir_.path(); }

private:
    TempDir dir_;
};

} // namespace kelm::test
