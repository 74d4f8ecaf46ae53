#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 30) over a copy of its seed
# corpus, two at a time, and fails when any of them finds a crash, a leak, a
# hang or a broken invariant. The targets come from the asan preset's build.
#
#   fuzz/run.sh [SECONDS]
#   FUZZ_BUILD_DIR  where the target executables are (default build/asan/fuzz)
#   FUZZ_JOBS       targets run at once (default 2)
#   FUZZ_NICE       niceness of the runs (default 0; 19 for long runs on a shared machine)
#   FUZZ_TARGETS    space-separated subset of targets to run (default all)
#   FUZZ_SEED       libFuzzer's random seed (default: a new one each run)
#
# test.sh fixes the seed, so that CI explores the same inputs on every run of
# the same code and a failure there can be reproduced; the long exploratory
# runs that look for new findings leave it unset.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build=${FUZZ_BUILD_DIR:-build/asan/fuzz}
jobs=${FUZZ_JOBS:-2}
niceness=${FUZZ_NICE:-0}

targets=()
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $name "* ]]; then continue; fi
  if [ ! -x "$build/$name" ]; then
    echo "fuzz: $build/$name is missing (configure and build the asan preset first)" >&2
    exit 2
  fi
  targets+=("$name")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets selected" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/sd-fuzz-run.XXXXXX")

run_one() {
  local name=$1
  local dir="$work/$name"
  mkdir -p "$dir/corpus" "$dir/tmp"
  cp fuzz/corpus/"$name"/* "$dir/corpus/"
  # Leaks count as failures, as they do in the unit tests; a single input
  # that runs longer than 25 s is a hang. Targets that need files make them
  # under TMPDIR, which goes with the work folder (libFuzzer does not always
  # end a target in a way that lets it clean up).
  TMPDIR="$dir/tmp" ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} nice -n "$niceness" \
    "$build/$name" "$dir/corpus" -max_total_time="$seconds" -timeout=25 ${FUZZ_SEED:+-seed="$FUZZ_SEED"} \
    -print_final_stats=1 -artifact_prefix="$dir/" >"$dir/log" 2>&1
  echo $? >"$dir/status"
}

running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_one "$name" &
  running=$((running + 1))
done
wait

failed=0
for name in "${targets[@]}"; do
  dir="$work/$name"
  status=$(cat "$dir/status" 2>/dev/null || echo 1)
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$dir/log" | tail -n 1)
  units=$(grep -E '^stat::number_of_executed_units' "$dir/log" | awk '{print $2}')
  if [ "$status" -eq 0 ]; then
    echo "fuzz: $name passed: ${units:-?} executions; ${done_line:-no final line}"
  else
    failed=1
    echo "fuzz: $name FAILED (exit $status); log and reproducer in $dir"
    grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$dir/log" | head -n 10 | sed 's/^/  /'
    # The work folder does not outlive a CI machine; the input goes into the
    # log so that it can be rebuilt with `base64 -d` and kept as a seed.
    for unit in "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-*; do
      [ -f "$unit" ] || continue
      if [ "$(stat -c %s "$unit")" -le 65536 ]; then
        echo "  $(basename "$unit") as base64:"
        base64 -w 100 "$unit" | sed 's/^/    /'
      else
        echo "  $(basename "$unit") is over 64 KiB; not printed"
      fi
    done
  fi
done
if [ "$failed" -eq 0 ]; then
  rm -rf "$work"
else
  exit 1
fi
