#include "platform/local_time.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class LocalTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};

TEST_F(LocalTimeTest, TraceStampIsTwentyFourEnglishCharactersWithZeroPaddedDay)
{
    // Tuesday 9 December 2008, 18:31:02 UTC.
    EXPECT_EQ(kelm::platform::traceTimeStamp(1228847462), "Tue Dec 09 18:31:02 2008");
    EXPECT_EQ(kelm::platform::traceTimeStamp(1228847462).size(), 24u);
}

TEST_F(LocalTimeTest, NamesStayEnglishUnderAnotherLocale)
{
    // Any installed non-C locale will do; the stamp must not follow it.
    const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (set == nullptr)
        set = std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(kelm::platform::traceTimeStamp(1228847462), "Tue Dec 09 18:31:02 2008");
    std::setlocale(LC_ALL, "C");
}

TEST_F(LocalTimeTest, BackupNameParts)
{
    // 5 March 2009, 14:07:09 UTC.
    EXPECT_EQ(kelm::platform::formatLocalTime(1236262029, "%Y%m%d").value(), "20090305");
    EXPECT_EQ(kelm::platform::formatLocalTime(1236262029, "%H%M%S").value(), "140709");
}

} // namespace
