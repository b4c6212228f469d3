#include "tests/support/network_namespace.h"

#include "tests/support/file_text.h"

#include "platform/unique_fd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelm::test {
namespace {


std::optional<ino_t> namespaceInode(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st.st_ino;
}

} // namespace

std::optional<std::string> initialNetworkNamespacePath()
{
    if (namespaceInode("/proc/1/ns/net"))
        return "/proc/1/ns/net";
    // PID 2 is kthreadd wherever PID 1 is the machine's first process; kernel threads never leave
    // the initial namespaces.
    if (readFile("/proc/2/comm") == "kthreadd\n" && namespaceInode("/proc/2/ns/net"))
        return "/proc/2/ns/net";
    return std::nullopt;
}

::testing::AssertionResult privateNetworkNamespace()
{
    const auto initialPath = initialNetworkNamespacePath();
    if (!initialPath)
        return ::testing::AssertionFailure() << "cannot find the initial network namespace";
    const auto own = namespaceInode("/proc/thread-self/ns/net");
    if (!own || own == namespaceInode(*initialPath))
        return ::testing::AssertionFailure()
               << "this is the machine's own network namespace; run the test through ctest "
                  "(kelm_gtest ... NETNS) or tests/support/netns_exec.sh";

    struct if_nameindex* names = ::if_nameindex();
    if (!names)
        return ::testing::AssertionFailure() << "if_nameindex: " << std::strerror(errno);
    std::string others;
    for (struct if_nameindex* n = names; n->if_index != 0; ++n)
        if (std::strcmp(n->if_name, "lo") != 0)
            others += std::string(" ") + n->if_name;
    ::if_freenameindex(names);
    if (!others.empty())
        return ::testing::AssertionFailure() << "interfaces other than lo:" << others;

    kelm::platform::UniqueFd udp(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    if (udp.get() < 0 || ::ioctl(udp.get(), SIOCGIFFLAGS, &request) != 0)
        return ::testing::AssertionFailure() << "cannot read the flags of lo";
    if (!(request.ifr_flags & IFF_UP) || !(request.ifr_flags & IFF_MULTICAST))
        return ::testing::AssertionFailure() << "lo is not up with multicast on";

    // Connecting a datagram socket sends nothing; it only asks the routing for a source address.
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(9);
    ::inet_pton(AF_INET, "224.0.1.111", &group.sin_addr);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::connect(udp.get(), reinterpret_cast<const sockaddr*>(&group), sizeof group) != 0 ||
        ::getsockname(udp.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return ::testing::AssertionFailure() << "no multicast route: " << std::strerror(errno);
    if (local.sin_addr.s_addr != htonl(INADDR_LOOPBACK))
        return ::testing::AssertionFailure() << "multicast does not leave from 127.0.0.1";
    return ::testing::AssertionSuccess();
}

} // namespace kelm::test
