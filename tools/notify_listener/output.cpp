#include "tools/notify_listener/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kelm::tools {
namespace {

void writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a closed reader must not stop the listener
        data.remove_prefix(static_cast<size_t>(n));
    }
}

} // namespace

Output::~Output()
{
    if (logFd_ >= 0)
        ::close(logFd_);
}

bool Output::openLog(const std::string& path, std::string& error)
{
    logFd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd_ < 0) {
        error = "cannot open the log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Output::line(std::string_view kind, std::string_view text)
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string out = formatSeconds(seconds);
    out += ' ';
    out += kind;
    out += ' ';
    out += text;
    out += '\n';
    writeAll(STDOUT_FILENO, out);
    if (logFd_ >= 0)
        writeAll(logFd_, out);
}

std::string escapeMessage(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\\') {
            out += "\\\\";
        } else if (ch == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string formatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

} // namespace kelm::tools
