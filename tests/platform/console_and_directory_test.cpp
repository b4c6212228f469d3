#include "platform/message_box.h"
#include "platform/program_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(ProgramDirectoryTest, IsTheExecutablesDirectoryWithATrailingSlash)
{
    const std::string dir = kelm::platform::programDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "platform_tests"));
}

TEST(ConsoleMessageBoxTest, WritesOneLineToStandardErrorAndReturns)
{
    kelm::platform::ConsoleMessageBox box;
    ::testing::internal::CaptureStderr();
    box.showError("Error", "ERROR, Please check ZEB_TIMEOUT in configuration files.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: ERROR, Please check ZEB_TIMEOUT in configuration files.\n");
}

} // namespace
