// The simulated PBX on the network: the probe's answer on both ports and through the group, from
// its own address, side by side with a second PBX; the power and HTTP controls; a PBX that
// accepts and never answers.

#include "tests/pbxsim/pbxsim_harness.h"
#include "tests/support/wait_until.h"

#include <cerrno>
#include <csignal>

namespace kelm::test {
namespace {

constexpr const char* kGroup = "224.0.1.111";

TEST(PbxSimNetwork, AnyDatagramIsAnsweredFromThePbxAddressAndPort)
{
    RunningPbx pbx({}, "127.0.0.2");
    const struct {
        const char* to;
        std::uint16_t port;
        const char* via;
    } cases[] = {
        {"127.0.0.2", 8888, "address"},
        {"127.0.0.2", 8889, "address"},
        {kGroup, 8888, "group"},
        {kGroup, 8889, "group"},
    };
    UdpProber prober;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.to) + ":" + std::to_string(c.port));
        prober.send(c.to, c.port);
        EXPECT_EQ(prober.answers(), std::vector<std::string>{"127.0.0.2:" + std::to_string(c.port)});
        EXPECT_TRUE(pbx.saw("probe from=127.0.0.1:10000 port=" + std::to_string(c.port) + " via=" + c.via +
                            " bytes=27 answered"));
    }
}

TEST(PbxSimNetwork, SomeDatagramsAreNotAnswered)
{
    RunningPbx silent({"--no-udp-answer"}, "127.0.0.2");
    RunningPbx talking({}, "127.0.0.3");
    UdpProber prober;
    prober.send("127.0.0.2", 8888);
    prober.send(kGroup, 8889);
    EXPECT_EQ(prober.answers(), std::vector<std::string>{"127.0.0.3:8889"});
    EXPECT_TRUE(silent.saw("via=group bytes=27 ignored reason=no-udp-answer"));

    // Not to another PBX's probe port: two simulators would answer each other without end.
    UdpProber fromProbePort(8888);
    fromProbePort.send("127.0.0.3", 8889);
    EXPECT_TRUE(fromProbePort.answers().empty());
    EXPECT_TRUE(talking.saw("from=127.0.0.1:8888 port=8889 via=address bytes=27 ignored reason=sender-is-a-probe-port"));
}

TEST(PbxSimNetwork, TwoPbxsSideBySideEachAnswerFromTheirOwnAddress)
{
    RunningPbx first({"--release", "first"}, "127.0.0.2");
    RunningPbx second({"--release", "second"}, "127.0.0.3");
    UdpProber prober;
    prober.send(kGroup, 8888);
    auto answers = prober.answers();
    std::sort(answers.begin(), answers.end());
    EXPECT_EQ(answers, (std::vector<std::string>{"127.0.0.2:8888", "127.0.0.3:8888"}));

    for (const auto* pbx : {&first, &second}) {
        PbxClient client(pbx->address());
        EXPECT_EQ(client.release(sessionOf(client)).text, pbx == &first ? "first" : "second");
    }
}

TEST(PbxSimNetwork, PowerOffClosesEverythingButCallsKeepComing)
{
    RunningPbx pbx({"--calls-per-second", "20"});
    PbxClient client;
    const std::string session = sessionOf(client);

    pbx.control(SIGUSR2, "power off");
    EXPECT_EQ(connectError("127.0.0.1"), ECONNREFUSED);
    UdpProber prober;
    prober.send("127.0.0.1", 8888);
    EXPECT_TRUE(prober.answers().empty());
    EXPECT_TRUE(pbx.saw("ignored reason=power-off"));
    const auto callsWhenOff = pbx.journal().size();
    ASSERT_TRUE(waitUntil([&] { return pbx.journal().size() >= callsWhenOff + 5; }, 5s));

    pbx.control(SIGUSR2, "power on");
    prober.send("127.0.0.1", 8889);
    EXPECT_EQ(prober.answers(), std::vector<std::string>{"127.0.0.1:8889"});
    // A PBX that was switched off knows none of its earlier sessions.
    EXPECT_EQ(client.fetch(session).code, 55);
    const auto log = client.fetch(sessionOf(client), 1000);
    ASSERT_EQ(log.code, 0);
    EXPECT_GE(log.entries.size(), callsWhenOff + 5);
}

TEST(PbxSimNetwork, HttpDownFromTheStartWhileTheProbeIsAnswered)
{
    RunningPbx pbx({"--http-down"});
    EXPECT_EQ(connectError("127.0.0.1"), ECONNREFUSED);
    UdpProber prober;
    prober.send("127.0.0.1", 8888);
    EXPECT_EQ(prober.answers().size(), 1u);

    pbx.control(SIGHUP, "http up");
    PbxClient client;
    EXPECT_EQ(client.fetch(sessionOf(client)).code, 0);
    pbx.control(SIGHUP, "http down");
    EXPECT_EQ(connectError("127.0.0.1"), ECONNREFUSED);
}

TEST(PbxSimNetwork, AHangingPbxAcceptsAndNeverAnswers)
{
    RunningPbx pbx({"--http-hang", "--calls-per-second", "10"});
    {
        PbxClient client("127.0.0.1", 1);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_NE(client.login("secret").rc, 0);
        EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
        EXPECT_TRUE(pbx.saw("hold peer=127.0.0.1:"));
    }
    EXPECT_TRUE(pbx.saw("release peer=127.0.0.1:"));
    // Held connections do not stop the rest of the PBX.
    UdpProber prober;
    prober.send("127.0.0.1", 8888);
    EXPECT_EQ(prober.answers().size(), 1u);
    EXPECT_FALSE(pbx.journal().empty());
}

} // namespace
} // namespace kelm::test
