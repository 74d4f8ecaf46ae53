#!/usr/bin/env bash
# Builds the release preset's session_deck_bench, generates the session manager's workload
# (once; kept under build/release/bench-data), runs each operation in a process of its own and
# prints one table: time per operation, its ratio to its floor and the target it is held to.
#
#   bench/run-ui.sh [SIZE [BIG]]   SIZE sessions in folders of 100 (default 100000) and one
#                                  folder of BIG sessions (default 10000)
#
# Ratios are taken on CPU time: wall time on a busy machine mostly measures the others.
# The filter keystroke's target is absolute (the user interface never waits 50 ms), so it is
# checked on wall time. BENCH_NICE=1 runs the measurements niced.
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-100000}"
big="${2:-10000}"

cmake --preset release >/dev/null
cmake --build --preset release -j1 --target session_deck_bench >/dev/null
bench=build/release/bench/session_deck_bench
data=build/release/bench-data
nice_cmd=()
if [ "${BENCH_NICE:-0}" = 1 ]; then nice_cmd=(nice -n 10); fi

echo "== workload (${size} + ${big}) in ${data}"
time "${nice_cmd[@]}" "$bench" --data="$data" --size="$size" --big="$big" --generate-only

operations=(OpenDialog FloorFolderListing ExpandBigFolder FloorReadBigFolder
            FilterKeystroke FilterKeystrokeAll IndexBuild)
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for op in "${operations[@]}"; do
  # The ratios compare operations of a tenth of a second: one run of each moves by tens of per
  # cent on a busy machine, so they take the median of three runs of at least half a second.
  case "$op" in
    OpenDialog|FloorFolderListing|ExpandBigFolder|FloorReadBigFolder)
      extra=(--benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true) ;;
    *) extra=(--benchmark_min_time=0.01) ;;
  esac
  echo "-- $op" >&2
  "${nice_cmd[@]}" "$bench" --data="$data" --size="$size" --big="$big" \
    --benchmark_filter="^$op/" --benchmark_format=csv "${extra[@]}" 2>/dev/null |
    awk -F, -v op="$op" '
      NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; ++i) col[$i] = i; next }
      { gsub(/"/, "") }
      $1 ~ /_(mean|stddev|cv)$/ { next }
      { print op, $col["real_time"], $col["cpu_time"], $col["peak_MB"], $col["error_occurred"] == "" ? "ok" : $col["error_occurred"] }' \
    >>"$results"
done

echo
awk -v n="$size+$big" '
  { wall[$1] = $2; time[$1] = $3; peak[$1] = $4; err[$1] = $5; order[++count] = $1 }
  END {
    floor["OpenDialog"] = "FloorFolderListing"; limit["OpenDialog"] = "<= 2x"
    floor["ExpandBigFolder"] = "FloorReadBigFolder"; limit["ExpandBigFolder"] = "<= 2x"
    limit["FilterKeystroke"] = "< 50 ms"; limit["FilterKeystrokeAll"] = "< 50 ms"
    printf "%-20s %13s %10s %10s %8s %9s %8s %s\n", "operation", "N", "wall ms", "cpu ms", "/floor", "target", "peak MB", "met"
    for (i = 1; i <= count; ++i) {
      op = order[i]
      f = (op in floor) ? sprintf("%.2f", time[op] / time[floor[op]]) : "-"
      t = (op in limit) ? limit[op] : "-"
      met = "-"
      if (op in floor) met = (time[op] <= 2 * time[floor[op]]) ? "yes" : "NO"
      else if (op in limit) met = (wall[op] < 50) ? "yes" : "NO"
      if (err[op] != "ok") met = "ERROR"
      printf "%-20s %13s %10.3f %10.3f %8s %9s %8.1f %s\n", op, n, wall[op], time[op], f, t, peak[op], met
    }
  }' "$results"
