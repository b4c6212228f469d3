#include "tests/support/fresh_program_dir.h"

namespace kelm::test {

std::filesystem::path freshProgramDirectory(const std::filesystem::path& dir,
                                            const std::vector<std::filesystem::path>& executables)
{
    namespace fs = std::filesystem;
    if (!fs::create_directory(dir))
        throw fs::filesystem_error("program directory exists already", dir,
                                   std::make_error_code(std::errc::file_exists));
    for (const auto& exe : executables) {
        const fs::path target = dir / exe.filename();
        fs::copy_file(exe, target); // follows a link in the source: the copy is the program itself
        fs::permissions(target, fs::status(exe).permissions());
    }
    return dir;
}

} // namespace kelm::test
