#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace kelm {

// A fixed-size, zero-terminated text field of N bytes (N - 1 characters). Values that do not fit
// are cut to the capacity: nothing is ever written past the field.
template <std::size_t N>
class FixedText {
    static_assert(N >= 1);

public:
    static constexpr std::size_t kCapacity = N - 1;

    FixedText() { data_[0] = '\0'; }
    FixedText(std::string_view text) { assign(text); } // NOLINT: implicit from text is intended

    FixedText& operator=(std::string_view text)
    {
        assign(text);
        return *this;
    }

    void assign(std::string_view text)
    {
        // A zero byte ends a text: what follows it is not part of the value.
        text = text.substr(0, std::min(text.find('\0'), text.size()));
        const std::size_t n = std::min(text.size(), kCapacity);
        std::memcpy(data_, text.data(), n);
        data_[n] = '\0';
    }

    const char* c_str() const { return data_; }
    std::string_view view() const { return std::string_view(data_); }
    bool empty() const { return data_[0] == '\0'; }
    std::size_t size() const { return std::strlen(data_); }

    friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }

private:
    char data_[N];
};

} // namespace kelm
