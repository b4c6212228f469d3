#include "tests/support/wait_until.h"

#include "tests/support/file_text.h"

#include <thread>

namespace kelm::test {

bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const bool late = std::chrono::steady_clock::now() >= deadline;
        if (predicate())
            return true;
        if (late)
            return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(interval,
                                                          deadline - std::chrono::steady_clock::now()));
    }
}

::testing::AssertionResult fileContainsWithin(const std::filesystem::path& path,
                                              const std::string& text,
                                              std::chrono::milliseconds timeout)
{
    std::string content;
    if (waitUntil([&] {
            content = readFile(path);
            return content.find(text) != std::string::npos;
        },
                  timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << " did not contain \"" << text << "\" within "
                                         << timeout.count() << " ms; it holds:\n"
                                         << content;
}

} // namespace kelm::test
