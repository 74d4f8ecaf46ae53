#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the normal build, then
# the same suite under AddressSanitizer and UndefinedBehaviorSanitizer (built
# by Clang, with the fuzz targets, without the views), then the installed
# package, then a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

# Includes must point down the layer order; a wrong one fails before any build.
echo "== layers"
python3 scripts/check-layers.py
# The mutation script's scanner, journal and replay (a second, it builds nothing).
python3 scripts/test_mutate.py 2>&1 | tail -n 1

jobs=$(nproc)
# Seconds each fuzz target runs; they run two at a time.
fuzz_seconds=${FUZZ_SECONDS:-30}
for preset in default asan; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== ${preset}: tests"
  ctest --preset "$preset" -j "$jobs" -LE 'gui|sshd'
  # `sessiondeck connect` against the real ssh and sftp and throwaway sshd servers of the tests'
  # own (seconds). They skip only where this machine cannot run a server; ctest does not show
  # why, the test binary does.
  echo "== ${preset}: connect tests (sshd)"
  ctest --preset "$preset" -j "$jobs" -L sshd | tee "build/${preset}/sshd-tests.log"
  if grep -q 'Skipped' "build/${preset}/sshd-tests.log"; then
    echo "== ${preset}: the sshd tests were skipped:"
    "build/${preset}/tests/test_connect_sshd" 2>&1 | grep -A1 ': Skipped$' | head -n 2 || true
  fi
  # The views' tests need a display: a virtual one of their own, one test at a time.
  # The sanitizer build has no views (their behaviour is in the models it tests).
  if [ "$preset" = default ]; then
    echo "== ${preset}: gui tests (Xvfb)"
    xvfb-run -a ctest --preset "$preset" -L gui
  fi
done

# The installed package, as a host developer meets it: the normal build is
# installed and the example host is built against it both ways. (An optimised
# build would add minutes of compiling and nothing the install can show.)
echo "== install: build the example host against the installed package"
./scripts/check-install.sh build/default

echo "== fuzz: ${fuzz_seconds} s per target"
FUZZ_SEED=${FUZZ_SEED:-1} ./fuzz/run.sh "$fuzz_seconds"
