#!/usr/bin/env bash
# The whole test suite: installs the dependencies, builds and runs every test twice (a plain build
# and an AddressSanitizer + UndefinedBehaviorSanitizer build), then runs the fuzz targets for a
# bounded time. Exits non-zero on the first failure. Run as root on Debian 12: the integration
# tests create network namespaces and boot a systemd container.
#
#   scripts/test.sh                 everything
#   scripts/test.sh plain|sanitize|fuzz   one stage only (for development)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stages=("$@")
((${#stages[@]})) || stages=(plain sanitize fuzz)
jobs=$(nproc)

"$root/scripts/install-deps.sh"

build() { # dir, cmake options...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G "Unix Makefiles" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

for stage in "${stages[@]}"; do
  echo "=== test stage: $stage"
  case $stage in
    plain)
      build "$root/build/plain" -DCMAKE_BUILD_TYPE=RelWithDebInfo
      ctest --test-dir "$root/build/plain" --output-on-failure -LE fuzz -j "$jobs"
      ;;
    sanitize)
      build "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DKELM_SANITIZE=ON
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$root/build/sanitize" --output-on-failure -LE 'fuzz|systemd' -j "$jobs"
      ;;
    fuzz)
      build "$root/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_FUZZ=ON \
        -DKELM_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++
      ctest --test-dir "$root/build/fuzz" --output-on-failure -L fuzz
      ;;
    *)
      echo "unknown stage: $stage" >&2
      exit 2
      ;;
  esac
done
echo "=== all test stages passed: ${stages[*]}"
