#include "tests/support/child_process.h"

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

#include <csignal>
#include <gtest/gtest.h>
#include <system_error>

namespace {

using namespace kelm::test;
using namespace std::chrono_literals;

// SIGKILL takes effect a moment after it is sent.
bool groupGone(pid_t group)
{
    return waitUntil([&] { return liveProcessesInGroup(group).empty(); }, 5s);
}

class ChildProcessTest : public TempDirTest {};

TEST_F(ChildProcessTest, RunsWithArgumentsEnvironmentAndDirectoryAndCapturesBothStreams)
{
    ::setenv("KELM_DROPPED", "x", 1);
    ChildProcess child(ProcessSpec({"sh", "-c",
                                    "echo \"out $1 $KELM_ADDED ${KELM_DROPPED-unset}\"; pwd; "
                                    "echo err >&2; exit 3",
                                    "sh", "arg"})
                           .env("KELM_ADDED=yes")
                           .env("KELM_DROPPED")
                           .cwd(dir())
                           .stdoutTo(dir() / "out")
                           .stderrTo(dir() / "err"));
    ::unsetenv("KELM_DROPPED");
    EXPECT_EQ(child.waitFor(10s), exitedWith(3));
    EXPECT_EQ(readFile(dir() / "out"), "out arg yes unset\n" + dir().string() + "\n");
    EXPECT_EQ(readFile(dir() / "err"), "err\n");
}

TEST_F(ChildProcessTest, WaitTimesOutWhileItRunsAndSeesTheSignalThatEndsIt)
{
    ChildProcess child(ProcessSpec({"sleep", "30"}));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(child.waitFor(200ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_TRUE(child.running());
    ASSERT_TRUE(child.signal(SIGTERM));
    EXPECT_EQ(child.waitFor(10s), killedBy(SIGTERM));
    EXPECT_FALSE(child.signal(SIGTERM));
}

// Whatever the child started must not outlive the test: neither after the child has ended by
// itself nor when the test lets go of a child that still runs.
TEST_F(ChildProcessTest, LeavesNoProcessOfItsGroupBehind)
{
    pid_t group;
    {
        ChildProcess child(ProcessSpec({"sh", "-c", "sleep 30 & sleep 30 & echo started; wait"})
                               .stdoutTo(dir() / "out"));
        group = child.pid();
        ASSERT_TRUE(fileContainsWithin(dir() / "out", "started", 10s));
        EXPECT_EQ(liveProcessesInGroup(group).size(), 3u); // the shell and its two sleeps
    }
    EXPECT_TRUE(groupGone(group));

    ChildProcess parent(ProcessSpec({"sh", "-c", "sleep 30 & exit 0"}));
    EXPECT_EQ(parent.waitFor(10s), exitedWith(0));
    EXPECT_TRUE(groupGone(parent.pid()));
}

TEST_F(ChildProcessTest, AProgramThatCannotStartThrows)
{
    EXPECT_THROW(ChildProcess(ProcessSpec({"/nonexistent/program"})), std::system_error);
    EXPECT_THROW(ChildProcess(ProcessSpec({"true"}).cwd(dir() / "missing")), std::system_error);
}

} // namespace
