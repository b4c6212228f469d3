#include "tests/support/fresh_program_dir.h"

#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace kelm::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

class FreshProgramDirTest : public TempDirTest {};

// The copy must be a program of its own: run, it sees itself in the new directory.
TEST_F(FreshProgramDirTest, CopiesExecutablesSoThatTheyRunFromTheNewDirectory)
{
    const fs::path sh = fs::canonical("/bin/sh");
    fs::create_symlink(sh, dir() / "link-to-sh");
    const auto program = freshProgramDirectory(dir() / "prog", {dir() / "link-to-sh"});

    const auto copy = program / "link-to-sh";
    ASSERT_FALSE(fs::is_symlink(copy));
    EXPECT_EQ(readFile(copy), readFile(sh));
    EXPECT_NE(fs::status(copy).permissions() & fs::perms::owner_exec, fs::perms::none);

    ChildProcess child(
        ProcessSpec({copy.string(), "-c", "readlink /proc/$$/exe"}).stdoutTo(dir() / "out"));
    EXPECT_EQ(child.waitFor(10s), exitedWith(0));
    EXPECT_EQ(readFile(dir() / "out"), copy.string() + "\n");

    EXPECT_THROW(freshProgramDirectory(program, {}), fs::filesystem_error);
}

} // namespace
