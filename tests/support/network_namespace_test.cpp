// Runs under kelm_gtest(... NETNS): each test in a fresh namespace of its own.
#include "tests/support/network_namespace.h"

#include "platform/unique_fd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using kelm::test::initialNetworkNamespacePath;
using kelm::test::privateNetworkNamespace;


sockaddr_in loopback(uint16_t port, const char* address = "127.0.0.1")
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

uint16_t boundPort(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

// Runs work on a thread that has joined the machine's initial network namespace; sockets it
// creates stay there. Only loopback addresses and a port the kernel picks are used there.
template <typename Work>
void inInitialNamespace(Work work)
{
    const auto path = initialNetworkNamespacePath();
    ASSERT_TRUE(path);
    std::thread([&] {
        kelm::platform::UniqueFd ns(::open(path->c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_GE(ns.get(), 0);
        ASSERT_EQ(::setns(ns.get(), CLONE_NEWNET), 0) << std::strerror(errno);
        work();
    }).join();
}

TEST(NetworkNamespaceTest, GuardAcceptsThisNamespaceAndRejectsTheMachines)
{
    EXPECT_TRUE(privateNetworkNamespace());
    inInitialNamespace([] { EXPECT_FALSE(privateNetworkNamespace()); });
}

TEST(NetworkNamespaceTest, PortsAreSeparateFromTheMachines)
{
    kelm::platform::UniqueFd outside;
    uint16_t port = 0;
    inInitialNamespace([&] {
        outside = kelm::platform::UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const auto any = loopback(0);
        ASSERT_EQ(::bind(outside.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
        ASSERT_EQ(::listen(outside.get(), 1), 0);
        port = boundPort(outside.get());
    });
    ASSERT_NE(port, 0);

    // The machine's listener is invisible in here, and its port is free.
    const auto address = loopback(port);
    kelm::platform::UniqueFd client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_NE(::connect(client.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(errno, ECONNREFUSED);
    kelm::platform::UniqueFd inside(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_EQ(::bind(inside.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
        << std::strerror(errno);
}

// The autodetect's tests depend on this: a datagram to the group comes back over lo, and the
// receiver sees the real sender, not 0.0.0.0.
TEST(NetworkNamespaceTest, MulticastComesBackFrom127001)
{
    kelm::platform::UniqueFd receiver(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const auto any = loopback(0, "0.0.0.0");
    ASSERT_EQ(::bind(receiver.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    ip_mreq membership{};
    ::inet_pton(AF_INET, "224.0.1.111", &membership.imr_multiaddr);
    ::inet_pton(AF_INET, "127.0.0.1", &membership.imr_interface);
    ASSERT_EQ(::setsockopt(receiver.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership,
                           sizeof membership),
              0)
        << std::strerror(errno);
    timeval wait{2, 0};
    ::setsockopt(receiver.get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    kelm::platform::UniqueFd sender(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const auto group = loopback(boundPort(receiver.get()), "224.0.1.111");
    ASSERT_EQ(::sendto(sender.get(), "probe", 5, 0, reinterpret_cast<const sockaddr*>(&group),
                       sizeof group),
              5)
        << std::strerror(errno);

    char buffer[16];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ASSERT_EQ(::recvfrom(receiver.get(), buffer, sizeof buffer, 0,
                         reinterpret_cast<sockaddr*>(&from), &length),
              5);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    EXPECT_STREQ(text, "127.0.0.1");
}

} // namespace
