#include "shared/kelm_service.h"

#include "platform/timer_service.h"
#include "shared/configuration_settings.h"

namespace kelm {

namespace {

// KELM.conf holds the administrator password: a program that creates it keeps it to its owner.
constexpr mode_t kConfigurationFileMode = 0600;

} // namespace

CKelmService::CKelmService(std::string programDirectory, CKelmDebugLog& traceLog,
                           platform::MessageBox& messageBox)
    : log(traceLog), zeb(traceLog), metering(traceLog, programDirectory), programDirectory_(std::move(programDirectory)),
      messageBox_(messageBox)
{
}

// Out of line: the timer service is complete here.
CKelmService::~CKelmService() = default;

bool CKelmService::OpenConfigurationFile()
{
    configFile = platform::ExclusiveFile::open(configurationPath(),
                                               platform::ExclusiveFile::Mode::ReadWriteCreate,
                                               kConfigurationFileMode);
    return configFile.has_value();
}

bool CKelmService::ReadConfigurationFile()
{
    if (!configFile)
        return false;
    const auto content = configFile->readAll();
    if (!content)
        return false;
    configText.assign(*content);
    return true;
}

void CKelmService::SetDefaults()
{
    for (const auto& setting : configurationSettings())
        setting.load(*this, setting.defaultValue);
}

void CKelmService::ReadConfiguration()
{
    std::string value;
    for (const auto& setting : configurationSettings()) {
        if (GetKeyValue(setting.key, value)) {
            setting.load(*this, value);
            continue;
        }
        std::string message = "ERROR, Please check ";
        message.append(setting.key).append(" in configuration files.");
        messageBox_.showError("Error", message);
        setting.load(*this, setting.defaultValue);
    }
}

void CKelmService::Initialization()
{
    // The file is held only while it is read, so that the other program is never kept waiting
    // by message boxes or a slow host-name look-up.
    const bool opened = OpenConfigurationFile();
    const auto size = opened ? configFile->size() : std::nullopt;
    const bool readable = size && (*size == 0 || ReadConfigurationFile());
    CloseConfigurationFile();

    if (!readable) {
        // Never mistaken for an empty file: nothing is written back, the defaults only run.
        SetDefaults();
        log.OpenLog();
        log.WriteLog(kLevelError, kCategoryDebug,
                     "CKelmService::Initialization : cannot open configuration file.");
    } else if (*size == 0) {
        SetDefaults();
        log.OpenLog();
        log.WriteLog(kLevelError, kCategoryDebug,
                     "CKelmService::Initialization : no customer configuration data.");
    } else {
        ReadConfiguration();
        log.OpenLog();
        log.WriteLog(kLevelDebug, kCategoryDebug,
                     "CKelmService::Initialization : get customer configuration data.");
    }
    zeb.Initialization();
}

} // namespace kelm
