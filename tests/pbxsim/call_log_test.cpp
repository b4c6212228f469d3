// The simulated PBX's call log as a client sees it: newest first, the last nbItemFromEnd calls of
// a bounded log, item IDs that increase, the start log, and the misbehaviour switches.

#include "tests/pbxsim/pbxsim_harness.h"
#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"

#include <algorithm>

namespace kelm::test {
namespace {

// The newest n calls of a journal, newest first: what an answer must carry.
std::vector<CallRecord> newestFirst(const std::vector<CallRecord>& journal, std::size_t n)
{
    return {journal.rbegin(), journal.rbegin() + static_cast<std::ptrdiff_t>(std::min(n, journal.size()))};
}

TEST(PbxSimCallLog, AnswersTheLastCallsNewestFirstFromABoundedLog)
{
    RunningPbx pbx({"--initial-calls", "12", "--max-calls", "8"});
    PbxClient client;
    const std::string session = sessionOf(client);
    const auto journal = pbx.journal();
    ASSERT_EQ(journal.size(), 12u); // every call is journaled, also those the log forgot

    const struct {
        long long nbItemFromEnd;
        std::size_t entries;
    } cases[] = {{3, 3}, {8, 8}, {200, 8}, {0, 0}, {-5, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nbItemFromEnd);
        const auto log = client.fetch(session, c.nbItemFromEnd);
        ASSERT_EQ(log.rc, 0);
        EXPECT_EQ(log.code, 0);
        EXPECT_EQ(log.total, static_cast<int>(c.entries));
        EXPECT_EQ(log.entries, newestFirst(journal, c.entries));
    }
    EXPECT_TRUE(pbx.saw("fetch session=" + session + " nbItemFromEnd=200 status=0 total=8 entries=8"));
}

TEST(PbxSimCallLog, CallsAtARateSlideTheWindowWithIncreasingItemIds)
{
    RunningPbx pbx({"--calls-per-second", "20", "--max-calls", "10", "--first-diff-id", "4294967295"});
    PbxClient client;
    const std::string session = sessionOf(client);
    ASSERT_TRUE(waitUntil([&] { return pbx.journal().size() >= 14; }, 5s));

    const auto log = client.fetch(session, 5);
    const auto journal = pbx.journal(); // read after the fetch: it may hold newer calls
    ASSERT_EQ(log.entries.size(), 5u);
    const auto newest = std::find(journal.begin(), journal.end(), log.entries[0]);
    ASSERT_NE(newest, journal.end());
    ASSERT_GE(newest - journal.begin(), 4);
    EXPECT_EQ(log.entries, newestFirst({journal.begin(), newest + 1}, 5));

    ASSERT_TRUE(journal[0].itemId);
    EXPECT_EQ(journal[0].itemId->diffId, 4294967295LL);
    int transfers = 0;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        ASSERT_TRUE(journal[i].itemId && journal[i].corrNumber && journal[i].initialDest && journal[i].dateOfBegin &&
                    journal[i].dateOfEnd);
        transfers += *journal[i].initialDest != *journal[i].corrNumber;
        if (i > 0) {
            EXPECT_GT(journal[i].itemId->timeId, journal[i - 1].itemId->timeId);
            EXPECT_GT(journal[i].itemId->diffId, journal[i - 1].itemId->diffId);
        }
    }
    EXPECT_GT(transfers, 0);
    EXPECT_LT(transfers, static_cast<int>(journal.size()));
}

TEST(PbxSimCallLog, StartLogCallsComeBackAsWrittenAndMadeUpOnesFollowThem)
{
    TempDir files;
    const std::string startLog = "# oldest first\n"
                                 "1000\t7\t201\t0612\t0612\t2024-05-17 10:00:00\t2024-05-17 10:01:00\n"
                                 "\n"
                                 "-\t-\t20\xE9\t0613\t\\-\tbegin\\x01\\t\\\\\t\\-\r\n"
                                 "900\t40\t203\t0614\t209\t\t2024-05-17 10:05:00\n";
    writeFile(files / "start.log", startLog);
    RunningPbx pbx({"--start-log", (files / "start.log").string(), "--initial-calls", "2"});
    EXPECT_TRUE(pbx.saw("calls added=3 from=start-log log=3"));

    CallRecord withoutId;
    withoutId.dirNumber = "20\xE9";
    withoutId.corrNumber = "0613";
    withoutId.dateOfBegin = "begin\x01\t\\";
    const std::vector<CallRecord> written{
        {pbxsim::CallItemId{1000, 7}, "201", "0612", "0612", "2024-05-17 10:00:00", "2024-05-17 10:01:00"},
        withoutId,
        {pbxsim::CallItemId{900, 40}, "203", "0614", "209", "", "2024-05-17 10:05:00"}};

    const auto journal = pbx.journal();
    ASSERT_EQ(journal.size(), 5u);
    EXPECT_EQ(std::vector<CallRecord>(journal.begin(), journal.begin() + 3), written);
    // Made-up calls go on above the highest item ID so far.
    EXPECT_EQ(journal[3].itemId->diffId, 41);
    EXPECT_GT(journal[3].itemId->timeId, 1000);

    PbxClient client;
    const auto log = client.fetch(sessionOf(client));
    EXPECT_EQ(log.entries, newestFirst(journal, 5));
}

TEST(PbxSimCallLog, ABadStartLogStopsTheStartNamingTheLine)
{
    const struct {
        const char* content;
        const char* message;
    } cases[] = {
        {"1\t2\ta\tb\tc\td\te\n1\t2\ta\tb\tc\td\n", "line 2: expected 7 tab-separated fields, found 6"},
        {"x\t2\ta\tb\tc\td\te\n", "line 1: TIMEID and DIFFID must be decimal"},
        {"-\t2\ta\tb\tc\td\te\n", "line 1: TIMEID and DIFFID must both be"},
        {"1\t2\ta\\q\tb\tc\td\te\n", "line 1: unknown escape \\q"},
        {"1\t2\ta\\x4\tb\tc\td\te\n", "line 1: \\x needs two hex digits"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        TempDir files;
        writeFile(files / "start.log", c.content);
        ChildProcess pbx(ProcessSpec({KELM_PATH_pbxsim, "--start-log", (files / "start.log").string()})
                             .outputTo(files / "output"));
        EXPECT_EQ(pbx.waitFor(5s), std::optional(exitedWith(1)));
        EXPECT_NE(readFile(files / "output").find(c.message), std::string::npos) << readFile(files / "output");
    }
}

TEST(PbxSimCallLog, MisbehaviourSwitchesShapeTheAnswer)
{
    const struct {
        std::vector<std::string> options;
        int code;
        int total;
        std::size_t entries;
    } cases[] = {
        {{"--initial-calls", "300", "--answer-calls", "250"}, 0, 250, 250},
        {{"--initial-calls", "10", "--total-excess", "5"}, 0, 15, 10},
        {{"--initial-calls", "4", "--calllog-status", "1"}, 1, 4, 4},
        {{"--initial-calls", "2", "--non-ascii"}, 0, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[2]);
        RunningPbx pbx(c.options);
        PbxClient client;
        const auto log = client.fetch(sessionOf(client));
        ASSERT_EQ(log.rc, 0);
        EXPECT_EQ(log.code, c.code);
        EXPECT_EQ(log.total, c.total);
        ASSERT_EQ(log.entries.size(), c.entries);
        const bool nonAscii = c.options[2] == "--non-ascii";
        for (const auto& entry : log.entries)
            for (const auto* text : {&entry.dirNumber, &entry.dateOfBegin, &entry.dateOfEnd})
                EXPECT_EQ(text->value().back() == '\xE9', nonAscii) << text->value();
    }
}

} // namespace
} // namespace kelm::test
