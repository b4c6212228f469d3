#include "../config/record_fixture.h"

#include <thread>

namespace {

using kelm::CKelmDebugLog;
using kelm::kCategoryCalllog;
using kelm::kCategoryDebug;
using kelm::kCategoryNetwork;
using kelm::kCategoryZeb;

class TraceLogTest : public kelm::testing::RecordFixture {};

TEST_F(TraceLogTest, LineFormatPerCategoryAndMessageWrittenAsItStands)
{
    log->globalLogLevel = log->zebLogLevel = log->calllogLevel = log->networkLogLevel = 4;
    log->WriteLog(4, kCategoryDebug, "CKelmService::Initialization : get customer configuration data.");
    log->WriteLog(2, kCategoryZeb, "100% %s %d %n");
    log->WriteLog(3, kCategoryCalllog, "c");
    log->WriteLog(1, kCategoryNetwork, "n");
    log->WriteLog(1, 4, "unknown category is dropped");
    const std::string stamp = "Tue Dec 09 18:31:02 2008";
    const std::string expected =
        stamp + " DEBUG[4] CKelmService::Initialization : get customer configuration data.\r\n" +
        stamp + " ZEB[2] 100% %s %d %n\r\n" + stamp + " CALLLOG[3] c\r\n" + stamp + " NETWORK[1] n\r\n";
    EXPECT_EQ(readFile("LOG.txt"), expected);
    EXPECT_EQ(log->sizeCounter(), expected.size());
}

TEST_F(TraceLogTest, ThresholdsFilterPerCategory)
{
    // threshold, levels 1..4 admitted?
    const std::pair<std::uint8_t, std::string> cases[] = {
        {0, "...."}, {1, "1..."}, {2, "12.."}, {4, "1234"}, {255, "1234"},
    };
    for (const auto& [threshold, admitted] : cases) {
        for (int category = 0; category < 4; ++category) {
            std::filesystem::remove(path("LOG.txt"));
            log->globalLogLevel = log->zebLogLevel = log->calllogLevel = log->networkLogLevel = 4;
            std::uint8_t* levels[] = {&log->globalLogLevel, &log->zebLogLevel, &log->calllogLevel,
                                      &log->networkLogLevel};
            *levels[category] = threshold;
            std::string seen;
            for (std::uint8_t level = 1; level <= 4; ++level) {
                const auto before = readFile("LOG.txt").size();
                log->WriteLog(level, category, "x");
                seen += readFile("LOG.txt").size() > before ? char('0' + level) : '.';
            }
            EXPECT_EQ(seen, admitted) << "threshold " << int(threshold) << " category " << category;
        }
    }
}

TEST_F(TraceLogTest, AFilteredLineStillCreatesTheFile)
{
    log->WriteLog(4, kCategoryDebug, "filtered at the default threshold");
    EXPECT_TRUE(std::filesystem::exists(path("LOG.txt")));
    EXPECT_EQ(readFile("LOG.txt"), "");
}

TEST_F(TraceLogTest, AMissingDirectoryDropsTheLineQuietly)
{
    log->fileName = "no/such/dir/LOG.txt";
    log->WriteLog(1, kCategoryDebug, "lost");
    EXPECT_EQ(log->sizeCounter(), 0u);
}

TEST_F(TraceLogTest, OpenLogTakesTheExistingSize)
{
    writeFile("LOG.txt", std::string(123, 'x'));
    log->OpenLog();
    EXPECT_EQ(log->sizeCounter(), 123u);
}

TEST_F(TraceLogTest, ALineWaitsForTheOtherProgramsBriefHold)
{
    auto holder = kelm::platform::ExclusiveFile::open(path("LOG.txt"),
                                                      kelm::platform::ExclusiveFile::Mode::ReadWriteCreate);
    ASSERT_TRUE(holder);
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        holder->append("theirs\r\n");
        holder->close();
    });
    log->WriteLog(1, kCategoryDebug, "ours");
    other.join();
    EXPECT_EQ(readFile("LOG.txt"), "theirs\r\nTue Dec 09 18:31:02 2008 DEBUG[1] ours\r\n");
}

class TraceRotationTest : public kelm::testing::RecordFixture {
protected:
    void fill(std::size_t bytes)
    {
        writeFile("LOG.txt", std::string(bytes, 'x'));
        log->OpenLog();
    }
    const std::string getLine = "Tue Dec 09 18:31:02 2008 DEBUG[4] CKelmDebugLog::FileBackup : get log file.\r\n";
};

TEST_F(TraceRotationTest, RotatesExactlyAtTheMaximum)
{
    log->globalLogLevel = 4;
    log->maxSize = 100;
    fill(99);
    log->FileBackup();
    EXPECT_FALSE(std::filesystem::exists(path("LOG.txt.1")));

    fill(100);
    log->FileBackup();
    EXPECT_EQ(readFile("LOG.txt.1"), std::string(100, 'x'));
    EXPECT_EQ(readFile("LOG.txt"), getLine);
    EXPECT_EQ(log->sizeCounter(), getLine.size());
}

TEST_F(TraceRotationTest, AnExistingBackupIsAnnouncedInTheOldLogThenReplaced)
{
    log->globalLogLevel = 4;
    log->maxSize = 10;
    log->fileName = "trace.txt"; // the announcement still names LOG.txt.1
    writeFile("trace.txt.1", "older");
    writeFile("trace.txt", "0123456789");
    log->OpenLog();
    log->FileBackup();
    EXPECT_EQ(readFile("trace.txt.1"),
              "0123456789Tue Dec 09 18:31:02 2008 DEBUG[4] CKelmDebugLog::FileBackup : delete old LOG.txt.1 file.\r\n");
    EXPECT_EQ(readFile("trace.txt"), getLine);
}

TEST_F(TraceRotationTest, MaximumOfZeroRotatesAtEveryCheckAndANegativeOneNever)
{
    log->maxSize = 0;
    fill(0);
    log->FileBackup();
    EXPECT_TRUE(std::filesystem::exists(path("LOG.txt.1")));
    std::filesystem::remove(path("LOG.txt.1"));
    fill(0);
    log->FileBackup(); // counter 0 is not below 0
    EXPECT_TRUE(std::filesystem::exists(path("LOG.txt.1")));

    std::filesystem::remove(path("LOG.txt.1"));
    log->maxSize = -1;
    fill(5000);
    log->FileBackup();
    EXPECT_FALSE(std::filesystem::exists(path("LOG.txt.1")));
}

TEST_F(TraceRotationTest, AFailedRenameKeepsTheLogAndItsCounterAndIsRetried)
{
    log->maxSize = 10;
    fill(50);
    // A directory where the backup should go, with content: neither deleted nor replaced.
    std::filesystem::create_directories(path("LOG.txt.1/keep"));
    log->FileBackup();
    log->FileBackup();
    const std::string kept = readFile("LOG.txt");
    EXPECT_EQ(kept.substr(0, 50), std::string(50, 'x'));
    const std::string failure = "DEBUG[1] CKelmDebugLog::FileBackup : rename log file unsuccessfully.";
    EXPECT_EQ(kept.find(failure), kept.rfind(failure)) << "reported once per run of failures";
    EXPECT_EQ(log->sizeCounter(), kept.size());

    std::filesystem::remove_all(path("LOG.txt.1"));
    log->FileBackup();
    EXPECT_EQ(readFile("LOG.txt.1"), kept);
    EXPECT_EQ(log->sizeCounter(), 0u); // the "get log file." line is filtered at threshold 1
}

} // namespace
