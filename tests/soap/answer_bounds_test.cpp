// Hostile or broken peers: every request ends, and an answer can make the context read and
// allocate only so much.

#include "shared/soap/wire_profile.h"
#include "tests/soap/soap_test_support.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using kelm::XmlAdminServiceSoap;
using kelm::test::answerEnvelope;
using kelm::test::httpAnswer;
using kelm::test::ProxyOnLoopback;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(ProxyContext, WithoutContextNothingIsSentAndTheSlotIsUntouched)
{
    XmlAdminServiceSoap proxy;
    soap_free(proxy.soap);
    proxy.soap = nullptr;
    kelm2__VroStatus sentinel;
    kelm2__VroStatus* slot = &sentinel;
    EXPECT_EQ(proxy.logoutAdmin("S", slot), XmlAdminServiceSoap::kNoContext);
    EXPECT_EQ(slot, &sentinel);
    kelm2__LocalCallLogResult* result = nullptr;
    EXPECT_EQ(proxy.getLocalCallLog(nullptr, result), 16);
}

TEST(ProxyContext, FailureBeforeSendingLeavesTheSlot)
{
    // A loopback port with nobody listening.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(probe);
    const std::string endpoint = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/services/XmlAdmin";

    XmlAdminServiceSoap proxy;
    proxy.soap_endpoint = endpoint.c_str();
    kelm2__VroStatus sentinel;
    kelm2__VroStatus* slot = &sentinel;
    EXPECT_NE(proxy.logoutAdmin("S", slot), 0);
    EXPECT_EQ(slot, &sentinel);
}

TEST(ProxyContext, TimeoutsAreClampedToWhatTheRunTimeReadsAsSeconds)
{
    XmlAdminServiceSoap proxy;
    EXPECT_EQ(proxy.soap->recv_timeout, XmlAdminServiceSoap::kDefaultTimeoutSeconds);
    proxy.setTimeouts(0, -5, 1000);
    EXPECT_EQ(proxy.soap->connect_timeout, 1);
    EXPECT_EQ(proxy.soap->send_timeout, 1);
    EXPECT_EQ(proxy.soap->recv_timeout, 300);
    EXPECT_EQ(proxy.soap->transfer_timeout, 300);
}

TEST(HostilePeer, SilentPeerTimesOut)
{
    ProxyOnLoopback peer;
    peer.proxy.setTimeouts(1, 1, 1);
    peer.server.enqueue(kelm::test::CannedHttpServer::kSilence);
    kelm2__VroStatus* status = nullptr;
    const auto start = Clock::now();
    EXPECT_NE(peer.proxy.logoutAdmin("S", status), 0);
    EXPECT_EQ(status, nullptr);
    EXPECT_LT(secondsSince(start), 3.0);
}

TEST(HostilePeer, TricklingPeerIsCutOffByTheTransferTimeout)
{
    ProxyOnLoopback peer;
    peer.proxy.setTimeouts(1, 1, 1);
    // A valid answer, one byte every 20 ms: no single wait stalls, the whole takes seconds.
    peer.server.enqueue(httpAnswer(answerEnvelope("<kelm1:logoutAdminResponse><status><code>0</code></status>"
                                                  "</kelm1:logoutAdminResponse>")),
                        std::chrono::milliseconds(20));
    kelm2__VroStatus* status = nullptr;
    const auto start = Clock::now();
    EXPECT_NE(peer.proxy.logoutAdmin("S", status), 0);
    EXPECT_EQ(status, nullptr);
    EXPECT_LT(secondsSince(start), 4.0);
}

struct BoundCase {
    const char* name;
    std::string answer;
    int status;
};

class AnswerBounds : public ::testing::TestWithParam<BoundCase> {};

std::string usersWithLines(int users, const std::string& linesCount)
{
    std::string items;
    for (int i = 0; i < users; ++i)
        items += "<i><lines SOAP-ENC:arrayType=\"kelm2:Line[" + linesCount + "]\"/></i>";
    return httpAnswer(answerEnvelope("<kelm1:getUsersResponse><result><users>" + items
                                     + "</users></result></kelm1:getUsersResponse>"));
}

std::string nested(int depth)
{
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<n>";
        close += "</n>";
    }
    return httpAnswer(answerEnvelope("<kelm1:getUsersResponse><result>" + open + close
                                     + "<total>1</total></result></kelm1:getUsersResponse>"));
}

TEST_P(AnswerBounds, FailCleanlyBeyondTheBound)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(GetParam().answer);
    kelm2__UsersResult* result = nullptr;
    const int status = peer.proxy.getUsers(nullptr, result);
    if (GetParam().status == 0) {
        EXPECT_EQ(status, 0);
        EXPECT_NE(result, nullptr);
    } else {
        EXPECT_EQ(status, GetParam().status);
        EXPECT_EQ(result, nullptr);
    }
    peer.release();
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnswerBounds,
    ::testing::Values(
        BoundCase{"DeclaredCountsWithinTheMessageBudget", usersWithLines(2, "75000"), 0},
        BoundCase{"DeclaredCountsBeyondTheMessageBudget", usersWithLines(3, "75000"), SOAP_OCCURS},
        BoundCase{"DeepNestingInSkippedContentEndsCleanly", nested(100000), 0},
        BoundCase{"BodyBeyondTheSize",
                  httpAnswer(answerEnvelope("<kelm1:getUsersResponse><result><status><label>"
                                            + std::string(kelm::pbx_soap::kMaxMessageBytes, 'x')
                                            + "</label></status></result></kelm1:getUsersResponse>")),
                  SOAP_EOF}),
    [](const ::testing::TestParamInfo<BoundCase>& param) { return std::string(param.param.name); });

TEST(AnswerBounds, BudgetIsPerMessage)
{
    ProxyOnLoopback peer;
    for (int i = 0; i < 3; ++i)
        peer.server.enqueue(usersWithLines(2, "75000"));
    for (int i = 0; i < 3; ++i) {
        kelm2__UsersResult* result = nullptr;
        EXPECT_EQ(peer.proxy.getUsers(nullptr, result), 0) << "message " << i;
        peer.release();
    }
}

} // namespace
