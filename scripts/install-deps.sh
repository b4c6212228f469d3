#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run its demo.
# Idempotent: when everything is present it changes nothing and touches no network.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config git
  # SOAP run time and stub generator
  gsoap libgsoap-dev
  # collector file
  libxml2-dev
  # configuration dialog
  qt6-base-dev
  # service manager link
  libsystemd-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing and LeakSanitizer runtime
  clang libclang-rt-14-dev
  # network namespaces, process tools
  iproute2 util-linux procps psmisc
  # a real systemd for the service tests
  systemd-container debootstrap
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages (${missing[*]}); run as root" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
