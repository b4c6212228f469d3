#pragma once

#include <string>
#include <string_view>

namespace kelm {

// Look-up and replacement of "KEY<separators>value" settings in the text of KELM.conf. Keys are
// case-sensitive and found anywhere in a line (also inside a longer word); an occurrence preceded
// by '#' on its line is a comment and skipped. Separators are any run of spaces, ':' and '='.
class ConfigText {
public:
    ConfigText() = default;
    // The text ends at its first zero byte.
    explicit ConfigText(std::string_view text) { assign(text); }

    void assign(std::string_view text);
    const std::string& str() const { return text_; }

    // Position of the key's first uncommented occurrence, or -1.
    long FindKey(std::string_view key) const;
    // The value after the key's separators up to the end of its line; false when the key is absent.
    bool GetKeyValue(std::string_view key, std::string& value) const;
    // Replaces the value, keeping the key and its separators; false (text unchanged) when absent.
    bool SetKeyValue(std::string_view key, std::string_view value);

private:
    // Start and end of the value of the key found at keyPos.
    std::pair<std::size_t, std::size_t> valueRange(std::size_t keyPos, std::size_t keyLength) const;

    std::string text_;
};

} // namespace kelm
