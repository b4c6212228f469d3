#include "tests/support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace kelm::test {
namespace {

std::string currentTestName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "kelm";
    for (char& c : name)
        if (c == '/' || c == ' ')
            c = '_'; // parameterised names
    return name;
}

} // namespace

TempDir::TempDir(const std::string& prefix)
{
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path base = tmp && *tmp ? tmp : "/tmp";
    std::string pattern = (base / ((prefix.empty() ? currentTestName() : prefix) + ".XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    path_ = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace kelm::test
