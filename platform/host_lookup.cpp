#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace kelm::platform {

std::optional<std::string> resolveIPv4(const std::string& hostName)
{
    if (hostName.empty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(hostName.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return std::nullopt;
    std::optional<std::string> dotted;
    char text[INET_ADDRSTRLEN];
    const auto* address = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr)
        dotted = text;
    ::freeaddrinfo(result);
    return dotted;
}

} // namespace kelm::platform
