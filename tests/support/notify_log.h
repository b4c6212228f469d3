#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kelm::test {

// One line of notify_listener's output (its --log file).
struct NotifyLine {
    double seconds = 0;  // since the listener started, monotonic
    std::string kind;    // start, notify, signal, received, kill, timeout, exit, error
    std::string text;    // for notify: the message itself, unescaped, without the sender
    pid_t senderPid = 0; // for notify: who sent it
};

// Lines that do not have the listener's shape (a half-written last line) are left out.
std::vector<NotifyLine> parseNotifyLog(std::string_view content);
std::vector<NotifyLine> readNotifyLog(const std::filesystem::path& path);
// The texts of the notify lines, in order.
std::vector<std::string> notifyMessages(const std::vector<NotifyLine>& lines);

} // namespace kelm::test
