// Sessions of the simulated PBX: who gets one, when a session ID is refused with code 55, and the
// other operations that take a session (users, the release on the XmlZeb service).

#include "tests/pbxsim/pbxsim_harness.h"

#include <csignal>
#include <thread>

namespace kelm::test {
namespace {

constexpr int kSessionNotAccepted = 55;

TEST(PbxSimSession, OnlyTheAdministratorWithThePasswordGetsASession)
{
    RunningPbx pbx({"--password", "p&\xE9"});
    PbxClient client;
    const struct {
        const char* loginName;
        const char* password;
        bool granted;
    } cases[] = {
        {"administrator", "p&\xE9", true},
        {"administrator", "p&e", false},
        {"administrator", "", false},
        {"Administrator", "p&\xE9", false},
        {"", "p&\xE9", false},
    };
    std::string earlier;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.loginName) + "/" + c.password);
        const auto login = client.login(c.password, c.loginName);
        ASSERT_EQ(login.rc, 0);
        EXPECT_EQ(login.code == 0, c.granted) << login.code;
        EXPECT_EQ(login.sessionId.empty(), !c.granted);
        if (c.granted) {
            EXPECT_EQ(client.fetch(login.sessionId).code, 0);
            EXPECT_NE(login.sessionId, earlier);
            earlier = login.sessionId;
        }
    }
    EXPECT_NE(client.login("p&\xE9").sessionId, earlier); // every login a fresh ID
    EXPECT_TRUE(pbx.saw("login refused loginName=Administrator code=1"));
}

TEST(PbxSimSession, ASessionEndsByLogoutControlOrAge)
{
    RunningPbx pbx({"--session-lifetime", "1.5"});
    PbxClient client;
    EXPECT_EQ(client.fetch("no-such-session").code, kSessionNotAccepted);
    EXPECT_EQ(client.fetch("").code, kSessionNotAccepted);

    const std::string loggedOut = sessionOf(client);
    EXPECT_EQ(client.logout(loggedOut), 0);
    EXPECT_TRUE(pbx.saw("logout session=" + loggedOut + " status=0"));
    EXPECT_EQ(client.fetch(loggedOut).code, kSessionNotAccepted);
    EXPECT_EQ(client.logout(loggedOut), kSessionNotAccepted);

    const std::string expired = sessionOf(client);
    pbx.control(SIGUSR1, "expire-sessions expired=1");
    const auto refused = client.fetch(expired);
    EXPECT_EQ(refused.code, kSessionNotAccepted);
    EXPECT_EQ(refused.total, 0);
    EXPECT_TRUE(refused.entries.empty());

    const std::string aged = sessionOf(client);
    EXPECT_EQ(client.fetch(aged).code, 0);
    std::this_thread::sleep_for(1600ms);
    EXPECT_EQ(client.fetch(aged).code, kSessionNotAccepted);
    EXPECT_TRUE(pbx.saw("fetch session=" + aged + " nbItemFromEnd=200 status=55 total=0"));
    EXPECT_EQ(client.fetch(sessionOf(client)).code, 0);
}

TEST(PbxSimSession, UsersComeInPagesWithTheTotalTheyAreGiven)
{
    const struct {
        std::vector<std::string> options;
        int index;
        int nbItems;
        int total;
        int count;
        bool firstHasLines;
    } cases[] = {
        {{"--users", "150"}, 0, 100, 150, 100, true},
        {{"--users", "150"}, 140, 100, 150, 10, true},
        {{"--users", "150"}, 200, 100, 150, 0, false},
        {{"--users", "3", "--users-total", "7"}, 0, 100, 7, 3, true},
        {{"--user", "Doe,Jane,jdoe,201", "--users", "0"}, 0, 100, 1, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[1] + " from " + std::to_string(c.index));
        RunningPbx pbx(c.options);
        PbxClient client;
        const auto users = client.users(sessionOf(client), c.index, c.nbItems);
        ASSERT_EQ(users.rc, 0);
        EXPECT_EQ(users.code, 0);
        EXPECT_EQ(users.total, c.total);
        EXPECT_EQ(users.count, c.count);
        EXPECT_EQ(users.firstHasLines, c.firstHasLines);
        EXPECT_EQ(client.users("stale", 0, 100).code, kSessionNotAccepted);
    }
}

TEST(PbxSimSession, TheReleaseIsAnsweredOnTheXmlZebServiceOnly)
{
    RunningPbx pbx({"--release", "R9.9 \xE9"});
    PbxClient client;
    const std::string session = sessionOf(client);

    const auto release = client.release(session);
    ASSERT_EQ(release.rc, 0);
    EXPECT_EQ(release.code, 0);
    EXPECT_EQ(release.text, "R9.9 \xE9");
    EXPECT_EQ(client.release("stale").code, kSessionNotAccepted);
    EXPECT_EQ(client.release("stale").text, std::nullopt);

    // A client that did not switch to XmlZeb gets a fault, and XmlAdmin answers again afterwards.
    EXPECT_NE(client.release(session, true).rc, 0);
    EXPECT_TRUE(pbx.saw("fault operation=getZEBGlobalProperties reason=wrong-service path=/services/XmlAdmin"));
    EXPECT_EQ(client.fetch(session).code, 0);
}

} // namespace
} // namespace kelm::test
