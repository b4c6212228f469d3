#pragma once

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kelm::test {

// A real systemd booted in systemd-nspawn by tests/systemd/container.sh: a cached minbase Debian
// on a throw-away overlay, only a loopback interface, hostDir bound read-only at /opt/kelm. The
// container is powered off on destruction, and also when the test process dies.
class SystemdContainer {
public:
    struct Result {
        ExitStatus status;
        std::string output; // standard output and error, interleaved
    };

    // Boots and waits until the container's systemd has finished starting. Throws
    // std::runtime_error with the harness's messages when it does not come up in time (the first
    // run also builds the root file system, in a minute or two).
    explicit SystemdContainer(const std::filesystem::path& hostDir);
    SystemdContainer(const SystemdContainer&) = delete;
    SystemdContainer& operator=(const SystemdContainer&) = delete;
    ~SystemdContainer();

    // The container's systemd, as the host sees it.
    pid_t systemdPid() const { return systemdPid_; }
    // "running" or "degraded": what `systemctl is-system-running --wait` said at the end of boot.
    const std::string& bootState() const { return bootState_; }

    // Runs command inside the container (root, clean environment); killed after timeout.
    Result run(const std::vector<std::string>& command,
               std::chrono::seconds timeout = std::chrono::seconds(60));
    // The same for a /bin/sh script.
    Result shell(const std::string& script, std::chrono::seconds timeout = std::chrono::seconds(60));

    // systemctl poweroff and waits for nspawn, forcing it when it takes too long. True when the
    // container powered off cleanly. Later calls do nothing and return the first result.
    bool powerOff();

private:
    TempDir work_;
    std::optional<ChildProcess> supervisor_;
    std::optional<bool> poweredOff_;
    pid_t systemdPid_ = -1;
    std::string bootState_;
    int commands_ = 0;
};

} // namespace kelm::test
