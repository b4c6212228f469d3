#pragma once

#include "tools/pbxsim/call_log.h"
#include "tools/pbxsim/event_output.h"
#include "tools/pbxsim/pbxsim_options.h"
#include "tools/pbxsim/session_table.h"

#include <ctime>
#include <string>

namespace kelm::pbxsim {

// What the admin services answer from: the settings, the call log and the sessions. The SOAP
// context's user pointer refers to it while a request is served.
struct Pbx {
    Pbx(const PbxOptions& settings, EventOutput& output)
        : options(settings),
          out(output),
          log(static_cast<std::size_t>(settings.maxCalls)),
          sessions(std::chrono::duration_cast<SessionTable::Clock::duration>(
              std::chrono::duration<double>(settings.sessionLifetime)))
    {
    }

    const PbxOptions& options;
    EventOutput& out;
    CallLog log;
    SessionTable sessions;
    std::time_t startTime = std::time(nullptr);
    std::string peer; // "IP:PORT" of the client whose request is served
};

} // namespace kelm::pbxsim
