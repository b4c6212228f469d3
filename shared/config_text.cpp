#include "shared/config_text.h"

namespace kelm {

namespace {

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isSeparator(char c)
{
    return c == ' ' || c == ':' || c == '=';
}

} // namespace

void ConfigText::assign(std::string_view text)
{
    const auto zero = text.find('\0');
    text_.assign(zero == std::string_view::npos ? text : text.substr(0, zero));
}

long ConfigText::FindKey(std::string_view key) const
{
    if (key.empty())
        return -1;
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = text_.find(key, from);
        if (pos == std::string::npos)
            return -1;
        // Walk back to the line start; a '#' on the way makes this occurrence a comment. The start
        // of the text counts as a line start.
        bool commented = false;
        for (std::size_t i = pos; i > 0; --i) {
            const char c = text_[i - 1];
            if (isLineEnd(c))
                break;
            if (c == '#') {
                commented = true;
                break;
            }
        }
        if (!commented)
            return static_cast<long>(pos);
        from = pos + key.size();
    }
}

std::pair<std::size_t, std::size_t> ConfigText::valueRange(std::size_t keyPos,
                                                           std::size_t keyLength) const
{
    std::size_t begin = keyPos + keyLength;
    while (begin < text_.size() && isSeparator(text_[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < text_.size() && !isLineEnd(text_[end]))
        ++end;
    return {begin, end};
}

bool ConfigText::GetKeyValue(std::string_view key, std::string& value) const
{
    const long pos = FindKey(key);
    if (pos < 0)
        return false;
    const auto [begin, end] = valueRange(static_cast<std::size_t>(pos), key.size());
    value.assign(text_, begin, end - begin);
    return true;
}

bool ConfigText::SetKeyValue(std::string_view key, std::string_view value)
{
    const long pos = FindKey(key);
    if (pos < 0)
        return false;
    // A value never spans lines: a line break in it would plant settings of its own.
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    const auto [begin, end] = valueRange(static_cast<std::size_t>(pos), key.size());
    text_.replace(begin, end - begin, value);
    return true;
}

} // namespace kelm
