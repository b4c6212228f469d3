#!/usr/bin/env bash
# Figures of a running tallysvc against the simulated PBX, next to their goals:
#   - resident memory (VmRSS) once its collector file holds 2000 tickets;
#   - CPU time (utime + stime) over a minute of idle ticks, as a share of one core.
#
#   bench/service/service_figures.sh [--idle-seconds N] [BUILD_DIR]     (default build/plain)
#
# Run as root after a build; everything runs in network and PID namespaces of its own (the fixed
# ports stay out of the host's namespace; whatever it started ends with it). The memory run meters
# a stream of 70 calls a second with CALLLOG_UPDATE_TIMER=1 and no roll-over. The idle run restarts
# the service on that program directory with the installed defaults (CALLLOG_UPDATE_TIMER=10,
# ZEB_TIMEOUT=30, trace level 1) against a PBX that holds the same calls and makes no new ones:
# logged in, each tick fetches the 200 newest calls and writes none. Exit status 0 when both
# figures were measured (met or not), 1 when a run failed, 2 for a bad command line.
set -euo pipefail

self=$(realpath "${BASH_SOURCE[0]}")
root=$(cd "$(dirname "$self")/../.." && pwd)

kTickets=2000
kRssGoalMb=30
kIdleGoalPercent=0.1

# ---------------------------------------------------------------------------------------------
# Inside the namespaces (pid 1 there).

inside() {
  local build=$1 idle_seconds=$2
  source "$root/bench/service/kelm_conf.sh"
  local tools=$build/tools/bin

  # Globals: the EXIT trap reads them after this function has returned.
  listener_pid='' pbx_pid=''
  work=$(mktemp -d /tmp/kelm-figures.XXXXXX)
  prog=$work/kelm
  trap cleanup EXIT
  trap 'exit 1' INT TERM HUP

  ip link set lo up
  mkdir "$prog"
  cp "$build/bin/tallysvc" "$prog/"

  # --- resident memory with 2000 tickets
  progress "metering a stream of calls until the collector holds $kTickets tickets"
  write_kelm_conf "$prog/KELM.conf" ZEB_IP_HOSTNAME=127.0.0.1 ZEB_PASSWORD=nbagabnoagnl \
    CALLLOG_UPDATE_TIMER=1 ZEB_TIMEOUT=1 METERING_COLLECTOR_MAX_TICKET=1000000
  start_pbx --calls-per-second 70 --journal "$work/journal"
  start_service 1
  local pid
  pid=$(service_pid 1)
  until (($(tickets_reported 1) >= kTickets)); do
    service_running || fail "tallysvc ended before its collector held $kTickets tickets"
    ((SECONDS < 120)) || fail "the collector holds no $kTickets tickets after two minutes"
    sleep 0.2
  done
  local rss hwm
  rss=$(status_kb "$pid" VmRSS)
  hwm=$(status_kb "$pid" VmHWM)
  stop_service 1
  stop_pbx
  local audit tickets
  audit=$("$tools/ticket_audit" "$work/journal" "$prog") || fail "the audit is not clean:"$'\n'"$audit"
  tickets=$(sed -n 's/^tickets written: *//p' <<<"$audit")

  # --- CPU time over idle ticks
  progress "restarting on those tickets at the default periods; measuring $idle_seconds s of idle ticks"
  write_kelm_conf "$prog/KELM.conf" ZEB_IP_HOSTNAME=127.0.0.1 ZEB_PASSWORD=nbagabnoagnl \
    METERING_COLLECTOR_MAX_TICKET=1000000
  start_pbx --start-log "$work/journal" --journal "$work/journal2"
  start_service 2
  pid=$(service_pid 2)
  # The first tick writes the calls the memory run had not fetched yet; idle begins after it.
  local start=$SECONDS
  until grep -q 'last call log fetched' "$work/notify2.log"; do
    service_running || fail "tallysvc ended before its first call-log fetch"
    ((SECONDS - start < 60)) || fail "no call-log fetch within a minute"
    sleep 0.2
  done
  local t0 t1 c0 c1 tck ticks_before
  tck=$(getconf CLK_TCK)
  ticks_before=$(tickets_reported 2)
  local fetches
  fetches=$(fetch_count)
  t0=$EPOCHREALTIME c0=$(cpu_ticks "$pid")
  sleep "$idle_seconds"
  t1=$EPOCHREALTIME c1=$(cpu_ticks "$pid")
  fetches=$(($(fetch_count) - fetches))
  service_running || fail "tallysvc ended during the idle minute"
  (($(tickets_reported 2) == ticks_before)) || fail "tickets were written during the idle minute"
  local idle_rss
  idle_rss=$(status_kb "$pid" VmRSS)
  stop_service 2
  stop_pbx

  # --- the figures
  local build_type
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
  awk -v rss="$rss" -v hwm="$hwm" -v tickets="$tickets" -v rssGoal="$kRssGoalMb" \
    -v t0="$t0" -v t1="$t1" -v c0="$c0" -v c1="$c1" -v tck="$tck" -v idleGoal="$kIdleGoalPercent" \
    -v idleRss="$idle_rss" -v fetches="$fetches" -v build="$build (${build_type:-?})" '
    function row(what, figure, goal, ok) {
      printf "  %-44s %-30s goal: %-12s %s\n", what, figure, goal, ok ? "met" : "MISSED"
    }
    BEGIN {
      mb = rss / 1024; wall = t1 - t0; cpu = (c1 - c0) / tck; pct = 100 * cpu / wall
      printf "tallysvc figures, %s\n", build
      row(sprintf("resident memory, collector of %d tickets", tickets),
          sprintf("%.1f MB VmRSS (peak %.1f MB)", mb, hwm / 1024), sprintf("under %d MB", rssGoal), mb < rssGoal)
      row(sprintf("CPU time over %.0f s of idle ticks", wall),
          sprintf("%.3f %% of one core (%.0f ms)", pct, 1000 * cpu), sprintf("under %s %%", idleGoal), pct < idleGoal)
      printf "  idle: default periods (call log every 10 s), logged in, %d fetches of 200 calls, none new;\n" \
             "        %.1f MB VmRSS after it; CPU time is counted in 1/%d s\n", fetches, idleRss / 1024, tck
    }'
}

progress() { echo "service_figures: $*" >&2; }
fail() {
  echo "service_figures: $*" >&2
  exit 1
}

cleanup() {
  trap '' INT TERM HUP
  if [[ -n $listener_pid ]] && kill -0 "$listener_pid" 2>/dev/null; then
    kill -TERM "$listener_pid" 2>/dev/null || true
    wait_gone "$listener_pid" 20 || kill -KILL "$listener_pid" 2>/dev/null || true
  fi
  if [[ -n $pbx_pid ]] && kill -0 "$pbx_pid" 2>/dev/null; then
    kill -TERM "$pbx_pid" 2>/dev/null || true
    wait_gone "$pbx_pid" 5 || kill -KILL "$pbx_pid" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
  rm -rf "$work"
}

wait_gone() {
  local i
  for ((i = 0; i < $2 * 10; ++i)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

start_pbx() {
  "$tools/pbxsim" --address 127.0.0.1 --password secret "$@" >"$work/pbxsim.out" 2>&1 &
  pbx_pid=$!
  local i
  for ((i = 0; i < 50; ++i)); do
    grep -q ' start address=' "$work/pbxsim.out" && return 0
    kill -0 "$pbx_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "pbxsim did not start: $(cat "$work/pbxsim.out")"
}

stop_pbx() {
  kill -TERM "$pbx_pid"
  wait "$pbx_pid" || fail "pbxsim ended with status $?"
  pbx_pid=''
}

# start_service RUN: tallysvc under the notify listener, as systemd runs it; returns once it has
# reported running.
start_service() {
  "$tools/notify_listener" --forward-signals --timeout 600 --log "$work/notify$1.log" \
    -- "$prog/tallysvc" >/dev/null 2>"$work/listener$1.err" &
  listener_pid=$!
  local i
  for ((i = 0; i < 300; ++i)); do
    grep -q 'READY=1' "$work/notify$1.log" 2>/dev/null && return 0
    service_running || break
    sleep 0.1
  done
  fail "tallysvc did not report running: $(cat "$work/notify$1.log" "$work/listener$1.err" 2>/dev/null)"
}

fetch_count() { grep -c ' fetch session=' "$work/pbxsim.out" || true; }

service_running() { kill -0 "$listener_pid" 2>/dev/null; }

stop_service() {
  kill -TERM "$listener_pid" # forwarded: the stop control
  local rc=0
  wait "$listener_pid" || rc=$?
  listener_pid=''
  ((rc == 0)) || fail "tallysvc ended with status $rc: $(cat "$work/notify$1.log")"
}

# The pid that sent the notify reports of run $1: tallysvc itself.
service_pid() { sed -n 's/^[0-9.]* notify pid=\([0-9]*\) .*/\1/p' "$work/notify$1.log" | head -n 1; }

# The ticket count of the latest health report of run $1.
tickets_reported() {
  sed -n 's/.* \([0-9][0-9]*\) tickets in the collector file.*/\1/p' "$work/notify$1.log" | tail -n 1 |
    grep . || echo 0
}

status_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

# utime + stime of process $1, in clock ticks (the fields after the parenthesised name).
cpu_ticks() {
  local stat
  stat=$(<"/proc/$1/stat")
  awk '{ print $12 + $13 }' <<<"${stat##*) }"
}

# ---------------------------------------------------------------------------------------------
# On the host.

idle_seconds=60
build=$root/build/plain
case ${1:-} in
  --inside)
    shift
    inside "$@"
    exit
    ;;
  -h | --help)
    sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$self"
    exit 0
    ;;
  --idle-seconds)
    [[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] && (($2 >= 10)) || { echo "usage: see --help" >&2; exit 2; }
    idle_seconds=$2
    shift 2
    ;;
esac
if (($# > 1)) || [[ ${1:-} == -* ]]; then
  echo "usage: see --help" >&2
  exit 2
fi
(($# == 0)) || build=$(realpath "$1")
[[ -x $build/bin/tallysvc && -x $build/tools/bin/pbxsim ]] ||
  { echo "service_figures: no tallysvc and pbxsim in $build; build first" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || { echo "service_figures: run as root (it creates network namespaces)" >&2; exit 1; }

unshare --net --pid --fork --mount-proc --kill-child=SIGTERM -- \
  bash "$self" --inside "$build" "$idle_seconds" &
ns_pid=$!
# unshare passes no signal on: an interruption reaches its pid 1 in there as SIGTERM.
forward_stop() {
  local inner
  inner=$(cat "/proc/$ns_pid/task/$ns_pid/children" 2>/dev/null) || true
  [[ -z $inner ]] || kill -TERM "$inner" 2>/dev/null || true
}
trap forward_stop INT TERM HUP
while :; do
  rc=0
  wait "$ns_pid" || rc=$?
  kill -0 "$ns_pid" 2>/dev/null || break
done
exit "$rc"
