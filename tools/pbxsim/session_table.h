#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <string>

namespace kelm::pbxsim {

// The administration sessions the PBX grants. A session lasts until its logout, until its
// lifetime has passed since the login, or until every session is expired at once; a bounded
// number are kept, so endless logins without logout cannot grow the table.
class SessionTable {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxSessions = 64;

    enum class State { valid, expired, unknown };

    // A lifetime of zero: sessions never expire by age.
    explicit SessionTable(Clock::duration lifetime);

    // A fresh session ID; the oldest session is dropped when the table is full.
    std::string open(Clock::time_point now);
    State check(const std::string& id, Clock::time_point now);
    // False for a session it does not hold (or no longer holds as valid).
    bool close(const std::string& id, Clock::time_point now);
    // Every valid session expires; returns how many.
    std::size_t expireAll(Clock::time_point now);
    // Forgets every session, as a PBX does when it is switched off.
    void clear() { sessions_.clear(); }

private:
    struct Session {
        std::string id;
        Clock::time_point opened;
        bool expired = false;
    };
    Session* find(const std::string& id);
    void age(Session& session, Clock::time_point now) const;

    Clock::duration lifetime_;
    std::deque<Session> sessions_; // oldest first
    std::uint64_t counter_ = 0;
    std::mt19937_64 random_;
};

} // namespace kelm::pbxsim
