#pragma once

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace kelm::test {

// Success only when the calling thread runs in a network namespace of the test's own making, as
// tests/support/netns_exec.sh sets it up: not the machine's initial namespace, nothing but the
// loopback interface, which is up with multicast on, and multicast leaves from 127.0.0.1. Tests
// that use the fixed ports or multicast assert it, so they never touch the host's by mistake.
::testing::AssertionResult privateNetworkNamespace();

// A path that opens the machine's initial network namespace (the one of PID 1 or, where that is
// hidden, of the kernel's threads); nothing when neither can be read.
std::optional<std::string> initialNetworkNamespacePath();

} // namespace kelm::test
