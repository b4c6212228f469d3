#pragma once

#include "platform/exclusive_file.h"
#include "platform/message_box.h"
#include "shared/config_text.h"
#include "shared/fixed_text.h"
#include "shared/kelm_debug_log.h"
#include "shared/kelm_metering.h"
#include "shared/kelm_zeb_object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kelm::platform {
class TimerService;
}

namespace kelm {

// Owner of one configuration record, its file and text, one session client and one collector.
// tallysvc has one for its whole life; tallyconf has one for the dialog and one for its
// connection test. The trace log is shared by all records of a process.
class CKelmService {
public:
    static constexpr std::string_view kConfigurationFileName = "KELM.conf";

    CKelmService(std::string programDirectory, CKelmDebugLog& log, platform::MessageBox& messageBox);
    ~CKelmService();
    CKelmService(const CKelmService&) = delete;
    CKelmService& operator=(const CKelmService&) = delete;

    // Loads KELM.conf (defaults when it is empty), opens the trace log, resolves the PBX host.
    void Initialization();
    // Reads the twenty keys from the configuration text; a missing key is reported in a message
    // box and takes its default.
    void ReadConfiguration();
    // Puts the twenty values into the configuration text and writes the text into the opened
    // configuration file. tallyconf only. Refused (false) when there is no text, i.e. the file
    // could not be read at start: the settings on disk are never replaced by nothing.
    bool WriteConfiguration();
    // Every setting of the record to its default, the trace-log settings included.
    void SetDefaults();

    // The metering scheduler, tallysvc only. The start, every timer tick and the stop each hold the
    // service lock from first to last step.
    void StartKelmService();
    void UnInitialization();
    void t_main(std::uint32_t timerId);

    long FindKey(std::string_view key) const { return configText.FindKey(key); }
    bool GetKeyValue(std::string_view key, std::string& value) const { return configText.GetKeyValue(key, value); }
    bool SetKeyValue(std::string_view key, std::string_view value) { return configText.SetKeyValue(key, value); }

    // Opens KELM.conf for a load or a save: read-write, created (owner-only) when missing, never
    // truncated, held exclusively; waits a bounded time for the other program.
    bool OpenConfigurationFile();
    void CloseConfigurationFile() { configFile.reset(); }
    // Reads the opened file into the configuration text; false when it cannot be read.
    bool ReadConfigurationFile();

    std::string configurationPath() const { return programDirectory_ + std::string(kConfigurationFileName); }
    const std::string& programDirectory() const { return programDirectory_; }
    platform::MessageBox& messageBox() { return messageBox_; }

    // Settings held by the service record itself.
    FixedText<30> kelmVersion;                // "KELM version"
    FixedText<30> configurationAppVersion;    // "Configuration application version"
    std::int32_t callLogUpdateTimer = 0;      // CALLLOG_UPDATE_TIMER, seconds

    ConfigText configText;
    std::optional<platform::ExclusiveFile> configFile;

    CKelmDebugLog& log;
    CKelmZebObject zeb;
    CKelmMetering metering;

    // Scheduler state, read and written under the service lock only.
    int loggedIn = 0;
    int targetPresent = 0;
    std::uint32_t callLogTimerId = 0;
    std::uint32_t probeTimerId = 0;
    // Receives the service's health in words (PBX answering, logged in, tickets, last fetch)
    // whenever a start or a tick changed it, at once when set. Called under the service lock.
    void setHealthObserver(std::function<void(const std::string&)> observer);

private:
    void reportHealth();

    std::mutex serviceLock_;
    bool started_ = false;
    bool stopping_ = false; // set by the stop; a start or a tick that comes later does nothing
    std::function<void(const std::string&)> onHealthChange_;
    std::unique_ptr<platform::TimerService> timers_;
    std::string lastFetch_;
    std::string lastHealth_;

    std::string programDirectory_;
    platform::MessageBox& messageBox_;
};

} // namespace kelm
