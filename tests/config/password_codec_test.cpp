#include "shared/password_codec.h"

#include <gtest/gtest.h>

namespace {

using kelm::DecodePassword;
using kelm::EncodePassword;

TEST(PasswordCodecTest, KnownVectors)
{
    struct Case {
        std::string clear;
        std::string encoded;
    };
    const Case cases[] = {
        {"", ""},
        {"secret", "nbagabnoagnl"},
        {"administrator", "aealahaiafainbnlnoaenlakno"},
        {"\x41\x26\x62\xE9", "leoaaofi"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodePassword(c.clear), c.encoded) << c.clear;
        EXPECT_EQ(DecodePassword(c.encoded), c.clear) << c.encoded;
    }
}

TEST(PasswordCodecTest, RoundTripForEveryLengthUpToFifteen)
{
    // Every byte value from 1 to 255 appears across the lengths.
    for (std::size_t length = 0; length <= 15; ++length) {
        std::string password;
        for (std::size_t i = 0; i < length; ++i)
            password.push_back(static_cast<char>(1 + (length * 17 + i * 31) % 255));
        const std::string encoded = EncodePassword(password);
        ASSERT_EQ(encoded.size(), 2 * length);
        for (const char c : encoded)
            ASSERT_TRUE(c >= 'a' && c <= 'p') << encoded;
        EXPECT_EQ(DecodePassword(encoded), password) << length;
    }
}

TEST(PasswordCodecTest, MalformedTextDecodesToItsValidPrefix)
{
    struct Case {
        const char* name;
        std::string encoded;
        std::string clear;
    };
    const Case cases[] = {
        {"odd last letter ignored", "nbagabnoagnlk", "secret"},
        {"single letter", "n", ""},
        {"letter after p ends it", "nbagzz", "se"},
        {"capital letter ends it", "nbAg", "s"},
        {"digit ends it", "9bnb", ""},
        {"pair decoding to zero ends it", "nbjjnb", "s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodePassword(c.encoded), c.clear) << c.name;
}

} // namespace
