// pbxsim: a simulated PBX for the integration tests and the demo. It answers the admin SOAP
// services and the reachability probe as the system expects of a PBX, makes calls into its log,
// and can be switched off, have its sessions expired and misbehave on purpose. `pbxsim --help`
// says everything it does.
#include "tools/pbxsim/call_journal.h"
#include "tools/pbxsim/call_maker.h"
#include "tools/pbxsim/http_front.h"
#include "tools/pbxsim/pbx.h"
#include "tools/pbxsim/probe_responder.h"
#include "tools/pbxsim/start_log.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using namespace kelm::pbxsim;
using Clock = std::chrono::steady_clock;

constexpr int kExitCannotStart = 1;
constexpr int kExitUsage = 2;

std::string signalName(int sig)
{
    switch (sig) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    case SIGUSR1: return "SIGUSR1";
    case SIGUSR2: return "SIGUSR2";
    default: return "signal" + std::to_string(sig);
    }
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string settingsLine(const PbxOptions& o, bool httpUp)
{
    std::string line = "address=" + o.address + " tcp=8894" + (httpUp ? "" : "(down)") +
                       " udp=8888,8889 group=" + ProbeResponder::kGroup + " password=" + printable(o.password) +
                       " release=" + printable(o.release) + " calls-per-second=" + number(o.callsPerSecond) +
                       " initial-calls=" + std::to_string(o.initialCalls) +
                       " start-log=" + (o.startLogPath.empty() ? "-" : printable(o.startLogPath)) +
                       " max-calls=" + std::to_string(o.maxCalls) +
                       " journal=" + (o.journalPath.empty() ? "-" : printable(o.journalPath)) +
                       " session-lifetime=" + number(o.sessionLifetime) + " users=" + std::to_string(o.users.size()) +
                       " users-total=" + (o.usersTotal ? std::to_string(*o.usersTotal) : "-") +
                       " io-timeout=" + number(o.ioTimeout);
    std::string switches;
    const auto add = [&](bool on, const std::string& name) {
        if (on)
            switches += (switches.empty() ? "" : ",") + name;
    };
    add(o.noUdpAnswer, "no-udp-answer");
    add(o.httpDown, "http-down");
    add(o.httpHang, "http-hang");
    add(o.answerCalls.has_value(), "answer-calls=" + std::to_string(o.answerCalls.value_or(0)));
    add(o.totalExcess != 0, "total-excess=" + std::to_string(o.totalExcess));
    add(o.nonAscii, "non-ascii");
    add(o.callLogStatus.has_value(), "calllog-status=" + std::to_string(o.callLogStatus.value_or(0)));
    return line + " misbehaviour=" + (switches.empty() ? "-" : switches);
}

std::string callDetails(const CallRecord& call)
{
    const auto text = [](const std::optional<std::string>& t) { return t ? printable(*t) : std::string("-"); };
    std::string line = call.itemId ? std::to_string(call.itemId->timeId) + "/" + std::to_string(call.itemId->diffId) : "-/-";
    line += " dir=" + text(call.dirNumber) + " corr=" + text(call.corrNumber) + " initial=" + text(call.initialDest) +
            " begin=" + text(call.dateOfBegin) + " end=" + text(call.dateOfEnd);
    return line + (call.initialDest == call.corrNumber ? " normal" : " transfer");
}

class Simulator {
public:
    Simulator(const PbxOptions& options, in_addr address)
        : options_(options),
          pbx_(options, out_),
          maker_(options.firstDiffId, options.nonAscii),
          probes_(address, out_),
          http_(pbx_),
          httpUp_(!options.httpDown)
    {
    }

    int run()
    {
        std::string error;
        if (!options_.journalPath.empty() && !journal_.open(options_.journalPath, error))
            return fail(error);
        if (!options_.startLogPath.empty()) {
            auto calls = readStartLog(options_.startLogPath, error);
            if (!calls)
                return fail(error);
            for (auto& call : *calls) {
                maker_.follow(call);
                record(std::move(call));
            }
            out_.line("calls", "added=" + std::to_string(calls->size()) + " from=start-log log=" +
                                   std::to_string(pbx_.log.size()));
        }
        if (options_.initialCalls > 0) {
            const auto now = std::chrono::system_clock::now();
            for (long i = 1; i <= options_.initialCalls; ++i)
                record(maker_.make(now - std::chrono::minutes(options_.initialCalls - i)));
            out_.line("calls", "added=" + std::to_string(options_.initialCalls) + " from=initial log=" +
                                   std::to_string(pbx_.log.size()));
        }

        sigset_t controls;
        sigemptyset(&controls);
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2})
            sigaddset(&controls, sig);
        sigprocmask(SIG_BLOCK, &controls, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        signalFd_ = ::signalfd(-1, &controls, SFD_NONBLOCK | SFD_CLOEXEC);
        if (signalFd_ < 0)
            return fail(std::string("signalfd: ") + std::strerror(errno));

        if (!probes_.open(error) || (httpUp_ && !http_.open(error)))
            return fail(error);
        out_.line("start", settingsLine(options_, httpUp_));

        callsStart_ = Clock::now();
        while (!stopping_) {
            std::vector<pollfd> fds{{signalFd_, POLLIN, 0}};
            for (int fd : probes_.descriptors())
                fds.push_back({fd, POLLIN, 0});
            const std::size_t firstTcp = fds.size();
            if (http_.listenFd() >= 0)
                fds.push_back({http_.listenFd(), POLLIN, 0});
            const std::size_t firstHeld = fds.size();
            for (int fd : http_.heldFds())
                fds.push_back({fd, POLLIN, 0});

            if (::poll(fds.data(), fds.size(), millisecondsToNextEvent()) < 0 && errno != EINTR)
                return fail(std::string("poll: ") + std::strerror(errno));
            if (fds[0].revents & POLLIN)
                handleSignals();
            for (std::size_t i = 1; i < firstTcp; ++i)
                if (fds[i].revents & POLLIN)
                    probes_.serve(fds[i].fd, powerOn_ && !options_.noUdpAnswer,
                                  powerOn_ ? "no-udp-answer" : "power-off");
            // The port may have closed by a control above; a stale descriptor is not served.
            if (firstTcp < firstHeld && fds[firstTcp].fd == http_.listenFd() && (fds[firstTcp].revents & POLLIN))
                http_.acceptOne();
            for (std::size_t i = firstHeld; i < fds.size(); ++i)
                if (fds[i].revents != 0)
                    http_.serviceHeld(fds[i].fd);
            http_.expireHeld(Clock::now());
            makeDueCalls();
        }
        http_.close("stop");
        return 0;
    }

private:
    int fail(const std::string& error)
    {
        std::fprintf(stderr, "pbxsim: %s\n", error.c_str());
        out_.line("error", printable(error));
        return kExitCannotStart;
    }

    void record(CallRecord call)
    {
        if (!journal_.append(call))
            out_.line("journal", "error=" + printable(std::strerror(errno)));
        pbx_.log.add(std::move(call));
    }

    Clock::time_point callDue(long long index) const
    {
        return callsStart_ + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(static_cast<double>(index) / options_.callsPerSecond));
    }

    void makeDueCalls()
    {
        if (options_.callsPerSecond <= 0)
            return;
        while (Clock::now() >= callDue(nextCall_)) {
            ++nextCall_;
            CallRecord call = maker_.make(std::chrono::system_clock::now());
            out_.line("call", callDetails(call));
            record(std::move(call));
        }
    }

    int millisecondsToNextEvent() const
    {
        std::optional<Clock::time_point> next;
        if (options_.callsPerSecond > 0)
            next = callDue(nextCall_);
        Clock::time_point held;
        if (http_.nextHeldDeadline(held) && (!next || held < *next))
            next = held;
        if (!next)
            return -1;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
    }

    void handleSignals()
    {
        signalfd_siginfo info{};
        while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            const int sig = static_cast<int>(info.ssi_signo);
            const std::string name = signalName(sig);
            if (sig == SIGTERM || sig == SIGINT) {
                out_.line("stop", name);
                stopping_ = true;
            } else if (sig == SIGUSR1) {
                const auto expired = pbx_.sessions.expireAll(Clock::now());
                out_.line("control", name + " expire-sessions expired=" + std::to_string(expired));
            } else if (sig == SIGUSR2) {
                out_.line("control", name + " power");
                setPower(!powerOn_);
            } else if (sig == SIGHUP) {
                out_.line("control", name + " http");
                httpUp_ = !httpUp_;
                applyHttp();
                out_.line("http", httpUp_ ? "up" : "down");
            }
        }
    }

    void setPower(bool on)
    {
        powerOn_ = on;
        if (!on)
            pbx_.sessions.clear(); // a PBX that restarts knows none of its earlier sessions
        applyHttp();
        out_.line("power", on ? "on" : "off");
    }

    void applyHttp()
    {
        if (powerOn_ && httpUp_) {
            std::string error;
            if (!http_.open(error))
                out_.line("http", "error=" + printable(error));
        } else {
            http_.close(powerOn_ ? "http-down" : "power-off");
        }
    }

    const PbxOptions& options_;
    EventOutput out_;
    Pbx pbx_;
    CallJournal journal_;
    CallMaker maker_;
    ProbeResponder probes_;
    HttpFront http_;
    int signalFd_ = -1;
    bool powerOn_ = true;
    bool httpUp_;
    bool stopping_ = false;
    Clock::time_point callsStart_;
    long long nextCall_ = 1;
};

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = parsePbxOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "pbxsim: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(pbxUsage().c_str(), stdout);
        return 0;
    }
    in_addr address{};
    const std::uint32_t host = ::inet_pton(AF_INET, options->address.c_str(), &address) == 1 ? ntohl(address.s_addr) : 0;
    // One unicast address: the PBX answers from it, and "any" would also catch the group's datagrams.
    if (host == 0 || IN_MULTICAST(host) || host == INADDR_BROADCAST) {
        std::fprintf(stderr, "pbxsim: --address needs one unicast IPv4 address, not \"%s\"\n", options->address.c_str());
        return kExitUsage;
    }
    Simulator simulator(*options, address);
    return simulator.run();
}
