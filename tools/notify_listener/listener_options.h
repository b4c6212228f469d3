#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelm::tools {

struct ListenerOptions {
    std::vector<std::string> command;  // program and its arguments
    std::string logPath;               // empty: standard output only
    std::optional<double> stopAfter;   // seconds after the start: SIGTERM to the child
    std::vector<double> interrogateAt; // seconds after the start: SIGUSR1 to the child
    double timeout = 300;              // seconds after the start: the child's group is killed
    bool forwardSignals = false;
    bool help = false;
};

// Nothing, with error set, for a command line that does not make sense.
std::optional<ListenerOptions> parseListenerOptions(int argc, char** argv, std::string& error);
std::string listenerUsage();

} // namespace kelm::tools
