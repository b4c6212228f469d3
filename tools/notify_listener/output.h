#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kelm::tools {

// One line per event, "SECONDS KIND TEXT", to standard output and, when asked, to a log file.
// Each line goes out in one write, so readers polling the log never see half a line.
class Output {
public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output();

    bool openLog(const std::string& path, std::string& error);
    void setStart(std::chrono::steady_clock::time_point start) { start_ = start; }
    void line(std::string_view kind, std::string_view text);

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    int logFd_ = -1;
};

// A notify message on one line: newline as \n, backslash as \\, other control bytes as \xHH.
std::string escapeMessage(std::string_view text);
std::string formatSeconds(double seconds);

} // namespace kelm::tools
