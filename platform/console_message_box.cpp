#include "platform/message_box.h"

#include <cstdio>
#include <string>

namespace kelm::platform {

void ConsoleMessageBox::showError(std::string_view caption, std::string_view text)
{
    std::string line;
    line.reserve(caption.size() + text.size() + 3);
    line.append(caption).append(": ").append(text).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace kelm::platform
