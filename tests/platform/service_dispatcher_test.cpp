#include "platform/service_dispatcher.h"
#include "platform/service_status.h"

#include "notify_listener.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using kelm::platform::ServiceDispatcher;
using kelm::platform::ServiceState;
using kelm::platform::ServiceStatusReporter;
using kelm::test::NotifyListener;
using namespace std::chrono_literals;

bool controlsBlocked()
{
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, SIGTERM) == 1 && sigismember(&mask, SIGUSR1) == 1;
}

// A service as the host builds it: reports, then waits until the stop control has run. Each
// check it cannot make with gtest in the child becomes a bit of the exit code.
struct ChildService {
    enum Fault {
        kRunFailed = 1,
        kMainOnCallingThread = 2,
        kControlsNotBlocked = 4,
        kHandlerOffMainThread = 8,
    };

    bool reportRunningAtOnce = true;
    ServiceStatusReporter status;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;
    std::atomic<int> faults{0};

    int run()
    {
        const auto caller = std::this_thread::get_id();
        const bool ran = ServiceDispatcher::run(
            [&] {
                if (std::this_thread::get_id() == caller)
                    faults |= kMainOnCallingThread;
                if (!controlsBlocked())
                    faults |= kControlsNotBlocked;
                status.report(ServiceState::StartPending);
                std::unique_lock lock(mutex);
                if (reportRunningAtOnce)
                    status.report(ServiceState::Running);
                changed.wait(lock, [&] { return stopped; });
                if (!reportRunningAtOnce)
                    status.report(ServiceState::Running); // a start that ends after the stop
            },
            [&](std::uint32_t control) {
                if (std::this_thread::get_id() != caller)
                    faults |= kHandlerOffMainThread;
                if (control == ServiceDispatcher::kControlStop) {
                    status.report(ServiceState::Stopped);
                    std::lock_guard lock(mutex);
                    stopped = true;
                    changed.notify_all();
                } else if (control == ServiceDispatcher::kControlInterrogate) {
                    status.reportAgain();
                }
            });
        if (!ran)
            faults |= kRunFailed;
        if (!controlsBlocked())
            faults |= kControlsNotBlocked;
        return faults;
    }
};

// Runs the dispatcher in a child, so that the signals never reach the test runner.
class ServiceDispatcherTest : public ::testing::Test {
protected:
    void start(std::function<int()> child)
    {
        pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setenv("NOTIFY_SOCKET", listener.path().c_str(), 1);
            ::_exit(child());
        }
    }
    // The child's exit status, or -1 when it does not end in time.
    int wait(std::chrono::milliseconds limit = 5s)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(5ms);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void TearDown() override
    {
        if (pid > 0)
            wait(1ms);
    }
    NotifyListener listener;
    pid_t pid = -1;
};

TEST_F(ServiceDispatcherTest, StopAndInterrogateReachTheHandlerOnTheCallingThread)
{
    start([] { return ChildService{}.run(); });
    EXPECT_EQ(listener.next(), "STATUS=start pending");
    ASSERT_EQ(listener.next(), "READY=1\nSTATUS=running");
    ::kill(pid, SIGUSR1);
    EXPECT_EQ(listener.next(), "READY=1\nSTATUS=running");
    ::kill(pid, SIGTERM);
    EXPECT_EQ(listener.next(), "STOPPING=1\nSTATUS=stopped");
    EXPECT_EQ(wait(), 0);
}

TEST_F(ServiceDispatcherTest, StopDuringTheStartIsHandledAndTheServiceNeverShowsRunningAfter)
{
    start([] {
        ChildService service;
        service.reportRunningAtOnce = false;
        return service.run();
    });
    ASSERT_EQ(listener.next(), "STATUS=start pending");
    ::kill(pid, SIGTERM);
    EXPECT_EQ(listener.next(), "STOPPING=1\nSTATUS=stopped");
    EXPECT_EQ(wait(), 0);
    EXPECT_EQ(listener.next(100ms), std::nullopt);
}

TEST_F(ServiceDispatcherTest, ReturnsWhenTheServiceMainReturnsOnItsOwn)
{
    start([] {
        const bool ran = ServiceDispatcher::run([] {}, [](std::uint32_t) {});
        return ran && controlsBlocked() ? 0 : 1;
    });
    EXPECT_EQ(wait(), 0);
}

TEST(ServiceDispatcherWithoutManagerTest, FailsAtOnceDoingNothing)
{
    ::unsetenv("NOTIFY_SOCKET");
    bool started = false;
    EXPECT_FALSE(ServiceDispatcher::run([&] { started = true; }, [](std::uint32_t) {}));
    EXPECT_FALSE(started);
    EXPECT_FALSE(controlsBlocked());
}

} // namespace
