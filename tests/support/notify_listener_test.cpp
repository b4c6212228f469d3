#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/notify_log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace kelm::test;
using namespace std::chrono_literals;

const std::string kListener = KELM_PATH_notify_listener;
const std::string kSend = KELM_PATH_notify_send;

// A service stand-in: it reports like tallysvc, repeats a report on SIGUSR1 and stops on SIGTERM
// with exit code 7. notify_send speaks in the name of this shell, the listener's child.
const std::string kService = R"(N=$1
trap '"$N" STATUS=interrogated' USR1
trap '"$N" STOPPING=1 "STATUS=stopped \ now"; exit 7' TERM
"$N" "STATUS=start pending"
"$N" READY=1 STATUS=running
while :; do sleep 0.02; done)";

pid_t startedPid(const std::vector<NotifyLine>& lines)
{
    for (const auto& l : lines)
        if (l.kind == "start")
            return std::stoi(l.text.substr(l.text.find('=') + 1));
    return -1;
}

// SIGKILL takes effect a moment after it is sent.
bool groupGone(pid_t group)
{
    return waitUntil([&] { return liveProcessesInGroup(group).empty(); }, 5s);
}

class NotifyListenerTest : public TempDirTest {
protected:
    ChildProcess listen(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {kListener, "--log", log().string()});
        return ChildProcess(ProcessSpec(arguments).stdoutTo(dir() / "out").stderrTo(dir() / "err"));
    }
    std::filesystem::path log() const { return dir() / "notify.log"; }
};

TEST_F(NotifyListenerTest, ReportsEveryMessageAndSendsTheControlsOnTime)
{
    auto listener = listen({"--interrogate-at", "0.5", "--stop-after", "1", "--timeout", "30",
                            "--", "sh", "-c", kService, "sh", kSend});
    ASSERT_EQ(listener.waitFor(30s), exitedWith(7));

    const auto lines = readNotifyLog(log());
    EXPECT_EQ(readFile(dir() / "out"), readFile(log()));
    EXPECT_EQ(notifyMessages(lines),
              (std::vector<std::string>{"STATUS=start pending", "READY=1\nSTATUS=running",
                                        "STATUS=interrogated",
                                        "STOPPING=1\nSTATUS=stopped \\ now"}));
    std::vector<std::string> events;
    for (const auto& l : lines)
        events.push_back(l.kind + (l.kind == "notify" ? "" : " " + l.text));
    EXPECT_EQ(events, (std::vector<std::string>{"start " + lines.at(0).text, "notify", "notify",
                                                "signal SIGUSR1 interrogate", "notify",
                                                "signal SIGTERM stop", "notify", "exit code=7"}));

    const pid_t child = startedPid(lines);
    double previous = 0;
    for (const auto& l : lines) {
        EXPECT_GE(l.seconds, previous) << l.kind << " " << l.text;
        previous = l.seconds;
        if (l.kind == "notify") {
            EXPECT_EQ(l.senderPid, child) << l.text;
        }
        if (l.kind == "signal") {
            EXPECT_GE(l.seconds, l.text.starts_with("SIGUSR1") ? 0.5 : 1.0) << l.text;
        }
    }
}

TEST_F(NotifyListenerTest, ExitsWithTheChildsStatusAndLeavesNothingBehind)
{
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* lastLine;
    };
    const Case cases[] = {
        {"exit code", {"--", "sh", "-c", "exit 3"}, 3, "exit code=3"},
        {"killed by a signal", {"--", "sh", "-c", "kill -KILL $$"}, 137, "exit signal=9 (SIGKILL)"},
        {"overall time-out", {"--timeout", "0.5", "--", "sh", "-c", "sleep 30 & sleep 30"}, 124,
         "exit signal=9 (SIGKILL)"},
        {"ended, a grandchild left", {"--", "sh", "-c", "sleep 30 & exit 0"}, 0, "exit code=0"},
        {"no such program", {"--", "/nonexistent/program"}, 127, nullptr},
        {"no command", {}, 2, nullptr},
        {"bad time", {"--stop-after", "soon", "--", "true"}, 2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(log());
        const auto start = std::chrono::steady_clock::now();
        auto listener = listen(c.arguments);
        EXPECT_EQ(listener.waitFor(20s), exitedWith(c.exitCode));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        const auto lines = readNotifyLog(log());
        if (!c.lastLine)
            continue;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().kind + " " + lines.back().text, c.lastLine);
        EXPECT_TRUE(groupGone(startedPid(lines)));
    }
}

TEST_F(NotifyListenerTest, ASigtermToTheListenerIsForwardedOrEndsTheChild)
{
    for (const bool forward : {true, false}) {
        SCOPED_TRACE(forward ? "--forward-signals" : "no forwarding");
        std::filesystem::remove(log());
        std::vector<std::string> arguments = {"--timeout", "30", "--", "sh", "-c", kService, "sh",
                                              kSend};
        if (forward)
            arguments.insert(arguments.begin(), "--forward-signals");
        auto listener = listen(arguments);
        ASSERT_TRUE(fileContainsWithin(log(), "READY=1", 10s));
        ASSERT_TRUE(listener.signal(SIGTERM));
        EXPECT_EQ(listener.waitFor(20s), exitedWith(forward ? 7 : 128 + SIGTERM));

        const auto lines = readNotifyLog(log());
        const auto messages = notifyMessages(lines);
        EXPECT_EQ(messages.back(), forward ? "STOPPING=1\nSTATUS=stopped \\ now"
                                           : "READY=1\nSTATUS=running");
        EXPECT_TRUE(groupGone(startedPid(lines)));
    }
}

} // namespace
