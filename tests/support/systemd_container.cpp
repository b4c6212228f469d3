#include "tests/support/systemd_container.h"

#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"

#include <csignal>
#include <sstream>
#include <stdexcept>

namespace kelm::test {
namespace {

const std::string kScript = KELM_CONTAINER_SCRIPT;
constexpr auto kRootfsTimeout = std::chrono::seconds(1100); // a first debootstrap waits in line
constexpr auto kBootTimeout = std::chrono::seconds(150);
constexpr auto kPowerOffTimeout = std::chrono::seconds(90); // the script forces it after 40 s

std::string field(const std::string& state, const std::string& name)
{
    std::istringstream lines(state);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with(name + "="))
            return line.substr(name.size() + 1);
    return {};
}

} // namespace

SystemdContainer::SystemdContainer(const std::filesystem::path& hostDir)
{
    const auto rootfsLog = work_ / "rootfs.log";
    ChildProcess rootfs(ProcessSpec({kScript, "rootfs"}).outputTo(rootfsLog));
    const auto built = rootfs.waitFor(kRootfsTimeout);
    if (!built || !built->success())
        throw std::runtime_error("no root file system for the container:\n" + readFile(rootfsLog));

    // The parent-death signal makes the harness power the container off should this process die
    // before its destructor runs (a crash, a kill at the test's time-out).
    const auto state = work_ / "state";
    const auto bootLog = work_ / "boot.log";
    supervisor_.emplace(ProcessSpec({"setpriv", "--pdeathsig", "TERM", kScript, "boot",
                                     hostDir.string(), state.string()})
                            .outputTo(bootLog));
    const bool up = waitUntil(
        [&] { return std::filesystem::exists(state) || !supervisor_->running(); }, kBootTimeout,
        std::chrono::milliseconds(50));
    if (!up || !std::filesystem::exists(state)) {
        supervisor_->kill();
        throw std::runtime_error("the container did not boot:\n" + readFile(bootLog));
    }
    const std::string content = readFile(state);
    systemdPid_ = std::stoi(field(content, "pid"));
    bootState_ = field(content, "state");
}

SystemdContainer::~SystemdContainer() { powerOff(); }

SystemdContainer::Result SystemdContainer::run(const std::vector<std::string>& command,
                                               std::chrono::seconds timeout)
{
    std::vector<std::string> argv = {kScript, "exec", std::to_string(systemdPid_), "--"};
    argv.insert(argv.end(), command.begin(), command.end());
    const auto output = work_ / ("command-" + std::to_string(++commands_) + ".log");
    ChildProcess child(ProcessSpec(argv).outputTo(output));
    auto status = child.waitFor(timeout);
    if (!status)
        status = child.kill();
    return {*status, readFile(output)};
}

SystemdContainer::Result SystemdContainer::shell(const std::string& script,
                                                 std::chrono::seconds timeout)
{
    return run({"/bin/sh", "-c", script}, timeout);
}

bool SystemdContainer::powerOff()
{
    if (poweredOff_)
        return *poweredOff_;
    if (!supervisor_)
        return false;
    supervisor_->signal(SIGTERM);
    auto status = supervisor_->waitFor(kPowerOffTimeout);
    if (!status)
        status = supervisor_->kill();
    poweredOff_ = status->success();
    return *poweredOff_;
}

} // namespace kelm::test
