#!/usr/bin/env bash
# Boots a real systemd in systemd-nspawn for the service tests. Run as root.
#
#   container.sh rootfs                     print the cached root file system, building it first
#   container.sh boot HOSTDIR STATEFILE     boot a container with HOSTDIR bound read-only at
#                                           /opt/kelm; once its systemd has finished starting, write
#                                           "pid=", "nspawn=" and "state=" lines to STATEFILE; stay
#                                           until the container ends. SIGTERM, SIGINT or SIGHUP power
#                                           it off. Exit 0 when it powered off by itself in time.
#   container.sh run HOSTDIR -- COMMAND...  boot, run COMMAND on the host with KELM_CONTAINER_PID set
#                                           to the container's systemd, power off whatever COMMAND
#                                           did; exit with COMMAND's status
#   container.sh exec PID -- COMMAND...     run COMMAND inside the container whose systemd is PID,
#                                           with a clean environment; exit with its status
#
# The root file system is a minbase Debian bookworm with systemd, built once by debootstrap from the
# mirror apt uses and kept in $KELM_CACHE_DIR (default /var/cache/kelm). Every container runs on a
# throw-away overlay of it, so containers never change the cache and can run side by side. The
# container has only a loopback interface (--private-network). Every wait is bounded.
set -euo pipefail

cache=${KELM_CACHE_DIR:-/var/cache/kelm}
suite=bookworm
# systemd as init; libxml2 and the gSOAP run time so that a tallysvc built on the host runs from
# /opt/kelm.
packages=systemd,systemd-sysv,dbus,libxml2,libgsoap-2.8.124
layout=1 # bump when the preparation below changes, so a stale cache is not reused
key=$(printf '%s %s %s' "$suite" "$packages" "$layout" | sha256sum | cut -c1-12)
rootfs="$cache/rootfs-$suite-$key"

readonly kBuildTimeout=900   # debootstrap, first run only
readonly kLockTimeout=1000   # another test building the same root file system
readonly kBootTimeout=${KELM_CONTAINER_BOOT_TIMEOUT:-90}
readonly kStopTimeout=30
readonly kPath=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

die() {
  echo "container.sh: $*" >&2
  exit 1
}

usage() {
  sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

# The URI of the first enabled "deb" source for $suite, from the files apt reads (a one-line
# sources.list, *.list and deb822 *.sources in sources.list.d).
find_mirror() {
  local files=() f
  [[ -f /etc/apt/sources.list ]] && files+=(/etc/apt/sources.list)
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [[ -f $f ]] && files+=("$f")
  done
  for f in "${files[@]}"; do
    case $f in
      *.sources)
        awk -v suite="$suite" '
          BEGIN { RS = ""; FS = "\n" }
          {
            delete v; last = ""
            for (i = 1; i <= NF; i++) {
              line = $i
              if (line ~ /^#/) continue
              if (line ~ /^[ \t]/) { v[last] = v[last] " " line; continue }
              p = index(line, ":"); if (p == 0) continue
              last = tolower(substr(line, 1, p - 1))
              v[last] = substr(line, p + 1)
            }
            if (tolower(v["enabled"]) ~ /no/) next
            nt = split(v["types"], t, /[ \t]+/); deb = 0
            for (i = 1; i <= nt; i++) if (t[i] == "deb") deb = 1
            ns = split(v["suites"], s, /[ \t]+/); hit = 0
            for (i = 1; i <= ns; i++) if (s[i] == suite) hit = 1
            nu = split(v["uris"], u, /[ \t]+/)
            for (i = 1; i <= nu; i++) if (u[i] != "" && deb && hit) { print u[i]; exit }
          }' "$f"
        ;;
      *)
        awk -v suite="$suite" '
          /^[ \t]*#/ || $1 != "deb" { next }
          {
            i = 2
            if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
            if ($(i + 1) == suite) { print $i; exit }
          }' "$f"
        ;;
    esac
  done | head -n 1
}

# Unmounts whatever a killed debootstrap left mounted below $1 (it mounts /proc and /sys there).
unmount_below() {
  local m
  awk -v d="$1/" 'index($2, d) == 1 { print $2 }' /proc/mounts | sort -r | while read -r m; do
    umount -l "$m" || true
  done
}

# Makes the fresh tree boot quickly and quietly as a container.
customise_rootfs() {
  local r=$1
  echo kelm-test >"$r/etc/hostname"
  : >"$r/etc/machine-id" # each boot gets its own
  # Nothing in a test container needs the package timers or a login prompt.
  local u
  for u in apt-daily.timer apt-daily-upgrade.timer e2scrub_all.timer fstrim.timer \
           console-getty.service getty@.service; do
    ln -sf /dev/null "$r/etc/systemd/system/$u"
  done
}

cmd_rootfs() {
  if [[ -e $rootfs/.kelm-complete ]]; then
    echo "$rootfs"
    return
  fi
  mkdir -p "$cache/debs"
  exec 9>"$cache/rootfs.lock"
  flock -w "$kLockTimeout" 9 || die "timed out waiting for $cache/rootfs.lock"
  if [[ ! -e $rootfs/.kelm-complete ]]; then
    local mirror=${KELM_DEBIAN_MIRROR:-$(find_mirror)}
    [[ -n $mirror ]] || die "no deb source for $suite in /etc/apt/sources.list*; set KELM_DEBIAN_MIRROR"
    local partial="$rootfs.partial" log="$cache/debootstrap.log"
    unmount_below "$partial"
    rm -rf --one-file-system "$partial"
    echo "container.sh: building $rootfs from $mirror (first run only)" >&2
    if ! timeout "$kBuildTimeout" debootstrap --variant=minbase --include="$packages" \
         --cache-dir="$cache/debs" "$suite" "$partial" "$mirror" >"$log" 2>&1; then
      tail -n 30 "$log" >&2
      unmount_below "$partial"
      die "debootstrap failed (log: $log)"
    fi
    customise_rootfs "$partial"
    touch "$partial/.kelm-complete"
    mv "$partial" "$rootfs"
  fi
  exec 9>&-
  echo "$rootfs"
}

alive() { # pid: true while it runs (a zombie counts as ended)
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [[ ${stat%% *} != Z ]]
}

# Boots a container for host directory $1; sets nspawn_pid, container_pid, system_state, work.
start_container() {
  local hostdir
  hostdir=$(realpath -e "$1") || die "no such directory: $1"
  local root
  root=$(cmd_rootfs)
  work=$(mktemp -d /tmp/kelm-container.XXXXXX)
  # The overlay lives in a mount namespace of its own, so it vanishes with nspawn, whatever
  # happens to this script. setsid keeps terminal signals away from the container; the parent-death
  # signal powers it off (nspawn turns SIGTERM into an orderly shutdown) should this script die.
  setsid setpriv --pdeathsig TERM unshare --mount --propagation private -- sh -ec '
      mount -t tmpfs -o mode=0755 kelm-container "$2"
      mkdir "$2/upper" "$2/work" "$2/root"
      mount -t overlay overlay -o "lowerdir=$1,upperdir=$2/upper,workdir=$2/work" "$2/root"
      exec systemd-nspawn -D "$2/root" --register=no --keep-unit --private-network \
          --console=passive --bind-ro="$3:/opt/kelm" --machine="$4" -b' \
    container-boot "$root" "$work" "$hostdir" "kelm-${work##*.}" \
    >"$work.log" 2>&1 </dev/null &
  nspawn_pid=$!
  container_pid=

  # The container's systemd is the child of nspawn; it is up once its private socket exists.
  local deadline=$((SECONDS + kBootTimeout)) child
  while :; do
    alive "$nspawn_pid" || { cat "$work.log" >&2; die "systemd-nspawn ended during the boot"; }
    ((SECONDS < deadline)) || { cat "$work.log" >&2; die "container did not boot in ${kBootTimeout}s"; }
    if [[ -z $container_pid ]]; then
      for child in $(cat "/proc/$nspawn_pid/task/"*/children 2>/dev/null); do
        [[ $(cat "/proc/$child/comm" 2>/dev/null) == systemd ]] && container_pid=$child
      done
    fi
    [[ -n $container_pid && -S /proc/$container_pid/root/run/systemd/private ]] && break
    sleep 0.05
  done
  local left=$((deadline - SECONDS))
  ((left > 0)) || left=1
  system_state=$(timeout "$left" nsenter -t "$container_pid" -a env -i PATH="$kPath" \
                   systemctl is-system-running --wait 2>/dev/null) || true
  case $system_state in
    running | degraded) ;;
    *) stop_container; die "container's systemd did not finish starting (state: ${system_state:-none})" ;;
  esac
}

# Powers the container off and waits for nspawn; forces it after kStopTimeout. 0 when it ended in
# time by itself.
stop_container() {
  local rc=0 deadline
  [[ -n ${nspawn_pid:-} ]] || return 0
  if alive "$nspawn_pid"; then
    [[ -n ${container_pid:-} ]] &&
      timeout 10 nsenter -t "$container_pid" -a env -i PATH="$kPath" \
        systemctl poweroff >/dev/null 2>&1 || true
    deadline=$((SECONDS + kStopTimeout))
    while alive "$nspawn_pid" && ((SECONDS < deadline)); do sleep 0.1; done
    if alive "$nspawn_pid"; then
      rc=1
      echo "container.sh: container did not power off in ${kStopTimeout}s; killing it" >&2
      kill -TERM "$nspawn_pid" 2>/dev/null || true
      deadline=$((SECONDS + 10))
      while alive "$nspawn_pid" && ((SECONDS < deadline)); do sleep 0.1; done
      kill -KILL "$nspawn_pid" 2>/dev/null || true
      [[ -n ${container_pid:-} ]] && kill -KILL "$container_pid" 2>/dev/null || true
    fi
  fi
  wait "$nspawn_pid" 2>/dev/null || true
  nspawn_pid=
  rmdir "$work" 2>/dev/null || true
  rm -f "$work.log"
  return "$rc"
}

cmd_boot() {
  (($# == 2)) || usage
  local statefile=$2 stop=0
  trap 'stop=1' TERM INT HUP
  trap 'stop_container; exit $?' EXIT
  start_container "$1"
  printf 'pid=%s\nnspawn=%s\nstate=%s\n' "$container_pid" "$nspawn_pid" "$system_state" \
    >"$statefile.tmp"
  mv "$statefile.tmp" "$statefile"
  echo "container.sh: container up, systemd pid $container_pid, state $system_state" >&2
  # A trapped signal interrupts wait; the EXIT trap then powers the container off.
  while ((stop == 0)) && alive "$nspawn_pid"; do
    wait "$nspawn_pid" 2>/dev/null || true
  done
}

cmd_run() {
  (($# >= 3)) && [[ $2 == -- ]] || usage
  local hostdir=$1
  shift 2
  trap 'stop_container; exit $?' EXIT
  trap 'exit 143' TERM INT HUP
  start_container "$hostdir"
  local rc=0
  KELM_CONTAINER_PID=$container_pid "$@" || rc=$?
  stop_container || true
  trap - EXIT
  exit "$rc"
}

cmd_exec() {
  (($# >= 3)) && [[ $2 == -- ]] || usage
  local pid=$1
  shift 2
  exec nsenter -t "$pid" -a env -i PATH="$kPath" LANG=C.UTF-8 "$@"
}

(($# >= 1)) || usage
[[ $(id -u) -eq 0 ]] || die "must run as root"
sub=$1
shift
case $sub in
  rootfs) (($# == 0)) || usage; cmd_rootfs ;;
  boot) cmd_boot "$@" ;;
  run) cmd_run "$@" ;;
  exec) cmd_exec "$@" ;;
  *) usage ;;
esac
