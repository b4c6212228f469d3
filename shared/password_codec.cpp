#include "shared/password_codec.h"

#include <array>
#include <optional>

namespace kelm {

namespace {

// The letter of half-byte value v is 'a' + kTable[v].
constexpr std::array<unsigned char, 16> kTable = {9, 4, 14, 1, 11, 6, 0, 13, 3, 8, 15, 2, 12, 7, 5, 10};

constexpr std::array<unsigned char, 16> inverted()
{
    std::array<unsigned char, 16> inverse{};
    for (unsigned char v = 0; v < 16; ++v)
        inverse[kTable[v]] = v;
    return inverse;
}

constexpr std::array<unsigned char, 16> kInverse = inverted();

std::optional<unsigned> halfByteOf(char letter)
{
    if (letter < 'a' || letter > 'p')
        return std::nullopt;
    return kInverse[static_cast<unsigned>(letter - 'a')];
}

} // namespace

std::string EncodePassword(std::string_view password)
{
    std::string out;
    out.reserve(password.size() * 2);
    for (const char c : password) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0)
            break;
        out.push_back(static_cast<char>('a' + kTable[byte >> 4]));
        out.push_back(static_cast<char>('a' + kTable[byte & 0x0F]));
    }
    return out;
}

std::string DecodePassword(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const auto high = halfByteOf(text[i]);
        const auto low = halfByteOf(text[i + 1]);
        if (!high || !low)
            break;
        const unsigned byte = *high * 16 + *low;
        if (byte == 0)
            break;
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

} // namespace kelm
