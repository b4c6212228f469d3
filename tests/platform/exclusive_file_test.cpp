#include "platform/exclusive_file.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

using kelm::platform::ExclusiveFile;
namespace fs = std::filesystem;

class ExclusiveFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("kelm_excl_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "f.txt").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
    std::string path;
};

TEST_F(ExclusiveFileTest, CreatesWithRequestedModeAndNeverTruncates)
{
    {
        auto f = ExclusiveFile::open(path, ExclusiveFile::Mode::ReadWriteCreate, 0600);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->size().value(), 0u);
        ASSERT_TRUE(f->append("abc"));
    }
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    auto f = ExclusiveFile::open(path, ExclusiveFile::Mode::ReadWriteCreate);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->readAll().value(), "abc");
    ASSERT_TRUE(f->append("de"));
    EXPECT_EQ(f->readAll().value(), "abcde");
    ASSERT_TRUE(f->replaceContent("x"));
    EXPECT_EQ(f->readAll().value(), "x");
}

TEST_F(ExclusiveFileTest, ReadOnlyNeverCreates)
{
    EXPECT_FALSE(ExclusiveFile::open(path, ExclusiveFile::Mode::ReadOnly));
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ExclusiveFileTest, SecondOpenWaitsBoundedThenFails)
{
    auto first = ExclusiveFile::open(path, ExclusiveFile::Mode::ReadWriteCreate);
    ASSERT_TRUE(first);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ExclusiveFile::open(path, ExclusiveFile::Mode::ReadWriteCreate, 0644,
                                     std::chrono::milliseconds(200)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST_F(ExclusiveFileTest, SecondOpenSucceedsWhenHolderLetsGoInTime)
{
    auto first = ExclusiveFile::open(path, ExclusiveFile::Mode::ReadWriteCreate);
    ASSERT_TRUE(first);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        first->close();
    });
    EXPECT_TRUE(ExclusiveFile::open(path, ExclusiveFile::Mode::ReadWriteCreate));
    releaser.join();
}

TEST_F(ExclusiveFileTest, DirectoryIsNotAFile)
{
    EXPECT_FALSE(ExclusiveFile::open(dir.string(), ExclusiveFile::Mode::ReadOnly));
}

} // namespace
