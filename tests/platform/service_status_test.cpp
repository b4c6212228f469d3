#include "platform/service_status.h"

#include "notify_listener.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using kelm::platform::ServiceState;
using kelm::platform::ServiceStatusReporter;
using kelm::test::NotifyListener;
using namespace std::chrono_literals;

class ServiceStatusTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("NOTIFY_SOCKET", listener.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("NOTIFY_SOCKET"); }
    NotifyListener listener;
    ServiceStatusReporter status;
};

TEST_F(ServiceStatusTest, EachStateHasItsMessage)
{
    const struct {
        ServiceState state;
        const char* message;
    } cases[] = {
        {ServiceState::StartPending, "STATUS=start pending"},
        {ServiceState::Running, "READY=1\nSTATUS=running"},
        {ServiceState::Stopped, "STOPPING=1\nSTATUS=stopped"},
    };
    for (const auto& c : cases) {
        ServiceStatusReporter reporter;
        EXPECT_TRUE(reporter.report(c.state));
        EXPECT_EQ(listener.next(), c.message);
    }
}

TEST_F(ServiceStatusTest, StatusTextChangesOnlyTheTextAndInterrogateRepeatsBoth)
{
    EXPECT_FALSE(status.reportAgain()); // nothing reported yet
    ASSERT_TRUE(status.report(ServiceState::Running));
    EXPECT_EQ(listener.next(), "READY=1\nSTATUS=running");
    EXPECT_TRUE(status.reportAgain());
    EXPECT_EQ(listener.next(), "READY=1\nSTATUS=running");

    EXPECT_TRUE(status.setStatusText("PBX present, logged in, 37 tickets"));
    EXPECT_EQ(listener.next(), "STATUS=PBX present, logged in, 37 tickets");
    EXPECT_TRUE(status.reportAgain());
    EXPECT_EQ(listener.next(), "READY=1\nSTATUS=PBX present, logged in, 37 tickets");

    // A state report sets its own text again.
    ASSERT_TRUE(status.report(ServiceState::Stopped));
    EXPECT_EQ(listener.next(), "STOPPING=1\nSTATUS=stopped");
}

TEST_F(ServiceStatusTest, TextCannotInjectAssignmentsAndIsBounded)
{
    EXPECT_TRUE(status.setStatusText("ok\nREADY=1\rX\tY"));
    EXPECT_EQ(listener.next(), "STATUS=ok READY=1 X Y");
    EXPECT_TRUE(status.setStatusText(std::string(5000, 'a')));
    EXPECT_EQ(listener.next(),
              "STATUS=" + std::string(ServiceStatusReporter::kMaxStatusText, 'a'));
}

TEST_F(ServiceStatusTest, StoppedIsFinal)
{
    ASSERT_TRUE(status.report(ServiceState::StartPending));
    ASSERT_TRUE(status.report(ServiceState::Stopped));
    ASSERT_TRUE(listener.next());
    ASSERT_TRUE(listener.next());
    EXPECT_FALSE(status.report(ServiceState::Running));
    EXPECT_FALSE(status.setStatusText("PBX present"));
    EXPECT_EQ(listener.next(100ms), std::nullopt);
    EXPECT_TRUE(status.reportAgain());
    EXPECT_EQ(listener.next(), "STOPPING=1\nSTATUS=stopped");
}

TEST(ServiceStatusWithoutManagerTest, ReportsAreNotDelivered)
{
    ::unsetenv("NOTIFY_SOCKET");
    ServiceStatusReporter status;
    EXPECT_FALSE(status.report(ServiceState::Running));
    EXPECT_FALSE(status.setStatusText("x"));
}

} // namespace
