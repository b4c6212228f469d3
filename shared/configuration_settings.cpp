#include "shared/configuration_settings.h"

#include "shared/config_number.h"
#include "shared/kelm_service.h"
#include "shared/password_codec.h"

namespace kelm {

namespace {

using S = CKelmService;
using V = std::string_view;

std::string text(V v)
{
    return std::string(v);
}

} // namespace

const std::array<ConfigurationSetting, 20>& configurationSettings()
{
    static const std::array<ConfigurationSetting, 20> settings = {{
        {"Corvane Version", "unknown",
         [](S& s, V v) { s.zeb.zebVersion = v; },
         [](const S& s) { return text(s.zeb.zebVersion.view()); }},
        {"KELM version", "unknown",
         [](S& s, V v) { s.kelmVersion = v; },
         [](const S& s) { return text(s.kelmVersion.view()); }},
        {"Configuration application version", "unknown",
         [](S& s, V v) { s.configurationAppVersion = v; },
         [](const S& s) { return text(s.configurationAppVersion.view()); }},
        {"ZEB_PASSWORD", "",
         [](S& s, V v) { s.zeb.adminPassword = DecodePassword(v); },
         [](const S& s) { return EncodePassword(s.zeb.adminPassword.view()); }},
        {"ZEB_LOG_LEVEL", "1",
         [](S& s, V v) { s.log.zebLogLevel = parseConfigLevel(v); },
         [](const S& s) { return formatConfigLevel(s.log.zebLogLevel); }},
        {"ZEB_TIMEOUT", "30",
         [](S& s, V v) { s.zeb.zebTimeout = parseConfigNumber(v); },
         [](const S& s) { return formatConfigNumber(s.zeb.zebTimeout); }},
        {"ZEB_IP_HOSTNAME", "unknown",
         [](S& s, V v) { s.zeb.hostName = v; },
         [](const S& s) { return text(s.zeb.hostName.view()); }},
        {"PROXY_IP_HOST_NAME", "unknown",
         [](S& s, V v) { s.zeb.proxyHost = v; },
         [](const S& s) { return text(s.zeb.proxyHost.view()); }},
        {"PROXY_PORT_NUMBER", "8080",
         [](S& s, V v) { s.zeb.proxyPort = parseConfigNumber(v); },
         [](const S& s) { return formatConfigNumber(s.zeb.proxyPort); }},
        {"PROXY_USER_NAME", "unknown",
         [](S& s, V v) { s.zeb.proxyUser = v; },
         [](const S& s) { return text(s.zeb.proxyUser.view()); }},
        {"PROXY_USER_PASSWORD", "",
         [](S& s, V v) { s.zeb.proxyPassword = v; },
         [](const S& s) { return text(s.zeb.proxyPassword.view()); }},
        {"KELM_NETWORK_LOG_LEVEL", "1",
         [](S& s, V v) { s.log.networkLogLevel = parseConfigLevel(v); },
         [](const S& s) { return formatConfigLevel(s.log.networkLogLevel); }},
        {"METERING_COLLECTOR_DIR", "",
         [](S& s, V v) { s.metering.collectorDir = v; },
         [](const S& s) { return text(s.metering.collectorDir.view()); }},
        {"METERING_COLLECTOR_FILE", "TicketCollector",
         [](S& s, V v) { s.metering.collectorFile = v; },
         [](const S& s) { return text(s.metering.collectorFile.view()); }},
        {"METERING_COLLECTOR_MAX_TICKET", "2000",
         [](S& s, V v) { s.metering.maxTicket = parseConfigNumber(v); },
         [](const S& s) { return formatConfigNumber(s.metering.maxTicket); }},
        {"CALLLOG_UPDATE_TIMER", "10",
         [](S& s, V v) { s.callLogUpdateTimer = parseConfigNumber(v); },
         [](const S& s) { return formatConfigNumber(s.callLogUpdateTimer); }},
        {"CALLLOG_LEVEL", "1",
         [](S& s, V v) { s.log.calllogLevel = parseConfigLevel(v); },
         [](const S& s) { return formatConfigLevel(s.log.calllogLevel); }},
        {"GLOBAL_LOG_FILE", "LOG.txt",
         [](S& s, V v) { s.log.fileName = v; },
         [](const S& s) { return text(s.log.fileName.view()); }},
        {"GLOBAL_LOG_LEVEL", "1",
         [](S& s, V v) { s.log.globalLogLevel = parseConfigLevel(v); },
         [](const S& s) { return formatConfigLevel(s.log.globalLogLevel); }},
        {"LOG_FILES_MAX_SIZE", "1000000",
         [](S& s, V v) { s.log.maxSize = parseConfigNumber(v); },
         [](const S& s) { return formatConfigNumber(s.log.maxSize); }},
    }};
    return settings;
}

} // namespace kelm
