#pragma once

#include "shared/kelm_debug_log.h"

#include <chrono>
#include <cstdint>
#include <string_view>

namespace kelm {

// The 27-byte datagram a PBX answers on its probe ports, without terminator or length.
inline constexpr std::string_view kProbeDatagram = "@@%%**##CSTA_SERVER##**%%@@";

struct ProbePorts {
    std::uint16_t local = 10000;
    std::uint16_t first = 8888;
    std::uint16_t second = 8889;
};

// Wait of one of the three rounds: a third of ZEB_TIMEOUT. ZEB_TIMEOUT is bounded to 1..300 s
// first, so that a value of 0 or below never means "wait for ever" and a huge one never
// overflows.
std::chrono::milliseconds probeRoundTimeout(std::int32_t zebTimeoutSeconds);

// Whether the PBX at the dotted IPv4 address answers the probe datagram: up to three rounds, each
// sending to both probe ports and waiting for any datagram from anyone. 1 when one came, else 0.
int TestTargetIP(std::string_view address, std::int32_t zebTimeoutSeconds, CKelmDebugLog& log,
                 const ProbePorts& ports = {});

} // namespace kelm
