#pragma once

#include <string>
#include <string_view>

namespace kelm::tools {

// Text wrapped at word boundaries to 96 columns, every line below an indent, ending in a line feed:
// the option descriptions of the tools' --help.
inline std::string wrappedHelp(std::string_view text, std::size_t indent)
{
    constexpr std::size_t kWidth = 96;
    std::string out(indent, ' ');
    std::size_t column = indent;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(' ', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const auto word = text.substr(pos, end - pos);
        if (column > indent && column + 1 + word.size() > kWidth) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        pos = end + 1;
    }
    out += '\n';
    return out;
}

} // namespace kelm::tools
