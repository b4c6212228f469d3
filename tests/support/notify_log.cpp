#include "tests/support/notify_log.h"

#include "tests/support/file_text.h"

#include <charconv>
#include <cstdlib>

namespace kelm::test {
namespace {

std::string unescape(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
        } else if (text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else if (text[i + 1] == 'x' && i + 3 < text.size()) {
            unsigned value = 0;
            std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16);
            out += static_cast<char>(value);
            i += 3;
        } else {
            out += text[i + 1];
            ++i;
        }
    }
    return out;
}

} // namespace

std::vector<NotifyLine> parseNotifyLog(std::string_view content)
{
    std::vector<NotifyLine> lines;
    while (!content.empty()) {
        const auto end = content.find('\n');
        if (end == std::string_view::npos)
            break; // still being written
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end + 1);

        const auto firstSpace = line.find(' ');
        if (firstSpace == std::string_view::npos)
            continue;
        NotifyLine parsed;
        const std::string stamp(line.substr(0, firstSpace));
        char* stampEnd = nullptr;
        parsed.seconds = std::strtod(stamp.c_str(), &stampEnd);
        if (stampEnd == stamp.c_str() || *stampEnd != '\0')
            continue;
        line.remove_prefix(firstSpace + 1);
        const auto kindEnd = line.find(' ');
        parsed.kind = std::string(line.substr(0, kindEnd));
        line = kindEnd == std::string_view::npos ? std::string_view() : line.substr(kindEnd + 1);
        if (parsed.kind == "notify" && line.starts_with("pid=")) {
            const auto pidEnd = line.find(' ');
            std::from_chars(line.data() + 4, line.data() + std::min(pidEnd, line.size()),
                            parsed.senderPid);
            line = pidEnd == std::string_view::npos ? std::string_view() : line.substr(pidEnd + 1);
            parsed.text = unescape(line);
        } else {
            parsed.text = std::string(line);
        }
        lines.push_back(std::move(parsed));
    }
    return lines;
}

std::vector<NotifyLine> readNotifyLog(const std::filesystem::path& path)
{
    return parseNotifyLog(readFile(path));
}

std::vector<std::string> notifyMessages(const std::vector<NotifyLine>& lines)
{
    std::vector<std::string> messages;
    for (const auto& l : lines)
        if (l.kind == "notify")
            messages.push_back(l.text);
    return messages;
}

} // namespace kelm::test
