// notify_listener: stands in for the service manager's side of the notify protocol, so that tests
// and the demo can run tallysvc as systemd would and see every report it makes.
#include "tools/notify_listener/listener_options.h"
#include "tools/notify_listener/notify_socket.h"
#include "tools/notify_listener/output.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kelm::tools::ListenerOptions;
using kelm::tools::NotifySocket;
using kelm::tools::Output;

constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 124;
constexpr int kExitCannotRun = 127;

std::string signalName(int sig)
{
    switch (sig) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    case SIGUSR1: return "SIGUSR1";
    case SIGKILL: return "SIGKILL";
    default: return "signal " + std::to_string(sig);
    }
}

std::vector<char*> childEnvironment(const std::string& socketPath, std::string& assignment)
{
    assignment = "NOTIFY_SOCKET=" + socketPath;
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "NOTIFY_SOCKET=", 14) != 0)
            env.push_back(*e);
    env.push_back(assignment.data());
    env.push_back(nullptr);
    return env;
}

// The child leads a process group of its own, so that whatever it starts can be killed with it.
pid_t spawnChild(const std::vector<std::string>& command, const std::string& socketPath, int& error)
{
    std::vector<char*> argv;
    for (const auto& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::string assignment;
    auto env = childEnvironment(socketPath, assignment);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGUSR1})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    error = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), env.data());
    posix_spawnattr_destroy(&attr);
    return error == 0 ? pid : -1;
}

class Listener {
public:
    Listener(const ListenerOptions& options, NotifySocket& socket, Output& out)
        : options_(options), socket_(socket), out_(out)
    {
        pendingInterrogates_ = options.interrogateAt;
        std::sort(pendingInterrogates_.begin(), pendingInterrogates_.end(), std::greater<>());
    }

    int run(int signalFd)
    {
        start_ = Clock::now();
        out_.setStart(start_);
        int error = 0;
        child_ = spawnChild(options_.command, socket_.path(), error);
        if (child_ < 0) {
            out_.line("error", "cannot run " + options_.command[0] + ": " + std::strerror(error));
            return kExitCannotRun;
        }
        out_.line("start", "pid=" + std::to_string(child_) + " socket=" + socket_.path());

        while (true) {
            pollfd fds[2] = {{socket_.fd(), POLLIN, 0}, {signalFd, POLLIN, 0}};
            const int r = ::poll(fds, 2, millisecondsToNextEvent());
            if (r < 0 && errno != EINTR) {
                out_.line("error", std::string("poll: ") + std::strerror(errno));
                return finish(kExitCannotRun);
            }
            if (fds[0].revents & POLLIN)
                drainSocket();
            if (fds[1].revents & POLLIN) {
                if (auto rc = handleSignals(signalFd))
                    return *rc;
            }
            if (auto rc = runDueEvents())
                return *rc;
        }
    }

private:
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    int millisecondsToNextEvent() const
    {
        double next = options_.timeout;
        if (options_.stopAfter && !stopSent_)
            next = std::min(next, *options_.stopAfter);
        if (!pendingInterrogates_.empty())
            next = std::min(next, pendingInterrogates_.back());
        const double wait = next - elapsed();
        return wait <= 0 ? 0 : static_cast<int>(wait * 1000.0) + 1;
    }

    void drainSocket()
    {
        while (auto message = socket_.receive())
            out_.line("notify", "pid=" + std::to_string(message->senderPid) + " " +
                                    kelm::tools::escapeMessage(message->text) +
                                    (message->truncated ? " [truncated]" : ""));
    }

    void sendToChild(int sig, const std::string& why)
    {
        if (::kill(child_, sig) == 0)
            out_.line("signal", signalName(sig) + " " + why);
    }

    std::optional<int> handleSignals(int signalFd)
    {
        signalfd_siginfo info{};
        while (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            const int sig = static_cast<int>(info.ssi_signo);
            if (sig == SIGCHLD)
                continue; // looked at below, once for any number of them
            out_.line("received", signalName(sig));
            if (options_.forwardSignals && (sig == SIGTERM || sig == SIGINT)) {
                sendToChild(sig, "forwarded");
            } else {
                out_.line("kill", "process group " + std::to_string(child_));
                return finish(128 + sig);
            }
        }
        if (childEnded())
            return finish(std::nullopt);
        return std::nullopt;
    }

    std::optional<int> runDueEvents()
    {
        const double now = elapsed();
        if (now >= options_.timeout) {
            out_.line("timeout", "after " + kelm::tools::formatSeconds(options_.timeout) + " s");
            return finish(kExitTimeout);
        }
        if (options_.stopAfter && !stopSent_ && now >= *options_.stopAfter) {
            stopSent_ = true;
            sendToChild(SIGTERM, "stop");
        }
        while (!pendingInterrogates_.empty() && now >= pendingInterrogates_.back()) {
            pendingInterrogates_.pop_back();
            sendToChild(SIGUSR1, "interrogate");
        }
        return std::nullopt;
    }

    // The child is left unreaped here: as a zombie it keeps its pid, and so its process group id,
    // from being reused until finish() has killed what is left of the group.
    bool childEnded() const
    {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == child_;
    }

    // Kills the child's whole group (the child itself may have ended already) and reaps the child.
    int killGroupAndReap()
    {
        ::kill(-child_, SIGKILL);
        int status = 0;
        while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }

    int finish(std::optional<int> exitCodeOverride)
    {
        const int waitStatus = killGroupAndReap();
        drainSocket();
        int code;
        if (WIFEXITED(waitStatus)) {
            code = WEXITSTATUS(waitStatus);
            out_.line("exit", "code=" + std::to_string(code));
        } else {
            const int sig = WTERMSIG(waitStatus);
            code = 128 + sig;
            out_.line("exit", "signal=" + std::to_string(sig) + " (" + signalName(sig) + ")");
        }
        return exitCodeOverride.value_or(code);
    }

    const ListenerOptions& options_;
    NotifySocket& socket_;
    Output& out_;
    Clock::time_point start_;
    pid_t child_ = -1;
    bool stopSent_ = false;
    std::vector<double> pendingInterrogates_; // soonest last
};

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    auto options = kelm::tools::parseListenerOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "notify_listener: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(kelm::tools::listenerUsage().c_str(), stdout);
        return 0;
    }

    Output out;
    if (!options->logPath.empty() && !out.openLog(options->logPath, error)) {
        std::fprintf(stderr, "notify_listener: %s\n", error.c_str());
        return kExitUsage;
    }

    // Signals arrive through a descriptor, so the loop never misses a child's end or a stop.
    sigset_t handled;
    sigemptyset(&handled);
    for (int sig : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
        sigaddset(&handled, sig);
    sigprocmask(SIG_BLOCK, &handled, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = ::signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("notify_listener: signalfd");
        return kExitCannotRun;
    }

    auto socket = NotifySocket::create(error);
    if (!socket) {
        std::fprintf(stderr, "notify_listener: %s\n", error.c_str());
        return kExitCannotRun;
    }
    Listener listener(*options, *socket, out);
    const int rc = listener.run(signalFd);
    ::close(signalFd);
    return rc;
}
