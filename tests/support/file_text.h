#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kelm::test {

// The whole file; empty when it is missing or unreadable.
std::string readFile(const std::filesystem::path& path);
// Replaces the file's content; throws std::system_error on failure.
void writeFile(const std::filesystem::path& path, std::string_view content,
               std::filesystem::perms perms = std::filesystem::perms(0644));

} // namespace kelm::test
