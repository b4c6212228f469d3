#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace kelm::test {

// Polls predicate every interval until it holds or timeout has passed; it is tried once more at
// the deadline. True when it held.
bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

// Success as soon as the file contains text; a failure that shows the file's content otherwise.
::testing::AssertionResult fileContainsWithin(const std::filesystem::path& path,
                                              const std::string& text,
                                              std::chrono::milliseconds timeout);

} // namespace kelm::test
