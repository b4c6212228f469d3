#include "shared/config_number.h"
#include "shared/config_text.h"

#include <gtest/gtest.h>

namespace {

using kelm::ConfigText;

std::string valueOf(const std::string& text, const char* key)
{
    std::string value = "<untouched>";
    ConfigText(text).GetKeyValue(key, value);
    return value;
}

TEST(ConfigTextTest, EverySeparatorFormReadsThirty)
{
    for (const char* line : {"ZEB_TIMEOUT=30", "ZEB_TIMEOUT = 30", "ZEB_TIMEOUT: 30", "ZEB_TIMEOUT:=30",
                             "ZEB_TIMEOUT 30", "ZEB_TIMEOUT=30abc", "ZEB_TIMEOUT =:= 30\r\nX=1"}) {
        const std::string text = std::string("#\r\n") + line;
        EXPECT_EQ(kelm::parseConfigNumber(valueOf(text, "ZEB_TIMEOUT")), 30) << line;
    }
}

TEST(ConfigTextTest, KeyFollowedByLineEndIsFoundWithEmptyValue)
{
    std::string value = "x";
    EXPECT_TRUE(ConfigText("#\r\nZEB_TIMEOUT\r\nNEXT=1").GetKeyValue("ZEB_TIMEOUT", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(kelm::parseConfigNumber(value), 0);
}

TEST(ConfigTextTest, LookupRules)
{
    struct Case {
        const char* name;
        std::string text;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"commented occurrence skipped", "# ZEB_TIMEOUT\r\n#\r\nZEB_TIMEOUT=30", "ZEB_TIMEOUT", "30"},
        {"# further left on the line", "x # y ZEB_TIMEOUT=1\nZEB_TIMEOUT=2", "ZEB_TIMEOUT", "2"},
        {"found inside a longer word", "#\r\nMY_ZEB_TIMEOUT=5\r\nZEB_TIMEOUT=30", "ZEB_TIMEOUT", "5"},
        {"first of two occurrences", "#\nZEB_TIMEOUT=1\nZEB_TIMEOUT=2", "ZEB_TIMEOUT", "1"},
        {"trailing spaces kept", "#\r\nZEB_IP_HOSTNAME=pbx  \r\n", "ZEB_IP_HOSTNAME", "pbx  "},
        {"leading separators dropped", "#\r\nZEB_IP_HOSTNAME= :=pbx\r\n", "ZEB_IP_HOSTNAME", "pbx"},
        {"value up to the end of the text", "#\nGLOBAL_LOG_FILE=trace.txt", "GLOBAL_LOG_FILE", "trace.txt"},
        {"key on the first line", "ZEB_TIMEOUT=7\r\n", "ZEB_TIMEOUT", "7"},
        {"case-sensitive", "#\nzeb_timeout=7\n", "ZEB_TIMEOUT", "<untouched>"},
        {"only commented", "# ZEB_TIMEOUT=7\n", "ZEB_TIMEOUT", "<untouched>"},
        {"text ends at a zero byte", std::string("#\nA=1\0\nZEB_TIMEOUT=3", 20), "ZEB_TIMEOUT", "<untouched>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(valueOf(c.text, c.key), c.expected) << c.name;
}

TEST(ConfigTextTest, SetKeyValueKeepsKeyAndSeparatorsAndTheRest)
{
    ConfigText text("#\r\nKELM_NETWORK_LOG_LEVEL =\r\nZEB_TIMEOUT=300\r\n# end");
    EXPECT_TRUE(text.SetKeyValue("KELM_NETWORK_LOG_LEVEL", "4"));
    EXPECT_TRUE(text.SetKeyValue("ZEB_TIMEOUT", "5"));
    EXPECT_EQ(text.str(), "#\r\nKELM_NETWORK_LOG_LEVEL =4\r\nZEB_TIMEOUT=5\r\n# end");

    EXPECT_FALSE(text.SetKeyValue("MISSING", "1"));
    EXPECT_EQ(text.str(), "#\r\nKELM_NETWORK_LOG_LEVEL =4\r\nZEB_TIMEOUT=5\r\n# end");
}

TEST(ConfigTextTest, SetKeyValueNeverPlantsALineBreak)
{
    ConfigText text("#\r\nZEB_IP_HOSTNAME=a\r\nZEB_PASSWORD=x");
    EXPECT_TRUE(text.SetKeyValue("ZEB_IP_HOSTNAME", "pbx\r\nZEB_PASSWORD=evil"));
    EXPECT_EQ(text.str(), "#\r\nZEB_IP_HOSTNAME=pbx\r\nZEB_PASSWORD=x");
}

TEST(ConfigNumberTest, Conversions)
{
    struct Case {
        const char* text;
        std::int32_t number;
        std::uint8_t level;
    };
    const Case cases[] = {
        {"30", 30, 30},          {"  -12x", -12, 244},     {"+7", 7, 7},
        {"", 0, 0},              {"abc", 0, 0},            {"-1", -1, 255},
        {"256", 256, 0},         {"4", 4, 4},              {"99999999999", 2147483647, 255},
        {"-99999999999", -2147483647 - 1, 0},              {"2147483647", 2147483647, 255},
        {"-2147483648", -2147483647 - 1, 0},               {"\t 12 3", 12, 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kelm::parseConfigNumber(c.text), c.number) << '"' << c.text << '"';
        EXPECT_EQ(kelm::parseConfigLevel(c.text), c.level) << '"' << c.text << '"';
    }
    EXPECT_EQ(kelm::formatConfigNumber(-5), "-5");
    EXPECT_EQ(kelm::formatConfigLevel(255), "255");
}

} // namespace
