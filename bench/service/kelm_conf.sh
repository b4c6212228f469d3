# Sourced by scripts/demo.sh and bench/service/service_figures.sh (bash).
#
# write_kelm_conf FILE [KEY=VALUE...]
# Writes FILE as tallyconf's first save writes KELM.conf: the 64-line template of
# shared/config_template.cpp, CR LF between lines and none after the last, each setting followed by
# its value. Settings not given keep tallyconf's defaults. ZEB_PASSWORD is given encoded, as
# tallyconf writes it ("nbagabnoagnl" is "secret", the simulated PBX's default password).
write_kelm_conf() {
  local file=$1; shift
  local -A v=(
    [Corvane Version]=unknown [KELM version]=unknown [Configuration application version]=unknown
    [ZEB_PASSWORD]= [ZEB_LOG_LEVEL]=1 [ZEB_TIMEOUT]=30 [ZEB_IP_HOSTNAME]=unknown
    [PROXY_IP_HOST_NAME]=unknown [PROXY_PORT_NUMBER]=8080 [PROXY_USER_NAME]=unknown
    [PROXY_USER_PASSWORD]= [KELM_NETWORK_LOG_LEVEL]=1
    [METERING_COLLECTOR_DIR]= [METERING_COLLECTOR_FILE]=TicketCollector
    [METERING_COLLECTOR_MAX_TICKET]=2000
    [CALLLOG_UPDATE_TIMER]=10 [CALLLOG_LEVEL]=1
    [GLOBAL_LOG_FILE]=LOG.txt [GLOBAL_LOG_LEVEL]=1 [LOG_FILES_MAX_SIZE]=1000000
  )
  local kv
  for kv in "$@"; do
    [[ -v v[${kv%%=*}] ]] || { echo "write_kelm_conf: unknown setting ${kv%%=*}" >&2; return 1; }
    v[${kv%%=*}]=${kv#*=}
  done
  local sep='#######################################################'
  local lines=(
    "$sep"
    "# XXX_LOG_LEVEL:" "# - 1 = ERROR" "# - 2 = ERROR and WARNING" "# - 3 = ERROR, WARNING and INFO"
    "# - 4 = ERROR, WARNING, INFO and DEBUG" "#"
    "# FTP_PASSWORD" "# Encoded ZEB FTP password using BASE64 algorithm" "#"
    "# ZEB_TIMEOUT" "# ZEB access timeout in seconds" "#"
    "# METERING_BUFFER_MAX_SIZE" "# maximum number of metering messages" "#"
    "# LOG_FILES_MAX_SIZE" "# value = maximum trace file size in bytes" "#"
    "$sep" "$sep" "# System Version" "$sep"
    "Corvane Version : ${v[Corvane Version]}"
    "KELM version: ${v[KELM version]}"
    "Configuration application version: ${v[Configuration application version]}"
    "$sep" "# ZEB parameters" "$sep"
    "ZEB_PASSWORD=${v[ZEB_PASSWORD]}"
    "ZEB_LOG_LEVEL=${v[ZEB_LOG_LEVEL]}"
    "ZEB_TIMEOUT=${v[ZEB_TIMEOUT]}"
    "ZEB_IP_HOSTNAME=${v[ZEB_IP_HOSTNAME]}"
    "$sep" "# PROXY parameters" "$sep"
    "PROXY_IP_HOST_NAME=${v[PROXY_IP_HOST_NAME]}"
    "PROXY_PORT_NUMBER=${v[PROXY_PORT_NUMBER]}"
    "PROXY_USER_NAME=${v[PROXY_USER_NAME]}"
    "PROXY_USER_PASSWORD=${v[PROXY_USER_PASSWORD]}"
    "KELM_NETWORK_LOG_LEVEL =${v[KELM_NETWORK_LOG_LEVEL]}"
    "$sep" "# Metering parameters" "$sep"
    "METERING_COLLECTOR_DIR=${v[METERING_COLLECTOR_DIR]}"
    "METERING_COLLECTOR_FILE=${v[METERING_COLLECTOR_FILE]}"
    "METERING_COLLECTOR_MAX_TICKET=${v[METERING_COLLECTOR_MAX_TICKET]}"
    "$sep" "# Call log parameters" "$sep"
    "CALLLOG_UPDATE_TIMER=${v[CALLLOG_UPDATE_TIMER]}"
    "CALLLOG_LEVEL=${v[CALLLOG_LEVEL]}"
    "$sep" "# Global parameters" "$sep"
    "GLOBAL_LOG_FILE=${v[GLOBAL_LOG_FILE]}"
    "GLOBAL_LOG_LEVEL=${v[GLOBAL_LOG_LEVEL]}"
    "LOG_FILES_MAX_SIZE=${v[LOG_FILES_MAX_SIZE]}"
    "$sep" "# Snapshot TEST report" "$sep"
    "$sep" "# Metering TEST report" "$sep"
  )
  ((${#lines[@]} == 64)) || { echo "write_kelm_conf: template has ${#lines[@]} lines" >&2; return 1; }
  local IFS=$'\n'
  # The password is in there: the file is readable by its owner only, as tallyconf leaves it.
  (umask 077 && printf '%s' "${lines[*]}" | sed 's/$/\r/; $s/\r$//' >"$file")
}
