// The container harness itself: what the service's tests against a real systemd rely on.
#include "tests/support/file_text.h"
#include "tests/support/systemd_container.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace kelm::test;
using namespace std::chrono_literals;

// systemd-notify is a child of the unit's main process, hence NotifyAccess=all.
constexpr const char* kUnit = R"([Unit]
Description=KELM container smoke test

[Service]
Type=notify
NotifyAccess=all
ExecStart=/opt/kelm/notify-ready.sh
)";

// Ready only once the test says so, so that the test can see the start wait for READY=1.
constexpr const char* kProgram = R"(#!/bin/sh
while [ ! -e /run/kelm-smoke-go ]; do sleep 0.05; done
systemd-notify --ready --status="smoke ready"
exec sleep infinity
)";

TEST(SystemdContainerTest, BootsRunsANotifyUnitAndPowersOff)
{
    TempDir bound;
    writeFile(bound / "kelm-smoke.service", kUnit);
    writeFile(bound / "notify-ready.sh", kProgram, std::filesystem::perms(0755));

    pid_t systemd = -1;
    {
        SystemdContainer container(bound.path());
        systemd = container.systemdPid();
        // A fresh container has no reason to have a failed unit; one would point at the harness.
        EXPECT_EQ(container.bootState(), "running")
            << container.run({"systemctl", "--failed", "--no-pager"}).output;
        EXPECT_NE(container.run({"touch", "/opt/kelm/written"}).status, exitedWith(0));

        ASSERT_EQ(container
                      .shell("cp /opt/kelm/kelm-smoke.service /etc/systemd/system/ && "
                             "systemctl daemon-reload && systemctl start --no-block kelm-smoke")
                      .status,
                  exitedWith(0));
        const auto state = [&] {
            return container.run({"systemctl", "is-active", "kelm-smoke"}).output;
        };
        EXPECT_TRUE(waitUntil([&] { return state() == "activating\n"; }, 10s)) << state();
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(state(), "activating\n");

        container.run({"touch", "/run/kelm-smoke-go"});
        EXPECT_TRUE(waitUntil([&] { return state() == "active\n"; }, 10s)) << state();
        EXPECT_EQ(container.run({"systemctl", "show", "-P", "StatusText", "kelm-smoke"}).output,
                  "smoke ready\n");

        EXPECT_EQ(container.run({"systemctl", "stop", "kelm-smoke"}).status, exitedWith(0));
        EXPECT_EQ(state(), "inactive\n");
        EXPECT_TRUE(container.powerOff());
    }
    EXPECT_TRUE(::kill(systemd, 0) != 0 && errno == ESRCH);
}

} // namespace
