#include "../config/record_fixture.h"
#include "shared/target_probe.h"

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Received {
    std::uint16_t toPort;
    std::uint16_t fromPort;
    std::string payload;
};

// Listens on the two probe ports, records every datagram and answers the n-th one if asked.
class ProbeResponder {
public:
    explicit ProbeResponder(int answerAt, std::size_t answerSize = 4) : answerAt_(answerAt), answerSize_(answerSize)
    {
        for (int i = 0; i < 2; ++i) {
            fds_[i] = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(static_cast<std::uint16_t>(8888 + i));
            sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            EXPECT_EQ(::bind(fds_[i], reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        }
        thread_ = std::thread([this] { run(); });
    }
    ~ProbeResponder()
    {
        stop_ = true;
        thread_.join();
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    std::vector<Received> received()
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void run()
    {
        while (!stop_) {
            pollfd pfd[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
            if (::poll(pfd, 2, 20) <= 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                if (!(pfd[i].revents & POLLIN))
                    continue;
                char buf[512];
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = ::recvfrom(fds_[i], buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
                std::lock_guard lock(mutex_);
                received_.push_back({static_cast<std::uint16_t>(8888 + i), ntohs(from.sin_port),
                                     std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)))});
                if (static_cast<int>(received_.size()) == answerAt_)
                    ::sendto(fds_[i], "ZEB!", answerSize_, 0, reinterpret_cast<sockaddr*>(&from), len);
            }
        }
    }
    int fds_[2];
    int answerAt_;
    std::size_t answerSize_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Received> received_;
    std::thread thread_;
};

class TargetProbeTest : public kelm::testing::RecordFixture {
protected:
    void SetUp() override
    {
        RecordFixture::SetUp();
        log->networkLogLevel = 4;
    }
    const std::string answered = "Tue Dec 09 18:31:02 2008 NETWORK[4] TestTargetIP: Received response from target.\r\n";
};

TEST_F(TargetProbeTest, AnswerInTheFirstRoundAfterOnePairOfSends)
{
    for (const int answerAt : {1, 2}) { // answered on 8888, or only on 8889
        std::filesystem::remove(path("LOG.txt"));
        ProbeResponder responder(answerAt);
        EXPECT_EQ(kelm::TestTargetIP("127.0.0.1", 30, *log), 1);
        std::this_thread::sleep_for(50ms);
        const auto got = responder.received();
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].toPort, 8888);
        EXPECT_EQ(got[1].toPort, 8889);
        EXPECT_EQ(got[0].payload, kelm::kProbeDatagram);
        EXPECT_EQ(got[0].payload.size(), 27u);
        EXPECT_EQ(got[0].fromPort, 10000);
        EXPECT_EQ(readFile("LOG.txt"), answered);
    }
}

TEST_F(TargetProbeTest, NoAnswerGivesExactlyThreePairsInAboutTheTimeout)
{
    ProbeResponder responder(0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(kelm::TestTargetIP("127.0.0.1", 1, *log), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 999ms); // 3 x 333 ms
    EXPECT_LT(took, 2500ms);
    std::this_thread::sleep_for(50ms);
    const auto got = responder.received();
    ASSERT_EQ(got.size(), 6u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].toPort, i % 2 == 0 ? 8888 : 8889) << i;
        EXPECT_EQ(got[i].fromPort, 10000) << i;
    }
    EXPECT_EQ(readFile("LOG.txt"), ""); // the caller reports the failure
}

TEST_F(TargetProbeTest, AnyDatagramFromAnyoneCountsEvenAnEmptyOne)
{
    ProbeResponder responder(0);
    std::thread stranger([] {
        std::this_thread::sleep_for(100ms);
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(10000);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(fd, "", 0, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ::close(fd);
    });
    EXPECT_EQ(kelm::TestTargetIP("127.0.0.1", 3, *log), 1);
    stranger.join();
    EXPECT_EQ(responder.received().size(), 2u);
}

TEST_F(TargetProbeTest, AnUnresolvedNameReachesNobodyAndFails)
{
    ProbeResponder responder(1);
    EXPECT_EQ(kelm::TestTargetIP("unknown", 1, *log), 0);
    EXPECT_TRUE(responder.received().empty());
}

TEST_F(TargetProbeTest, ABusyLocalPortStillProbesFromAnotherPort)
{
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(10000);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ProbeResponder responder(1);
    EXPECT_EQ(kelm::TestTargetIP("127.0.0.1", 3, *log), 1);
    ASSERT_FALSE(responder.received().empty());
    EXPECT_NE(responder.received()[0].fromPort, 10000);
    ::close(holder);
}

TEST(ProbeRoundTimeoutTest, BoundedThirdOfTheTimeout)
{
    const std::pair<std::int32_t, long> cases[] = {
        {30, 10000}, {1, 333}, {2, 666}, {0, 333}, {-5, 333}, {300, 100000}, {2147483647, 100000},
    };
    for (const auto& [seconds, ms] : cases)
        EXPECT_EQ(kelm::probeRoundTimeout(seconds).count(), ms) << seconds;
}

} // namespace
