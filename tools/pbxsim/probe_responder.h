#pragma once

#include "tools/pbxsim/event_output.h"

#include <netinet/in.h>
#include <string>
#include <vector>

namespace kelm::pbxsim {

// The answer to the reachability probe: for each of the ports 8888 and 8889, a socket bound to the
// PBX's own address and one bound to the group 224.0.1.111, joined on the interface of that
// address. The group sockets share their port with other instances (SO_REUSEADDR), so several
// PBXs on different loopback addresses each get every group datagram; every answer leaves from
// the socket on the own address, so its sender is the PBX's address.
class ProbeResponder {
public:
    static constexpr const char* kGroup = "224.0.1.111";
    static constexpr std::uint16_t kPorts[2] = {8888, 8889};

    ProbeResponder(in_addr address, EventOutput& out) : address_(address), out_(out) {}
    ProbeResponder(const ProbeResponder&) = delete;
    ProbeResponder& operator=(const ProbeResponder&) = delete;
    ~ProbeResponder();

    bool open(std::string& error);
    // The descriptors to poll for input.
    std::vector<int> descriptors() const;
    // Reads what is waiting on fd and answers it when `answer` holds.
    void serve(int fd, bool answer, const char* whyNot);

private:
    struct Endpoint {
        int fd;
        std::uint16_t port;
        bool group;
        int replyFd; // the own-address socket of the same port
    };

    in_addr address_;
    EventOutput& out_;
    std::vector<Endpoint> endpoints_;
};

std::string addressText(const sockaddr_in& address);

} // namespace kelm::pbxsim
