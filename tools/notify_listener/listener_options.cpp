#include "tools/notify_listener/listener_options.h"

#include "tools/common/help_text.h"

#include <cmath>
#include <cstdlib>
#include <getopt.h>
#include <sstream>
#include <string_view>

namespace kelm::tools {
namespace {

struct OptionDoc {
    const char* name;
    const char* argument; // nullptr: a flag
    const char* text;
};

// One table drives both the parser and --help, so the help never misses an option.
constexpr OptionDoc kOptions[] = {
    {"log", "FILE", "also append every output line to FILE (created when missing)"},
    {"stop-after", "SECONDS", "send SIGTERM (the stop control) to the child SECONDS after its start"},
    {"interrogate-at", "SECONDS[,SECONDS...]",
     "send SIGUSR1 (the interrogate control) at each of these times after the start; may be "
     "repeated"},
    {"forward-signals", nullptr,
     "pass SIGTERM and SIGINT received by the listener on to the child and keep listening; without "
     "it they kill the child's process group and the listener exits with 128 + the signal"},
    {"timeout", "SECONDS",
     "kill the child's process group SECONDS after the start and exit with 124 (default 300)"},
    {"help", nullptr, "show this text"},
};

bool parseSeconds(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= 0;
}

} // namespace

std::string listenerUsage()
{
    std::ostringstream s;
    s << "usage: notify_listener [OPTION...] [--] COMMAND [ARGUMENT...]\n\n"
         "Runs COMMAND with NOTIFY_SOCKET set to a fresh AF_UNIX datagram socket and prints one line\n"
         "per event, with the seconds since the start on the monotonic clock:\n"
         "  T start pid=PID socket=PATH\n"
         "  T notify pid=SENDER MESSAGE     (newline as \\n, backslash as \\\\, other control bytes\n"
         "                                  as \\xHH; ' [truncated]' ends a message over 64 KiB)\n"
         "  T signal SIGNAME stop|interrogate|forwarded\n"
         "  T received SIGNAME / T kill process group PID / T timeout after S s\n"
         "  T exit code=N | T exit signal=N (SIGNAME)\n"
         "The child leads its own process group; when it ends, whatever is left of the group is\n"
         "killed. The listener exits with the child's exit code, 128 + the signal that ended it,\n"
         "124 after --timeout, 127 when COMMAND cannot be run, 2 for a bad command line.\n\n"
         "Options:\n";
    for (const auto& o : kOptions) {
        std::string head = std::string("  --") + o.name + (o.argument ? std::string(" ") + o.argument : "");
        s << head << "\n" << kelm::tools::wrappedHelp(o.text, 6);
    }
    return s.str();
}

std::optional<ListenerOptions> parseListenerOptions(int argc, char** argv, std::string& error)
{
    constexpr int kCount = sizeof kOptions / sizeof kOptions[0];
    option longOptions[kCount + 1] = {};
    for (int i = 0; i < kCount; ++i)
        longOptions[i] = {kOptions[i].name, kOptions[i].argument ? required_argument : no_argument,
                          nullptr, i};
    ListenerOptions result;
    optind = 1;
    opterr = 0;
    int index = 0;
    int c;
    // "+": the options end at COMMAND, whose own options are its business.
    while ((c = getopt_long(argc, argv, "+", longOptions, &index)) != -1) {
        if (c < 0 || c >= kCount) {
            error = std::string("unknown option or missing value: ") + argv[optind - 1];
            return std::nullopt;
        }
        const std::string name = kOptions[c].name;
        double seconds = 0;
        if (name == "log") {
            result.logPath = optarg;
        } else if (name == "stop-after") {
            if (!parseSeconds(optarg, seconds)) {
                error = "--stop-after needs seconds, not " + std::string(optarg);
                return std::nullopt;
            }
            result.stopAfter = seconds;
        } else if (name == "interrogate-at") {
            std::stringstream list(optarg);
            std::string item;
            while (std::getline(list, item, ',')) {
                if (!parseSeconds(item.c_str(), seconds)) {
                    error = "--interrogate-at needs seconds, not " + item;
                    return std::nullopt;
                }
                result.interrogateAt.push_back(seconds);
            }
        } else if (name == "forward-signals") {
            result.forwardSignals = true;
        } else if (name == "timeout") {
            if (!parseSeconds(optarg, seconds) || seconds <= 0) {
                error = "--timeout needs seconds above 0, not " + std::string(optarg);
                return std::nullopt;
            }
            result.timeout = seconds;
        } else if (name == "help") {
            result.help = true;
            return result;
        }
    }
    for (int i = optind; i < argc; ++i)
        result.command.emplace_back(argv[i]);
    if (result.command.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    return result;
}

} // namespace kelm::tools
