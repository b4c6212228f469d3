#include "platform/durable_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using kelm::platform::DurableFile;
using kelm::platform::FileOps;
using CreateResult = DurableFile::CreateResult;
namespace fs = std::filesystem;

// The system calls, recorded by name; the step named failStep fails with EIO, and writes take
// at most maxWrite bytes at a time.
class RecordingOps : public FileOps {
public:
    std::string failStep;
    size_t maxWrite = SIZE_MAX;
    std::vector<std::string> calls;

    int createExclusive(const std::string& path, mode_t mode) override
    {
        return step("createExclusive") ? FileOps::createExclusive(path, mode) : -1;
    }
    ssize_t write(int fd, const char* data, size_t size) override
    {
        return step("write") ? FileOps::write(fd, data, std::min(size, maxWrite)) : -1;
    }
    int fsync(int fd) override { return step("fsync") ? FileOps::fsync(fd) : -1; }
    int close(int fd) override
    {
        const int result = FileOps::close(fd); // the descriptor is gone even when close fails
        return step("close") ? result : -1;
    }
    int rename(const std::string& from, const std::string& to) override
    {
        return step("rename") ? FileOps::rename(from, to) : -1;
    }
    int renameNoReplace(const std::string& from, const std::string& to) override
    {
        return step("renameNoReplace") ? FileOps::renameNoReplace(from, to) : -1;
    }
    int unlink(const std::string& path) override
    {
        calls.push_back("unlink");
        return FileOps::unlink(path);
    }
    int syncDirectory(const std::string& directory) override
    {
        return step("syncDirectory") ? FileOps::syncDirectory(directory) : -1;
    }

private:
    bool step(const std::string& name)
    {
        calls.push_back(name);
        if (name != failStep)
            return true;
        errno = EIO;
        return false;
    }
};

class DurableFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("kelm_durable_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        target = (dir / "TicketCollector.xml").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    static void put(const std::string& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }
    // Names in the directory, so that a leftover temporary file shows.
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto& entry : fs::directory_iterator(dir))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

    fs::path dir;
    std::string target;
    RecordingOps ops;
};

TEST_F(DurableFileTest, ReplaceSyncsTheDataBeforeTheRenameAndTheDirectoryAfter)
{
    put(target, "old");
    ops.maxWrite = 3; // short writes are continued
    ASSERT_TRUE(DurableFile(ops).replace(target, "new content"));
    EXPECT_EQ(read(target), "new content");
    EXPECT_EQ(names(), std::vector<std::string>{"TicketCollector.xml"});

    std::vector<std::string> expected{"unlink", "createExclusive"};
    expected.insert(expected.end(), 4, "write");
    expected.insert(expected.end(), {"fsync", "close", "rename", "syncDirectory"});
    EXPECT_EQ(ops.calls, expected);
}

TEST_F(DurableFileTest, FailedReplaceStepLeavesTheOldContentAndNoTemporaryFile)
{
    for (const char* step : {"createExclusive", "write", "fsync", "close", "rename"}) {
        put(target, "old tickets");
        ops.failStep = step;
        EXPECT_FALSE(DurableFile(ops).replace(target, "new tickets")) << step;
        EXPECT_EQ(read(target), "old tickets") << step;
        EXPECT_EQ(names(), std::vector<std::string>{"TicketCollector.xml"}) << step;
    }
    // Once renamed, the new content stands; without the directory sync it is not known to be on
    // disk, so the caller must treat it as unwritten and write it again.
    ops.failStep = "syncDirectory";
    EXPECT_FALSE(DurableFile(ops).replace(target, "new tickets"));
    EXPECT_EQ(read(target), "new tickets");
    EXPECT_EQ(names(), std::vector<std::string>{"TicketCollector.xml"});
}

TEST_F(DurableFileTest, CreateNewNeverReplacesAndLeavesTheNameFreeOnFailure)
{
    const std::string backup = (dir / "TicketCollector_20090305_140709.xml").string();
    DurableFile file(ops);
    ASSERT_EQ(file.createNew(backup, "first"), CreateResult::Created);
    EXPECT_EQ(file.createNew(backup, "second"), CreateResult::NameTaken);
    EXPECT_EQ(read(backup), "first");
    EXPECT_EQ(names(), std::vector<std::string>{"TicketCollector_20090305_140709.xml"});
    fs::remove(backup);

    for (const char* step :
         {"createExclusive", "write", "fsync", "close", "renameNoReplace", "syncDirectory"}) {
        ops.failStep = step;
        EXPECT_EQ(file.createNew(backup, "tickets"), CreateResult::Failed) << step;
        EXPECT_TRUE(names().empty()) << step;
    }
}

TEST_F(DurableFileTest, MoveNewGivesTheFileItsNewNameOnlyWhenThatNameIsFree)
{
    const std::string backup = (dir / "TicketCollector_20090305_140709.xml").string();
    put(target, "tickets");
    put(backup, "older tickets");
    DurableFile file(ops);
    EXPECT_EQ(file.moveNew(target, backup), CreateResult::NameTaken);
    EXPECT_EQ(read(backup), "older tickets");
    EXPECT_EQ(read(target), "tickets");

    ops.failStep = "renameNoReplace";
    EXPECT_EQ(file.moveNew(target, backup + "_1"), CreateResult::Failed);
    EXPECT_EQ(read(target), "tickets");

    ops.failStep = "";
    ASSERT_EQ(file.moveNew(target, backup + "_1"), CreateResult::Created);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(read(backup + "_1"), "tickets");
    EXPECT_EQ(ops.calls.back(), "syncDirectory");
}

// A crash between link(2) and unlink(2) leaves the temporary name on a finished backup.
TEST_F(DurableFileTest, StaleTemporaryFileIsNeverWrittenThrough)
{
    const std::string backup = (dir / "old_backup.xml").string();
    put(backup, "kept tickets");
    fs::create_hard_link(backup, DurableFile::temporaryPath(target));
    ASSERT_TRUE(DurableFile().replace(target, "new"));
    EXPECT_EQ(read(backup), "kept tickets");
    EXPECT_EQ(read(target), "new");
}

} // namespace
