#pragma once

#include "tools/pbxsim/pbx.h"

#include <chrono>
#include <string>
#include <vector>

struct soap;

namespace kelm::pbxsim {

// TCP 8894 of the PBX, answered through the generated server dispatch: one request per
// connection, bounded in time on every socket operation. The port can be closed and opened again
// (power, HTTP service), and with the hang switch every connection is accepted and held unanswered.
class HttpFront {
public:
    static constexpr int kPort = 8894;
    static constexpr std::size_t kMaxHeld = 64;
    using Clock = std::chrono::steady_clock;

    explicit HttpFront(Pbx& pbx);
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;
    ~HttpFront();

    bool listening() const;
    bool open(std::string& error);
    // Closes the port (and drops every held connection): connections are refused.
    void close(const char* reason);

    int listenFd() const;
    std::vector<int> heldFds() const;
    // Accepts one waiting connection and serves it, or holds it with the hang switch.
    void acceptOne();
    // Input or hang-up on a held connection: discard what came, release it once the client closed.
    void serviceHeld(int fd);
    // Releases held connections whose time is up.
    void expireHeld(Clock::time_point now);
    // The soonest time a held connection is up; false when none is held.
    bool nextHeldDeadline(Clock::time_point& deadline) const;

private:
    struct Held {
        int fd;
        std::string peer;
        Clock::time_point deadline;
    };
    void release(std::size_t index, const char* reason);

    Pbx& pbx_;
    struct soap* soap_;
    std::vector<Held> held_;
};

} // namespace kelm::pbxsim
