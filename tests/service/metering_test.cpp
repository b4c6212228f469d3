// tallysvc against the simulated PBX, each test in a network namespace of its own, with 1-second
// periods. Every test ends by checking the collector files against the calls the PBX made.
#include "platform/xml_document.h"
#include "tests/service/service_rig.h"
#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"

#include <algorithm>
#include <csignal>
#include <thread>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
using kelm::test::exitedWith;
using kelm::test::RunningPbx;
using kelm::test::ServiceRig;
using kelm::test::ServiceSettings;
namespace fs = std::filesystem;

const std::string kLoginFailed = "Login target ZEB unsuccessfully,if target IP exist,please check your password!";

bool waitForTickets(const ServiceRig& rig, std::size_t count, std::chrono::milliseconds timeout = 30s)
{
    return kelm::test::waitUntil([&] { return rig.tickets() >= count; }, timeout, 100ms);
}

void expectClean(const ServiceRig& rig, const RunningPbx& pbx, std::size_t atLeast)
{
    const auto audit = rig.audit(pbx);
    EXPECT_TRUE(audit.clean()) << audit;
    EXPECT_GE(audit.tickets, atLeast) << audit;
}

TEST(ServiceTest, StartWithoutConfigurationRunsOnDefaultsAndStopsCleanly)
{
    ServiceRig rig;
    rig.start();
    EXPECT_TRUE(rig.traced("DEBUG[1] CKelmService::Initialization : no customer configuration data."));
    struct stat st{};
    ASSERT_EQ(::stat((rig.programDir() / "KELM.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(kelm::test::readFile(rig.programDir() / "TicketCollector.xml"),
              "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<CallAccountingList subscriber=\"all\"/>\n");

    EXPECT_EQ(rig.stop(), exitedWith(0));
    EXPECT_EQ(rig.notifications(),
              (std::vector<std::string>{"STATUS=start pending", "READY=1\nSTATUS=running",
                                        "STATUS=waiting for the PBX to answer its probe, not logged in, 0 tickets in the collector file, "
                                        "no call log fetched yet",
                                        "STOPPING=1\nSTATUS=stopped"}));
}

TEST(ServiceTest, MetersEveryCallOnceOldestFirstFromASlidingLog)
{
    RunningPbx pbx({"--calls-per-second", "30", "--initial-calls", "60"}); // all within the first window
    ServiceRig rig;
    rig.configure();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, 400));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    expectClean(rig, pbx, 400);
    EXPECT_LT(rig.audit(pbx).notYetFetched, 100u);

    // Logged in at start, but no fetch before a probe has found the PBX.
    const std::string trace = rig.trace();
    const auto login = trace.find("ZEB[4] CKelmZebObject::ZebLogin : OK.");
    const auto probe = trace.find("ZEB[4] t_main : Target ZEB test time.");
    const auto found = trace.find("ZEB[2] t_main : Target ZEB exist.");
    const auto fetch = trace.find("DEBUG[4] t_main : Call log update time.");
    EXPECT_LT(login, probe);
    EXPECT_LT(probe, found);
    EXPECT_LT(found, fetch);
    EXPECT_NE(fetch, std::string::npos);
    EXPECT_NE(trace.find("DEBUG[4] CKelmService::UnInitialization : close......"), std::string::npos);
    EXPECT_TRUE(pbx.saw(" logout session="));

    bool healthy = false;
    for (const auto& m : rig.notifications())
        healthy = healthy || (m.rfind("STATUS=PBX answering, logged in, ", 0) == 0 &&
                              m.find(" tickets in the collector file, last call log fetched ") != std::string::npos);
    EXPECT_TRUE(healthy);
}

TEST(ServiceTest, APbxSwitchedOffIsProbedUntilItAnswersAgain)
{
    RunningPbx pbx({"--calls-per-second", "10", "--initial-calls", "20"});
    ServiceRig rig;
    rig.configure();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, 25));

    pbx.control(SIGUSR2, "power off");
    const auto off = rig.trace().size();
    EXPECT_TRUE(rig.traced("DEBUG[4] t_main : ZEB RE login time.", 10s, off));
    EXPECT_TRUE(rig.traced("ZEB[2] CKelmZebObject::ZebLogin : ERROR.", 10s, off));
    EXPECT_TRUE(rig.traced("ZEB[2] t_main : " + kLoginFailed, 10s, off));
    EXPECT_TRUE(rig.traced("ZEB[1] t_main : Connect ZEB time out.Target ZEB does not exist.", 10s, off));

    pbx.control(SIGUSR2, "power on");
    const auto on = rig.trace().size();
    EXPECT_TRUE(rig.traced("ZEB[2] t_main : Target ZEB exist.", 10s, on));
    EXPECT_TRUE(rig.traced("DEBUG[4] t_main : Call log update.", 10s, on));
    const std::size_t before = rig.tickets();
    ASSERT_TRUE(waitForTickets(rig, before + 20));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    expectClean(rig, pbx, before + 20); // the calls made while it was off are there too
}

TEST(ServiceTest, ALostSessionIsFollowedByANewLogin)
{
    RunningPbx pbx({"--calls-per-second", "10", "--initial-calls", "20"});
    ServiceRig rig;
    rig.configure();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, 25));
    pbx.control(SIGUSR1, "expire");
    const auto from = rig.trace().size();
    EXPECT_TRUE(rig.traced("CALLLOG[1] CKelmZebObject::ZebGetCalllog : Bad session ID", 10s, from));
    EXPECT_TRUE(rig.traced("DEBUG[4] t_main : ZEB RE login time.", 10s, from));
    EXPECT_TRUE(rig.traced("ZEB[4] CKelmZebObject::ZebLogin : OK.", 10s, from));
    const std::size_t before = rig.tickets();
    ASSERT_TRUE(waitForTickets(rig, before + 15));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    expectClean(rig, pbx, before + 15);
}

TEST(ServiceTest, AnInterrogateRepeatsTheRunningReportWithTheHealth)
{
    RunningPbx pbx({"--initial-calls", "3"});
    ServiceRig rig;
    rig.configure();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, 3));
    const auto before = rig.notifications().size();
    rig.interrogate();
    // Ticks send their own status lines meanwhile: the answer is the one that repeats READY=1.
    const auto repeated = [&] {
        const auto messages = rig.notifications();
        return std::any_of(messages.begin() + static_cast<long>(before), messages.end(), [](const std::string& m) {
            return m.rfind("READY=1\nSTATUS=PBX answering, logged in, 3 tickets in the collector file, ", 0) == 0;
        });
    };
    EXPECT_TRUE(kelm::test::waitUntil(repeated, 5s));
    EXPECT_EQ(rig.stop(), exitedWith(0));
}

TEST(ServiceTest, AWrongPasswordCyclesBetweenProbeAndLogin)
{
    RunningPbx pbx({"--password", "other", "--initial-calls", "5"});
    ServiceRig rig;
    rig.configure();
    rig.start();
    EXPECT_TRUE(rig.traced("ZEB[2] CKelmService::StartKelmService : " + kLoginFailed));
    EXPECT_TRUE(kelm::test::waitUntil([&] {
        return rig.traceCount("ZEB[2] t_main : Target ZEB exist.") >= 2 &&
               rig.traceCount("ZEB[2] t_main : " + kLoginFailed) >= 2;
    }, 20s)) << rig.trace();
    EXPECT_EQ(rig.stop(), exitedWith(0));
    EXPECT_EQ(rig.tickets(), 0u);
}

TEST(ServiceTest, RollsOverIntoBackupsAtASmallLimit)
{
    RunningPbx pbx({"--calls-per-second", "25", "--initial-calls", "30"});
    ServiceRig rig;
    ServiceSettings settings;
    settings.maxTicket = 40;
    rig.configure(settings);
    rig.start();
    ASSERT_TRUE(kelm::test::waitUntil([&] { return rig.traceCount("DEBUG[4] CKelmMetering::FileBackup : backup xml file.") >= 3; },
                                      30s));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    std::size_t backups = 0;
    for (const auto& entry : fs::directory_iterator(rig.programDir())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("TicketCollector_", 0) != 0)
            continue;
        ++backups;
        auto loaded = kelm::platform::XmlDocument::load(entry.path().string());
        ASSERT_TRUE(loaded.document) << name;
        EXPECT_GE(loaded.document->countElements("CallAccounting"), 40u) << name;
    }
    EXPECT_GE(backups, 3u);
    expectClean(rig, pbx, 120);
}

TEST(ServiceTest, ARestartWritesNoCallTwice)
{
    RunningPbx pbx({"--calls-per-second", "20", "--initial-calls", "30"});
    ServiceRig rig;
    rig.configure();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, 60));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    std::this_thread::sleep_for(1500ms); // calls keep coming while it is stopped
    const std::size_t before = rig.tickets();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, before + 60));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    expectClean(rig, pbx, before + 60);
}

TEST(ServiceTest, AStopDuringAProbeWaitsForItThenLogsOut)
{
    RunningPbx pbx({"--no-udp-answer"});
    ServiceRig rig;
    ServiceSettings settings;
    settings.zebTimeout = 3; // a probe of three rounds of one second
    rig.configure(settings);
    rig.start();
    ASSERT_TRUE(rig.traced("ZEB[4] t_main : Target ZEB test time."));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.stop(), exitedWith(0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms) << "the probe was not waited for";
    const std::string trace = rig.trace();
    EXPECT_LT(trace.find("ZEB[1] t_main : Connect ZEB time out.Target ZEB does not exist."),
              trace.find("DEBUG[4] CKelmService::UnInitialization : close......"));
    EXPECT_NE(trace.find("DEBUG[4] CKelmService::UnInitialization : close......"), std::string::npos);
    EXPECT_TRUE(pbx.saw(" logout session="));
    EXPECT_EQ(rig.notifications().back(), "STOPPING=1\nSTATUS=stopped");
}

TEST(ServiceTest, AStopDuringAFetchWaitsForItsTicketsThenLogsOut)
{
    RunningPbx pbx({"--initial-calls", "5", "--fetch-delay", "2"});
    ServiceRig rig;
    ServiceSettings settings;
    settings.zebTimeout = 5; // longer than the PBX's delay: the fetch succeeds
    rig.configure(settings);
    rig.start();
    ASSERT_TRUE(pbx.saw(" delay seconds=", 15s));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.stop(), exitedWith(0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s) << "the fetch was not waited for";
    const std::string trace = rig.trace();
    EXPECT_LT(trace.find("DEBUG[4] CKelmMetering::OutputXML: output to XML."),
              trace.find("DEBUG[4] CKelmService::UnInitialization : close......"));
    EXPECT_TRUE(pbx.saw(" logout session="));
    EXPECT_EQ(rig.notifications().back(), "STOPPING=1\nSTATUS=stopped");
    expectClean(rig, pbx, 5);
}

TEST(ServiceTest, AStopDuringTheStartNeverLeavesItReportedRunning)
{
    RunningPbx pbx({"--http-hang"}); // the first login waits its whole time-out
    ServiceRig rig;
    ServiceSettings settings;
    settings.zebTimeout = 2;
    rig.configure(settings);
    rig.start(false);
    ASSERT_TRUE(pbx.saw(" hold peer="));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    const auto messages = rig.notifications();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "STATUS=start pending");
    EXPECT_EQ(messages.back(), "STOPPING=1\nSTATUS=stopped");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "STOPPING=1\nSTATUS=stopped"), 1);
    EXPECT_EQ(rig.traceCount("t_main : "), 0u) << "no tick may run after the stop";
}

TEST(ServiceTest, AKillDuringAStreamOfCallsLosesNothingAndRepeatsNothing)
{
    RunningPbx pbx({"--calls-per-second", "50", "--initial-calls", "50"});
    ServiceRig rig;
    ServiceSettings settings;
    settings.maxTicket = 60; // roll-overs among the kills
    rig.configure(settings);
    const std::chrono::milliseconds lifetimes[] = {2300ms, 3100ms, 2700ms, 3500ms};
    for (const auto lifetime : lifetimes) {
        rig.start();
        std::this_thread::sleep_for(lifetime);
        rig.crash();
        for (const auto& entry : fs::directory_iterator(rig.programDir())) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0) {
                EXPECT_EQ(kelm::platform::XmlDocument::load(entry.path().string()).status,
                          kelm::platform::XmlLoadStatus::Loaded) << name;
            }
        }
    }
    rig.start();
    const std::size_t before = rig.tickets();
    ASSERT_TRUE(waitForTickets(rig, before + 50));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    expectClean(rig, pbx, 400);
}

TEST(ServiceTest, ATextWithByte233ReadsBackFromTheGbkFile)
{
    RunningPbx pbx({"--non-ascii", "--initial-calls", "3"});
    ServiceRig rig;
    rig.configure();
    rig.start();
    ASSERT_TRUE(waitForTickets(rig, 3));
    EXPECT_EQ(rig.stop(), exitedWith(0));
    const std::string bytes = kelm::test::readFile(rig.programDir() / "TicketCollector.xml");
    EXPECT_NE(bytes.find("\xA8\xA6</DirNumber>"), std::string::npos) << "GBK for U+00E9";
    auto loaded = kelm::platform::XmlDocument::load((rig.programDir() / "TicketCollector.xml").string());
    ASSERT_TRUE(loaded.document);
    const auto dir = loaded.document->childText(loaded.document->selectFirst("//CallAccounting"), "DirNumber");
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->back(), '\xE9');
    expectClean(rig, pbx, 3);
}

} // namespace
