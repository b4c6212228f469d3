#pragma once

#include <filesystem>
#include <vector>

namespace kelm::test {

// Creates dir (which must not exist yet) holding copies of the given executables, as an
// installation would: the programs find KELM.conf, the trace log and each other through
// /proc/self/exe, which would lead a symbolic link back to the build directory. Returns dir.
// Throws std::filesystem::filesystem_error on failure.
std::filesystem::path freshProgramDirectory(const std::filesystem::path& dir,
                                            const std::vector<std::filesystem::path>& executables);

} // namespace kelm::test
