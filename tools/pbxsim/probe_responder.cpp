#include "tools/pbxsim/probe_responder.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace kelm::pbxsim {
namespace {

int boundSocket(in_addr address, std::uint16_t port, bool shared, std::string& error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("UDP socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    if (shared)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr = address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "UDP bind " + addressText(local) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string addressText(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

ProbeResponder::~ProbeResponder()
{
    for (const auto& endpoint : endpoints_)
        ::close(endpoint.fd);
}

bool ProbeResponder::open(std::string& error)
{
    in_addr group{};
    ::inet_pton(AF_INET, kGroup, &group);
    for (const std::uint16_t port : kPorts) {
        const int own = boundSocket(address_, port, false, error);
        if (own < 0)
            return false;
        endpoints_.push_back({own, port, false, own});
        const int shared = boundSocket(group, port, true, error);
        if (shared < 0)
            return false;
        endpoints_.push_back({shared, port, true, own});
        ip_mreq membership{};
        membership.imr_multiaddr = group;
        membership.imr_interface = address_;
        if (::setsockopt(shared, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
            error = std::string("joining ") + kGroup + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

std::vector<int> ProbeResponder::descriptors() const
{
    std::vector<int> fds;
    for (const auto& endpoint : endpoints_)
        fds.push_back(endpoint.fd);
    return fds;
}

void ProbeResponder::serve(int fd, bool answer, const char* whyNot)
{
    const Endpoint* endpoint = nullptr;
    for (const auto& e : endpoints_)
        if (e.fd == fd)
            endpoint = &e;
    if (endpoint == nullptr)
        return;
    // Drain what is queued, so a burst never leaves datagrams behind for the next poll.
    while (true) {
        char buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
            return;
        const std::string head = "from=" + addressText(from) + " port=" + std::to_string(endpoint->port) +
                                 " via=" + (endpoint->group ? "group" : "address") + " bytes=" + std::to_string(n);
        const std::uint16_t fromPort = ntohs(from.sin_port);
        const std::uint32_t fromHost = ntohl(from.sin_addr.s_addr);
        const char* reason = answer ? nullptr : whyNot;
        // Never to another PBX's probe port (two simulators would answer each other without end),
        // nor to an address that cannot have sent a datagram.
        if (reason == nullptr && (fromPort == kPorts[0] || fromPort == kPorts[1]))
            reason = "sender-is-a-probe-port";
        if (reason == nullptr && (fromPort == 0 || fromHost == 0 || IN_MULTICAST(fromHost) || fromHost == INADDR_BROADCAST))
            reason = "no-valid-sender";
        if (reason != nullptr) {
            out_.line("probe", head + " ignored reason=" + reason);
            continue;
        }
        char ownText[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &address_, ownText, sizeof ownText);
        const std::string reply = std::string("pbxsim ") + ownText;
        const ssize_t sent = ::sendto(endpoint->replyFd, reply.data(), reply.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&from), sizeof from);
        if (sent < 0)
            out_.line("probe", head + " answer-failed error=" + printable(std::strerror(errno)));
        else
            out_.line("probe", head + " answered");
    }
}

} // namespace kelm::pbxsim
