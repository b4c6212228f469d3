#!/usr/bin/env bash
# The demo: tallysvc metering the calls of the simulated PBX for about a minute.
#
#   scripts/demo.sh [--seconds N]        (or DEMO_SECONDS=N; default 60)
#
# Run as root on Debian 12. Installs the packages (scripts/install-deps.sh), builds the service and
# the test tools into build/demo, then runs everything in network and PID namespaces of its own:
# the fixed ports (TCP 8894, UDP 8888/8889/10000) are never used in the host's namespace, and
# whatever the demo started ends with it, even when the demo itself is killed. Inside, pbxsim makes
# 2 calls a second on 127.0.0.1; tallysvc runs from a fresh program directory under the notify
# listener, as systemd would run it, with 2-second periods, full trace levels and a roll-over every
# 50 tickets. Its trace, pbxsim's events, the notify reports and the tickets reaching the collector
# files scroll by as they come; after the stop (SIGTERM, as systemctl stop sends) comes a summary.
# A Ctrl-C (or SIGTERM, SIGHUP) stops the service early and still shows the summary.
#
# Exit status 0 when tallysvc stopped with exit status 0 and the audit found every call that was
# fetched ticketed exactly once, in order; 1 otherwise; 2 for a bad command line.
set -euo pipefail

self=$(realpath "${BASH_SOURCE[0]}")
root=$(dirname "$(dirname "$self")")

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$self"
}

# ---------------------------------------------------------------------------------------------
# Inside the namespaces (pid 1 there): the demo itself.

inside() {
  local bin=$1 tools=$2 seconds=$3
  source "$root/bench/service/kelm_conf.sh"

  # Globals: the EXIT trap reads them after this function has returned.
  listener_pid='' pbx_pid='' display_pid='' watcher_pid='' stopping=0
  work=$(mktemp -d /tmp/kelm-demo.XXXXXX)
  prog=$work/kelm

  # Ends whatever is still running, each by its pid, the service first so that it can still log
  # out of the PBX; then removes the files.
  cleanup() {
    trap '' INT TERM HUP
    if [[ -n $listener_pid ]] && kill -0 "$listener_pid" 2>/dev/null; then
      kill -TERM "$listener_pid" 2>/dev/null || true # forwarded: the stop control
      wait_gone "$listener_pid" 20 || kill -KILL "$listener_pid" 2>/dev/null || true
    fi
    if [[ -n $pbx_pid ]] && kill -0 "$pbx_pid" 2>/dev/null; then
      kill -TERM "$pbx_pid" 2>/dev/null || true
      wait_gone "$pbx_pid" 5 || kill -KILL "$pbx_pid" 2>/dev/null || true
    fi
    [[ -z $watcher_pid ]] || kill -TERM "$watcher_pid" 2>/dev/null || true
    stop_display
    wait 2>/dev/null || true
    rm -rf "$work"
  }
  trap cleanup EXIT
  # The first SIGTERM (from the demo on the host: a Ctrl-C, a kill) stops the service early; the
  # summary still follows.
  trap 'stop_early' INT TERM HUP
  stop_early() {
    ((stopping)) && return
    stopping=1
    [[ -n $listener_pid ]] || return 0
    echo "--- stopping the service early"
    kill -TERM "$listener_pid" 2>/dev/null || true
  }

  ip link set lo up

  mkdir "$prog"
  cp "$bin/tallysvc" "$prog/" # a copy: the service finds KELM.conf beside /proc/self/exe
  write_kelm_conf "$prog/KELM.conf" \
    ZEB_IP_HOSTNAME=127.0.0.1 ZEB_PASSWORD=nbagabnoagnl ZEB_TIMEOUT=2 CALLLOG_UPDATE_TIMER=2 \
    METERING_COLLECTOR_MAX_TICKET=50 \
    GLOBAL_LOG_LEVEL=4 ZEB_LOG_LEVEL=4 CALLLOG_LEVEL=4 KELM_NETWORK_LOG_LEVEL=4
  : >"$work/pbxsim.out"
  : >"$work/notify.out"
  : >"$work/tickets.out"

  cat <<EOF
=== KELM metering demo, ${seconds} s, in network namespace $(readlink /proc/self/ns/net)
    pbxsim:   127.0.0.1, password "secret", 10 calls to start with, then 2 calls a second
    tallysvc: program directory $prog
              CALLLOG_UPDATE_TIMER=2 ZEB_TIMEOUT=2 METERING_COLLECTOR_MAX_TICKET=50, trace levels 4
    Lines:    pbxsim | events of the simulated PBX     trace  | tallysvc's LOG.txt
              notify | the service manager's view     ticket | tickets reaching the collector files

EOF

  # One reader for every stream, so lines never tear.
  bash -c 'echo $$ >"$0"; exec tail -q -n +1 -F "$@" 2>/dev/null' "$work/tail.pid" \
    "$work/pbxsim.out" "$work/notify.out" "$prog/LOG.txt" "$work/tickets.out" | display_lines &
  display_pid=$!

  setsid "$tools/pbxsim" --address 127.0.0.1 --password secret --initial-calls 10 \
    --calls-per-second 2 --journal "$work/journal" >"$work/pbxsim.out" 2>&1 &
  pbx_pid=$!
  local i
  for ((i = 0; i < 50; ++i)); do
    grep -q ' start address=' "$work/pbxsim.out" && break
    kill -0 "$pbx_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q ' start address=' "$work/pbxsim.out"; then
    sleep 0.5 # its output, shown above
    echo "=== FAILED: pbxsim did not start" >&2
    return 1
  fi

  # setsid, here and for pbxsim: out of the terminal's process group, so that a Ctrl-C reaches the
  # demo, which stops the service cleanly, and not the listener, which would pass it on as a signal
  # the service does not take as a stop.
  setsid "$tools/notify_listener" --forward-signals --stop-after "$seconds" \
    --timeout $((seconds + 120)) -- "$prog/tallysvc" >"$work/notify.out" 2>&1 &
  listener_pid=$!
  watch_tickets "$prog" "$work/tickets.out" &
  watcher_pid=$!

  local service_rc
  while :; do
    service_rc=0
    wait "$listener_pid" || service_rc=$?
    # A trapped signal interrupts the wait; the listener goes on until the service has stopped.
    if ((service_rc > 128)) && kill -0 "$listener_pid" 2>/dev/null; then continue; fi
    break
  done
  listener_pid=''
  kill -TERM "$pbx_pid" 2>/dev/null || true
  wait "$pbx_pid" || true
  pbx_pid=''
  sleep 1 # the watcher's last round
  kill -TERM "$watcher_pid" 2>/dev/null || true
  wait "$watcher_pid" 2>/dev/null || true
  watcher_pid=''
  sleep 0.5 # tail's last lines
  stop_display

  echo
  echo "=== notify messages, as systemd would have seen them"
  show_notifications "$work/notify.out"
  echo
  echo "=== audit: the collector files against the calls pbxsim made"
  local audit_rc=0 audit
  audit=$("$tools/ticket_audit" "$work/journal" "$prog") || audit_rc=$?
  sed 's/^/    /' <<<"$audit"
  local files
  files=$(cd "$prog" && ls TicketCollector*.xml 2>/dev/null | paste -sd ' ') || true
  echo "    files:             ${files:-none}"
  local tickets
  tickets=$(sed -n 's/^tickets written: *\([0-9]*\).*/\1/p' <<<"$audit")

  echo
  local verdict=0
  if ((service_rc == 0)); then
    echo "=== tallysvc stopped with exit status 0"
  else
    echo "=== FAILED: tallysvc ended with status $service_rc (notify listener's exit status)"
    verdict=1
  fi
  if ((audit_rc != 0)); then
    echo "=== FAILED: the audit found tickets duplicated, missing, out of order or unknown"
    verdict=1
  elif ((${tickets:-0} == 0)); then
    echo "=== FAILED: no ticket reached the collector file"
    verdict=1
  else
    echo "=== audit clean: $tickets tickets, every fetched call exactly once"
  fi
  return "$verdict"
}

# Ends tail, then waits for the display to show what it still holds.
stop_display() {
  [[ -n $display_pid ]] || return 0
  [[ -s $work/tail.pid ]] && kill -TERM "$(<"$work/tail.pid")" 2>/dev/null || true
  wait_gone "$display_pid" 5 || kill -TERM "$display_pid" 2>/dev/null || true
  display_pid=''
}

# Waits up to $2 seconds for process $1 to end; false if it still runs.
wait_gone() {
  local i
  for ((i = 0; i < $2 * 10; ++i)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# Prefixes each line by its stream, told from the line's shape. The call-log trace has a line per
# entry of every answer (up to 200, most of them seen before): after three, the rest is counted.
display_lines() {
  local awk=(awk)
  # mawk, Debian's awk, reads a pipe in blocks unless told otherwise.
  awk -W version 2>/dev/null | grep -q mawk && awk+=(-W interactive)
  exec "${awk[@]}" '
    function flush() {
      if (folded > 0) printf "trace  | %s   ... %d more call-log entry lines (in LOG.txt)\n", ftime, folded
      entries = 0; folded = 0
    }
    # tallysvc trace: "Fri Dec 11 15:31:03 2026 CATEGORY[level] text"
    /^[A-Z][a-z][a-z] [A-Z][a-z][a-z] +[0-9]+ [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [0-9]+ / {
      line = $0; sub(/^[^ ]+ [^ ]+ +[^ ]+ /, "", line)
      t = substr(line, 1, 8); sub(/^[^ ]+ [^ ]+ /, "", line)
      if (line ~ /^CALLLOG\[[0-9]\] [0-9]+ /) {
        if (++entries > 3) { ++folded; ftime = t; next }
      } else flush()
      printf "trace  | %s %s\n", t, line; fflush(); next
    }
    /^ticket / { print; fflush(); next }
    # notify listener: "SECONDS start pid=|notify|signal|exit ..." (pbxsim says "start address=")
    /^[0-9]+\.[0-9]+ (start pid=|notify |signal |received |kill process group |timeout after |exit )/ {
      print "notify | " $0; fflush(); next
    }
    # pbxsim: "SECONDS EVENT ..."; texts from the wire are escaped, a space as \x20
    /^[0-9]+\.[0-9]+ / { gsub(/\\x20/, " "); print "pbxsim | " $0; fflush(); next }
    # anything else the service wrote to standard error
    { print "stderr | " $0; fflush() }
    END { flush() }
  '
}

# Appends a line to $2 for every ticket that reaches the collector files of directory $1, and one
# for every roll-over, polling twice a second.
watch_tickets() {
  local dir=$1 out=$2 seen=0 count backups=() known=" " b
  trap 'exit 0' TERM
  while :; do
    # Backups first, then the collector file: a roll-over in between (the file renamed into a
    # backup, a new one begun) then hides tickets for one round instead of showing them twice.
    mapfile -t backups < <(cd "$dir" && LC_ALL=C ls -1 TicketCollector_*.xml 2>/dev/null)
    for b in "${backups[@]}"; do
      [[ $known == *" $b "* ]] && continue
      known+="$b "
      echo "ticket | roll-over: $b holds $(grep -o '<CallAccounting ' "$dir/$b" | wc -l) tickets," \
        "TicketCollector.xml begins again" >>"$out"
    done
    count=$( (cd "$dir" && cat "${backups[@]}" TicketCollector.xml 2>/dev/null) | awk -v seen="$seen" '
      function text(name,   r) {
        if (!match(rec, "<" name ">[^<]*</" name ">")) return "-"
        r = substr(rec, RSTART, RLENGTH); sub(/^<[^>]*>/, "", r); sub(/<.*$/, "", r); return r
      }
      BEGIN { RS = "</CallAccounting>" }
      /<CallAccounting / {
        rec = $0; sub(/.*<CallAccounting /, "", rec)
        if (++n > seen)
          printf "ticket | #%d  %s -> %s (initialDest %s)  %s .. %s\n", n, text("DirNumber"),
            text("CorrNumber"), text("initialDest"), text("DateOfBegin"), substr(text("DateOfEnd"), 12)
      }
      END { print n + 0 > "/dev/stderr" }' 2>&1 >>"$out") || true
    ((count > seen)) && seen=$count
    sleep 0.5
  done
}

# The listener's notify lines; of a long run of health STATUS updates, the first and last two.
show_notifications() {
  awk '
    $2 == "notify" {
      m = $0; sub(/^[0-9.]+ notify pid=[0-9]+ /, "", m); gsub(/\\n/, "  ", m)
      line[++n] = sprintf("    %8s s  %s", $1, m)
      health[n] = (m ~ /^STATUS=/ && m != "STATUS=start pending")
    }
    $2 == "exit" { sub(/^[0-9.]+ /, ""); last = "    then tallysvc ended: " $0 }
    END {
      for (i = 1; i <= n; ++i) h += health[i]
      for (i = 1; i <= n; ++i) {
        if (health[i]) {
          ++k
          if (h > 6 && k == 3) printf "    ... %d more STATUS updates ...\n", h - 4
          if (h > 6 && k > 2 && k <= h - 2) continue
        }
        print line[i]
      }
      if (last != "") print last
    }' "$1"
}

# ---------------------------------------------------------------------------------------------
# On the host: install, build, then the demo in namespaces of its own.

seconds=${DEMO_SECONDS:-60}
case ${1:-} in
  --inside)
    shift
    inside "$@"
    exit
    ;;
  --seconds)
    [[ $# -eq 2 ]] || { usage >&2; exit 2; }
    seconds=$2
    ;;
  -h | --help)
    usage
    exit 0
    ;;
  "") ;;
  *)
    usage >&2
    exit 2
    ;;
esac
[[ $seconds =~ ^[0-9]+$ ]] && ((seconds >= 5 && seconds <= 3600)) ||
  { echo "demo: --seconds takes a whole number from 5 to 3600" >&2; exit 2; }
[[ $(id -u) -eq 0 ]] || { echo "demo: run as root (it creates network namespaces)" >&2; exit 1; }

"$root/scripts/install-deps.sh"

build=$root/build/demo
log=$build/demo-build.log
mkdir -p "$build"
echo "=== building tallysvc and the test tools in $build (Release; a minute or two the first time)"
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELM_BUILD_TESTS=OFF \
  -DKELM_BUILD_BENCH=OFF >"$log" 2>&1 ||
  ! cmake --build "$build" -j "$(nproc)" --target tallysvc pbxsim notify_listener ticket_audit \
    >>"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "demo: the build failed; the whole output is in $log" >&2
  exit 1
fi

# When the demo's pid 1 in there ends, the kernel ends every process left in its PID namespace.
# --kill-child: should unshare be killed, that pid 1 is told to stop and clean up.
unshare --net --pid --fork --mount-proc --kill-child=SIGTERM -- \
  bash "$self" --inside "$build/bin" "$build/tools/bin" "$seconds" &
ns_pid=$!
# unshare passes no signal on: a Ctrl-C, SIGTERM or hang-up of the demo goes to its pid 1 as
# SIGTERM, which stops the service early and still shows the summary.
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
