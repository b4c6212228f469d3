#include "tools/pbxsim/call_text.h"

#include <charconv>
#include <vector>

namespace kelm::pbxsim {
namespace {

constexpr std::string_view kAbsent = "\\-";
constexpr std::string_view kNoItemId = "-";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescape(std::string_view field, std::string& error)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == field.size()) {
            error = "a text ends in a lone backslash";
            return std::nullopt;
        }
        switch (field[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 'x': {
            const int high = i + 1 < field.size() ? hexValue(field[i + 1]) : -1;
            const int low = i + 2 < field.size() ? hexValue(field[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = "\\x needs two hex digits";
                return std::nullopt;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            error = std::string("unknown escape \\") + field[i];
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::int64_t> parseNumber(std::string_view field)
{
    std::int64_t value = 0;
    const auto [end, rc] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (rc != std::errc() || end != field.data() + field.size() || field.empty())
        return std::nullopt;
    return value;
}

void appendText(std::string& line, const std::optional<std::string>& text)
{
    line += '\t';
    line += text ? escapeCallText(*text) : std::string(kAbsent);
}

} // namespace

std::string escapeCallText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string formatCallLine(const CallRecord& call)
{
    std::string line;
    if (call.itemId)
        line = std::to_string(call.itemId->timeId) + '\t' + std::to_string(call.itemId->diffId);
    else
        line = std::string(kNoItemId) + '\t' + std::string(kNoItemId);
    appendText(line, call.dirNumber);
    appendText(line, call.corrNumber);
    appendText(line, call.initialDest);
    appendText(line, call.dateOfBegin);
    appendText(line, call.dateOfEnd);
    return line;
}

std::optional<CallRecord> parseCallLine(std::string_view line, std::string& error)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() != 7) {
        error = "expected 7 tab-separated fields, found " + std::to_string(fields.size());
        return std::nullopt;
    }
    CallRecord call;
    if (fields[0] == kNoItemId || fields[1] == kNoItemId) {
        if (fields[0] != fields[1]) {
            error = "TIMEID and DIFFID must both be numbers or both be -";
            return std::nullopt;
        }
    } else {
        const auto timeId = parseNumber(fields[0]);
        const auto diffId = parseNumber(fields[1]);
        if (!timeId || !diffId) {
            error = "TIMEID and DIFFID must be decimal 64-bit integers";
            return std::nullopt;
        }
        call.itemId = CallItemId{*timeId, *diffId};
    }
    std::optional<std::string>* texts[] = {&call.dirNumber, &call.corrNumber, &call.initialDest,
                                           &call.dateOfBegin, &call.dateOfEnd};
    for (std::size_t i = 0; i < 5; ++i) {
        if (fields[i + 2] == kAbsent)
            continue;
        auto text = unescape(fields[i + 2], error);
        if (!text)
            return std::nullopt;
        *texts[i] = std::move(*text);
    }
    return call;
}

} // namespace kelm::pbxsim
