#include "shared/soap/lenient_number.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using kelm::pbx_soap::parseLenientInteger;

struct NumberCase {
    const char* text;
    std::int64_t min;
    std::int64_t max;
    std::optional<std::int64_t> value;
};

class LenientNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LenientNumber, Reads)
{
    EXPECT_EQ(parseLenientInteger(GetParam().text, GetParam().min, GetParam().max), GetParam().value)
        << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Table, LenientNumber,
    ::testing::Values(NumberCase{"", INT_MIN, INT_MAX, 0},
                      NumberCase{" \t\r\n", INT_MIN, INT_MAX, 0},
                      NumberCase{" 12 ", INT_MIN, INT_MAX, 12},
                      NumberCase{"+7", INT_MIN, INT_MAX, 7},
                      NumberCase{"-0", 0, 1, 0},
                      NumberCase{"2147483647", INT_MIN, INT_MAX, INT_MAX},
                      NumberCase{"-2147483648", INT_MIN, INT_MAX, INT_MIN},
                      NumberCase{"2147483648", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"-2147483649", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"-9223372036854775808", LLONG_MIN, LLONG_MAX, LLONG_MIN},
                      NumberCase{"9223372036854775807", LLONG_MIN, LLONG_MAX, LLONG_MAX},
                      NumberCase{"9223372036854775808", LLONG_MIN, LLONG_MAX, std::nullopt},
                      NumberCase{"99999999999999999999999", LLONG_MIN, LLONG_MAX, std::nullopt},
                      NumberCase{"-1", 0, 1, std::nullopt},
                      NumberCase{"2", 0, 1, std::nullopt},
                      NumberCase{"12a", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"1 2", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"-", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"+-1", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"0x10", INT_MIN, INT_MAX, std::nullopt},
                      NumberCase{"1.0", INT_MIN, INT_MAX, std::nullopt}));

TEST(LenientNumber, NullTextIsNoValue)
{
    EXPECT_EQ(parseLenientInteger(nullptr, INT_MIN, INT_MAX), std::nullopt);
}

} // namespace
