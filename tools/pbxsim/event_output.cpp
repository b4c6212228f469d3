#include "tools/pbxsim/event_output.h"

#include "tools/pbxsim/call_text.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace kelm::pbxsim {

void EventOutput::line(std::string_view event, std::string_view details)
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f ", seconds);
    std::string out = stamp;
    out += event;
    if (!details.empty()) {
        out += ' ';
        out += details;
    }
    out += '\n';
    std::string_view rest = out;
    while (!rest.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a reader that went away must not stop the PBX
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string printable(std::string_view text)
{
    std::string out;
    for (const char c : escapeCallText(text)) {
        if (c == ' ')
            out += "\\x20";
        else
            out += c;
    }
    return out;
}

} // namespace kelm::pbxsim
