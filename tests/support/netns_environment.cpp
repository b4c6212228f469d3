// Linked into every test executable built with kelm_gtest(... NETNS): its tests do not run at all
// outside a private network namespace, whoever starts them.
#include "tests/support/network_namespace.h"

#include <gtest/gtest.h>

namespace {

class PrivateNetworkNamespace : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(kelm::test::privateNetworkNamespace()); }
};

[[maybe_unused]] const auto* const kRegistered =
    ::testing::AddGlobalTestEnvironment(new PrivateNetworkNamespace);

} // namespace
