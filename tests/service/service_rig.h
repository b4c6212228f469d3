#pragma once

// What the service's integration tests stand on: tallysvc copied into a fresh program directory,
// configured as tallyconf would, run under the notify-socket listener against the simulated PBX.

#include "tests/pbxsim/pbxsim_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/notify_log.h"
#include "tests/support/temp_dir.h"
#include "tools/ticket_audit/ticket_audit.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelm::test {

struct ServiceSettings {
    std::string host = "127.0.0.1";
    std::string password = "secret";
    int callLogTimer = 1;  // seconds
    int zebTimeout = 1;    // seconds
    int maxTicket = 2000;
    int level = 4;         // every trace category
};

class ServiceRig {
public:
    ServiceRig();
    ~ServiceRig();
    ServiceRig(const ServiceRig&) = delete;
    ServiceRig& operator=(const ServiceRig&) = delete;

    const std::filesystem::path& programDir() const { return programDir_; }
    // KELM.conf written as tallyconf's first save writes it.
    void configure(const ServiceSettings& settings = {});

    // tallysvc under the notify-socket listener; returns once it has reported running.
    void start(bool waitForRunning = true);
    // The stop control; the exit status of tallysvc.
    ExitStatus stop();
    // kill -9 of tallysvc, as a crash or a power cut would end it.
    void crash();
    // The interrogate control.
    void interrogate();
    bool running();

    std::vector<std::string> notifications() const;
    std::string trace() const;
    // Success once the trace log holds text (after `from` bytes, when given).
    ::testing::AssertionResult traced(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                                      std::size_t from = 0) const;
    // How many times the trace log holds text.
    std::size_t traceCount(const std::string& text) const;
    // The collector files against the journal of pbx.
    tools::Audit audit(const RunningPbx& pbx) const;
    std::size_t tickets() const;

private:
    pid_t servicePid() const;
    TempDir root_;
    std::filesystem::path programDir_;
    std::optional<ChildProcess> listener_;
    int runs_ = 0;
};

} // namespace kelm::test
