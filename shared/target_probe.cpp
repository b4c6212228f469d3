#include "shared/target_probe.h"

#include "platform/unique_fd.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace kelm {

namespace {

constexpr int kRounds = 3;
constexpr std::size_t kReceiveBufferSize = 256;


sockaddr_in ipv4(in_addr address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr = address;
    return sa;
}

} // namespace

std::chrono::milliseconds probeRoundTimeout(std::int32_t zebTimeoutSeconds)
{
    const std::int64_t seconds = std::clamp<std::int64_t>(zebTimeoutSeconds, 1, 300);
    return std::chrono::milliseconds(seconds * 1000 / 3);
}

int TestTargetIP(std::string_view address, std::int32_t zebTimeoutSeconds, CKelmDebugLog& log,
                 const ProbePorts& ports)
{
    const platform::UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return 0;

    // A port held by another probe is no reason to stop: the system then picks one at the first send.
    const sockaddr_in local = ipv4(in_addr{htonl(INADDR_ANY)}, ports.local);
    (void)::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);

    const auto wait = probeRoundTimeout(zebTimeoutSeconds);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(wait.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((wait.count() % 1000) * 1000);
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0)
        log.WriteLog(kLevelError, kCategoryNetwork, "TestTargetIP: Set detect Socket timwout.");

    // An address that is not dotted IPv4 (an unresolved host name) reaches no PBX; the rounds still
    // run, since any datagram to the probe's port counts.
    in_addr target{};
    const bool addressable = ::inet_pton(AF_INET, std::string(address).c_str(), &target) == 1;

    for (int round = 0; round < kRounds; ++round) {
        if (addressable) {
            for (const std::uint16_t port : {ports.first, ports.second}) {
                const sockaddr_in to = ipv4(target, port);
                (void)::sendto(socket.get(), kProbeDatagram.data(), kProbeDatagram.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
            }
        }
        char buffer[kReceiveBufferSize];
        if (::recv(socket.get(), buffer, sizeof buffer, 0) >= 0) {
            log.WriteLog(kLevelDebug, kCategoryNetwork, "TestTargetIP: Received response from target.");
            return 1;
        }
    }
    return 0;
}

} // namespace kelm
