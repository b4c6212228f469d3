// The session client and the probe against the simulated PBX, each test in a network namespace
// of its own (the PBX's fixed ports).
#include "../config/record_fixture.h"
#include "shared/target_probe.h"
#include "tests/pbxsim/pbxsim_harness.h"

#include <csignal>

namespace {

using namespace std::chrono_literals;
using kelm::test::RunningPbx;

class SessionWithPbxTest : public kelm::testing::RecordFixture {
protected:
    void SetUp() override
    {
        RecordFixture::SetUp();
        log->zebLogLevel = log->calllogLevel = log->globalLogLevel = log->networkLogLevel = 4;
        zeb().hostName = "127.0.0.1";
        zeb().proxyHost = "unknown";
        zeb().adminPassword = "secret";
        zeb().zebTimeout = 1;
        zeb().Initialization();
    }
    kelm::CKelmZebObject& zeb() { return record->zeb; }
    bool traced(const std::string& line) const { return readFile("LOG.txt").find(line + "\r\n") != std::string::npos; }
    int fetch()
    {
        kelm2__LocalCallLogResult* result = nullptr;
        const int total = zeb().ZebGetCalllog(result);
        zeb().ReleaseMessageStorage();
        return total;
    }
};

TEST_F(SessionWithPbxTest, LoginFetchAndLogout)
{
    RunningPbx pbx({"--initial-calls", "4"});
    ASSERT_EQ(zeb().ZebLogin(), 1);
    EXPECT_TRUE(traced("ZEB[4] CKelmZebObject::ZebLogin : OK."));
    EXPECT_TRUE(pbx.saw(" login session=" + zeb().sessionId));

    kelm2__LocalCallLogResult* result = nullptr;
    ASSERT_EQ(zeb().ZebGetCalllog(result), 4);
    ASSERT_NE(result, nullptr);
    const auto journal = pbx.journal();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(*result->content->__ptr[0]->dirNumber, journal.back().dirNumber.value()) << "newest first";
    zeb().ReleaseMessageStorage();
    const std::string trace = readFile("LOG.txt");
    EXPECT_TRUE(traced("CALLLOG[3] CKelmZebObject::ZebGetCalllog total:4"));
    EXPECT_NE(trace.find(" transfer\r\n"), std::string::npos); // every fourth made-up call
    EXPECT_NE(trace.find(" normal\r\n"), std::string::npos);
    EXPECT_TRUE(traced("CALLLOG[4] CKelmZebObject::ZebGetCalllog."));

    zeb().ZebLogout();
    EXPECT_TRUE(zeb().sessionId.empty());
    EXPECT_TRUE(traced("ZEB[4] CKelmZebObject::ZebLogout."));
    EXPECT_TRUE(pbx.saw(" logout session="));
}

TEST_F(SessionWithPbxTest, RefusalsAndAnswersThatAreNoCallLog)
{
    struct Case {
        const char* name;
        std::vector<std::string> options;
        const char* password;
        bool expire;
        int login;
        int fetch;
        const char* line; // the trace line the fetch must write, or nothing at CALLLOG level 1
    };
    const Case cases[] = {
        {"wrong password: the old session is kept and refused", {}, "wrong", false, 0, -1,
         "CALLLOG[1] CKelmZebObject::ZebGetCalllog : Bad session ID"},
        {"session expired", {"--initial-calls", "2"}, "secret", true, 1, -1,
         "CALLLOG[1] CKelmZebObject::ZebGetCalllog : Bad session ID"},
        {"status 1", {"--initial-calls", "2", "--calllog-status", "1"}, "secret", false, 1, -1, nullptr},
        {"no calls", {}, "secret", false, 1, 0, nullptr},
        {"more than asked for", {"--initial-calls", "250", "--answer-calls", "250"}, "secret", false, 1, -1,
         "CALLLOG[1] CKelmZebObject::ZebGetCalllog : total:250, more calls than asked for, answer not used"},
        {"fewer than its total", {"--initial-calls", "5", "--total-excess", "2"}, "secret", false, 1, -1,
         "CALLLOG[1] CKelmZebObject::ZebGetCalllog : total:7, but fewer calls in the answer, answer not used"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path("LOG.txt"));
        RunningPbx pbx(c.options);
        zeb().adminPassword = c.password;
        zeb().sessionId = "none";
        EXPECT_EQ(zeb().ZebLogin(), c.login) << c.name;
        if (!c.login) {
            EXPECT_EQ(zeb().sessionId, "none") << c.name;
        }
        if (c.expire)
            pbx.control(SIGUSR1, "expire");
        log->calllogLevel = 1;
        EXPECT_EQ(fetch(), c.fetch) << c.name;
        log->calllogLevel = 4;
        const std::string trace = readFile("LOG.txt");
        if (c.line) {
            EXPECT_NE(trace.find(c.line), std::string::npos) << c.name << "\n" << trace;
        } else {
            EXPECT_EQ(trace.find("CALLLOG[1]"), std::string::npos) << c.name << "\n" << trace;
        }
    }
}

TEST_F(SessionWithPbxTest, UsersAndReleaseForTheConnectionTest)
{
    RunningPbx pbx({"--users", "150", "--release", "R7.1 \xE9t\xE9"});
    ASSERT_EQ(zeb().ZebLogin(), 1);
    EXPECT_EQ(zeb().ZebGetUsers(), 150);
    const std::string trace = readFile("LOG.txt");
    std::size_t users = 0;
    for (auto p = trace.find("ZEB[3] FirstName["); p != std::string::npos; p = trace.find("ZEB[3] FirstName[", p + 1))
        ++users;
    EXPECT_EQ(users, 100u);

    EXPECT_TRUE(zeb().ZebGetZEBGlobal());
    EXPECT_EQ(zeb().zebVersion, "R7.1 \xE9t\xE9");
    EXPECT_TRUE(traced("ZEB[3] ZEB release: R7.1 \xE9t\xE9"));
    EXPECT_EQ(fetch(), 0) << "the XmlAdmin service works again afterwards";
}

TEST_F(SessionWithPbxTest, ProbeOfThePbx)
{
    {
        RunningPbx pbx({});
        EXPECT_EQ(kelm::TestTargetIP(zeb().hostAddress.view(), 1, *log), 1);
        EXPECT_TRUE(pbx.saw(" probe from=127.0.0.1:10000 port=8888"));
    }
    RunningPbx silent({"--no-udp-answer"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(kelm::TestTargetIP(zeb().hostAddress.view(), 1, *log), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 999ms);
}

} // namespace
