#include "tools/pbxsim/session_table.h"

#include <cstdio>

namespace kelm::pbxsim {

SessionTable::SessionTable(Clock::duration lifetime) : lifetime_(lifetime), random_(std::random_device{}()) {}

std::string SessionTable::open(Clock::time_point now)
{
    // A counter keeps IDs unique; the random part keeps them from being guessed from an earlier one.
    char id[48];
    std::snprintf(id, sizeof id, "%llu-%016llx", static_cast<unsigned long long>(++counter_),
                  static_cast<unsigned long long>(random_()));
    if (sessions_.size() >= kMaxSessions)
        sessions_.pop_front();
    sessions_.push_back({id, now, false});
    return id;
}

SessionTable::Session* SessionTable::find(const std::string& id)
{
    for (auto& session : sessions_)
        if (session.id == id)
            return &session;
    return nullptr;
}

void SessionTable::age(Session& session, Clock::time_point now) const
{
    if (lifetime_ > Clock::duration::zero() && now - session.opened >= lifetime_)
        session.expired = true;
}

SessionTable::State SessionTable::check(const std::string& id, Clock::time_point now)
{
    Session* session = find(id);
    if (session == nullptr)
        return State::unknown;
    age(*session, now);
    return session->expired ? State::expired : State::valid;
}

bool SessionTable::close(const std::string& id, Clock::time_point now)
{
    const bool wasValid = check(id, now) == State::valid;
    std::erase_if(sessions_, [&](const Session& s) { return s.id == id; });
    return wasValid;
}

std::size_t SessionTable::expireAll(Clock::time_point now)
{
    std::size_t count = 0;
    for (auto& session : sessions_) {
        age(session, now);
        if (!session.expired)
            ++count;
        session.expired = true;
    }
    return count;
}

} // namespace kelm::pbxsim
