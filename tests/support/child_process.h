#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace kelm::test {

// How a process ended.
struct ExitStatus {
    int code = 0;   // exit code, when signal is 0
    int signal = 0; // the signal that ended it, 0 when it exited
    bool success() const { return signal == 0 && code == 0; }
    bool operator==(const ExitStatus&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ExitStatus& status);
ExitStatus exitedWith(int code);
ExitStatus killedBy(int signal);

// The processes of group pgid that still run; ended ones waiting to be reaped do not count.
std::vector<pid_t> liveProcessesInGroup(pid_t pgid);

// What to run and how: ProcessSpec({"sh", "-c", "..."}).cwd(dir).stdoutTo(dir / "out").
struct ProcessSpec {
    explicit ProcessSpec(std::vector<std::string> arguments) : argv(std::move(arguments)) {}
    // "NAME=value" sets, a bare "NAME" removes.
    ProcessSpec& env(std::string change)
    {
        environment.push_back(std::move(change));
        return *this;
    }
    ProcessSpec& cleanEnv()
    {
        cleanEnvironment = true;
        return *this;
    }
    ProcessSpec& cwd(std::filesystem::path dir)
    {
        workingDirectory = std::move(dir);
        return *this;
    }
    ProcessSpec& stdoutTo(std::filesystem::path file)
    {
        stdoutFile = std::move(file);
        return *this;
    }
    ProcessSpec& stderrTo(std::filesystem::path file)
    {
        stderrFile = std::move(file);
        return *this;
    }
    // Standard output and error interleaved in one file.
    ProcessSpec& outputTo(const std::filesystem::path& file) { return stdoutTo(file).stderrTo(file); }

    std::vector<std::string> argv;          // argv[0]: the program, looked up in PATH without a '/'
    std::vector<std::string> environment;   // changes to the environment, in order
    bool cleanEnvironment = false;          // start from an empty environment instead of ours
    std::filesystem::path workingDirectory; // empty: ours
    std::filesystem::path stdoutFile;       // empty: ours; the file is truncated
    std::filesystem::path stderrFile;       // empty: ours; the same path as stdoutFile: one file
};

// A child process that leads a process group of its own. Whatever is left of the group is killed
// when the child has ended and been waited for, and on destruction, so a test leaves nothing
// behind (except what moved to another group or session on purpose). Standard input is /dev/null.
class ChildProcess {
public:
    // Throws std::system_error when the program cannot be started.
    explicit ChildProcess(const ProcessSpec& spec);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t pid() const { return pid_; }
    // The exit status once the child has ended, nothing when it still runs after timeout.
    std::optional<ExitStatus> waitFor(std::chrono::milliseconds timeout);
    bool running() { return !waitFor(std::chrono::milliseconds(0)); }
    // To the child alone / to its whole group. False once it has been waited for.
    bool signal(int sig) const;
    bool signalGroup(int sig) const;
    // SIGKILL to the group, then the child's exit status.
    ExitStatus kill();

private:
    void reap();
    pid_t pid_ = -1;
    int pidFd_ = -1;
    std::optional<ExitStatus> status_;
};

} // namespace kelm::test
