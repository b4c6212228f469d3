#!/bin/sh
# netns_exec.sh PROGRAM [ARGUMENT...]
# Runs PROGRAM in a fresh network namespace with only the loopback interface, up, with multicast on
# and 224.0.0.0/4 routed over it from 127.0.0.1 (so a receiver sees the real sender address).
# The fixed ports and multicast of the tests are safe in there. Needs root.
set -eu
[ $# -ge 1 ] || { echo "usage: netns_exec.sh PROGRAM [ARGUMENT...]" >&2; exit 2; }
exec unshare --net -- /bin/sh -euc '
  ip link set lo up
  ip link set lo multicast on
  ip route add 224.0.0.0/4 dev lo src 127.0.0.1
  exec "$@"' netns_exec "$@"
