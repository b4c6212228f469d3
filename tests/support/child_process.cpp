#include "tests/support/child_process.h"

#include "tests/support/file_text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kelm::test {
namespace {

std::vector<std::string> buildEnvironment(const ProcessSpec& spec)
{
    std::vector<std::string> env;
    if (!spec.cleanEnvironment)
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
    for (const auto& change : spec.environment) {
        const auto eq = change.find('=');
        const std::string name = change.substr(0, eq);
        std::erase_if(env, [&](const std::string& e) {
            return e.compare(0, name.size(), name) == 0 && e.size() > name.size() &&
                   e[name.size()] == '=';
        });
        if (eq != std::string::npos)
            env.push_back(change);
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

std::ostream& operator<<(std::ostream& out, const ExitStatus& status)
{
    if (status.signal != 0)
        return out << "killed by signal " << status.signal << " (" << strsignal(status.signal)
                   << ")";
    return out << "exit code " << status.code;
}

std::vector<pid_t> liveProcessesInGroup(pid_t pgid)
{
    std::vector<pid_t> live;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // After the command, which may hold spaces and parentheses: state, ppid, pgrp.
        const std::string stat = readFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0, group = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &ppid, &group) == 3 &&
            group == pgid && state != 'Z' && state != 'X')
            live.push_back(std::stoi(name));
    }
    return live;
}

ExitStatus exitedWith(int code) { return {code, 0}; }
ExitStatus killedBy(int signal) { return {0, signal}; }

ChildProcess::ChildProcess(const ProcessSpec& spec)
{
    if (spec.argv.empty())
        throw std::invalid_argument("ChildProcess: no program");
    std::vector<std::string> argv = spec.argv;
    std::vector<std::string> env = buildEnvironment(spec);
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const std::string out = spec.stdoutFile.empty() ? "" : std::filesystem::absolute(spec.stdoutFile).string();
    const std::string err = spec.stderrFile.empty() ? "" : std::filesystem::absolute(spec.stderrFile).string();
    constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC;
    if (!out.empty())
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), kCreate, 0644);
    if (!err.empty() && err == out)
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    else if (!err.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), kCreate, 0644);
    // Descriptors the test holds (sockets, pipes) must not keep living in the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (!spec.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, spec.workingDirectory.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);
    const int error = posix_spawnp(&pid_, argv[0].c_str(), &actions, &attr, argvPointers.data(),
                                   envPointers.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        pid_ = -1;
        throw std::system_error(error, std::generic_category(), "cannot start " + argv[0]);
    }
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), pidFd_(other.pidFd_), status_(other.status_)
{
    other.pid_ = -1;
    other.pidFd_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        if (pid_ > 0 && !status_)
            kill();
        if (pidFd_ >= 0)
            ::close(pidFd_);
        pid_ = other.pid_;
        pidFd_ = other.pidFd_;
        status_ = other.status_;
        other.pid_ = -1;
        other.pidFd_ = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0 && !status_) {
        ::kill(-pid_, SIGKILL);
        waitFor(std::chrono::seconds(10));
    }
    if (pidFd_ >= 0)
        ::close(pidFd_);
}

std::optional<ExitStatus> ChildProcess::waitFor(std::chrono::milliseconds timeout)
{
    if (status_ || pid_ <= 0)
        return status_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        // Not reaped yet: while the child is a zombie its pid, and so its group id, cannot be
        // reused, and reap() can still kill what is left of the group.
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid_) {
            reap();
            return status_;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        if (pidFd_ >= 0) {
            pollfd p{pidFd_, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left.count()));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
        }
    }
}

void ChildProcess::reap()
{
    ::kill(-pid_, SIGKILL);
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFSIGNALED(raw) ? killedBy(WTERMSIG(raw)) : exitedWith(WEXITSTATUS(raw));
}

bool ChildProcess::signal(int sig) const { return pid_ > 0 && !status_ && ::kill(pid_, sig) == 0; }

bool ChildProcess::signalGroup(int sig) const
{
    return pid_ > 0 && !status_ && ::kill(-pid_, sig) == 0;
}

ExitStatus ChildProcess::kill()
{
    if (!status_ && pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        waitFor(std::chrono::seconds(10));
    }
    return status_.value_or(killedBy(SIGKILL));
}

} // namespace kelm::test
