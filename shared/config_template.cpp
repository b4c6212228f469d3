#include "shared/config_template.h"

#include <array>
#include <string>

namespace kelm {

namespace {

constexpr std::string_view kSeparator = "#######################################################";
static_assert(kSeparator.size() == 55);

constexpr std::array<std::string_view, 64> kLines = {
    kSeparator,
    "# XXX_LOG_LEVEL:",
    "# - 1 = ERROR",
    "# - 2 = ERROR and WARNING",
    "# - 3 = ERROR, WARNING and INFO",
    "# - 4 = ERROR, WARNING, INFO and DEBUG",
    "#",
    "# FTP_PASSWORD",
    "# Encoded ZEB FTP password using BASE64 algorithm",
    "#",
    "# ZEB_TIMEOUT",
    "# ZEB access timeout in seconds",
    "#",
    "# METERING_BUFFER_MAX_SIZE",
    "# maximum number of metering messages",
    "#",
    "# LOG_FILES_MAX_SIZE",
    "# value = maximum trace file size in bytes",
    "#",
    kSeparator,
    kSeparator,
    "# System Version",
    kSeparator,
    "Corvane Version : ",
    "KELM version: ",
    "Configuration application version: ",
    kSeparator,
    "# ZEB parameters",
    kSeparator,
    "ZEB_PASSWORD=",
    "ZEB_LOG_LEVEL=",
    "ZEB_TIMEOUT=",
    "ZEB_IP_HOSTNAME=",
    kSeparator,
    "# PROXY parameters",
    kSeparator,
    "PROXY_IP_HOST_NAME=",
    "PROXY_PORT_NUMBER=",
    "PROXY_USER_NAME=",
    "PROXY_USER_PASSWORD=",
    "KELM_NETWORK_LOG_LEVEL =",
    kSeparator,
    "# Metering parameters",
    kSeparator,
    "METERING_COLLECTOR_DIR=",
    "METERING_COLLECTOR_FILE=",
    "METERING_COLLECTOR_MAX_TICKET=",
    kSeparator,
    "# Call log parameters",
    kSeparator,
    "CALLLOG_UPDATE_TIMER=",
    "CALLLOG_LEVEL=",
    kSeparator,
    "# Global parameters",
    kSeparator,
    "GLOBAL_LOG_FILE=",
    "GLOBAL_LOG_LEVEL=",
    "LOG_FILES_MAX_SIZE=",
    kSeparator,
    "# Snapshot TEST report",
    kSeparator,
    kSeparator,
    "# Metering TEST report",
    kSeparator,
};

std::string joined()
{
    std::string text;
    for (std::size_t i = 0; i < kLines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += kLines[i];
    }
    return text;
}

} // namespace

std::string_view configurationTemplate()
{
    static const std::string text = joined();
    return text;
}

} // namespace kelm
