#!/usr/bin/env bash
# Builds the release preset, generates the session-tree workloads (once; they are
# kept under build/release/bench-data), runs every operation with its floor and
# peer in the same run, and prints one table: time per operation, its ratio to
# the floor and to GLib's key files, how the 100,000 run compares with the
# 10,000 one, and the peak memory of the process that ran it.
#
#   bench/run.sh [SIZES]     SIZES defaults to 1000,10000,100000
#
# Each operation runs in a process of its own so that its peak memory is its
# own, and first reads the files it works on once, untimed: this machine's
# page cache does not keep a large workload, and the first operation to read
# it would otherwise pay the disk for the ones after it. The machine is shared: figures are noisy, which is why the targets are
# ratios, and why the ratios (floor, peer, growth from 10,000 to 100,000) are
# taken on CPU time: wall time on a busy machine mostly measures the others.
# BENCH_NICE=1 runs the measurements niced.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
sizes="${1:-1000,10000,100000}"

cmake --preset release >/dev/null
cmake --build --preset release -j1 --target session_tree_bench >/dev/null
bench=build/release/bench/session_tree_bench
data=build/release/bench-data
nice_cmd=()
if [ "${BENCH_NICE:-0}" = 1 ]; then nice_cmd=(nice -n 10); fi

echo "== workloads (${sizes}) in ${data}"
time "${nice_cmd[@]}" "$bench" --data="$data" --sizes="$sizes" --generate-only

operations=(ListTree FloorDirectoryWalk LoadAllSessions FloorReadAll PeerKeyFileLoadAll
            LoadOneSession SaveOneValue ApplyDeltaToAll UniqueSessionName LoadGlobalConfig)
results=$(mktemp)
trap 'rm -f "$results"' EXIT
IFS=',' read -r -a size_list <<<"$sizes"
for n in "${size_list[@]}"; do
  for op in "${operations[@]}"; do
    # The long walks at the largest size run a few times, not for a fixed time.
    extra=()
    case "$op/$n" in
      ApplyDeltaToAll/*|*/100000) extra=(--benchmark_min_time=0.01) ;;
    esac
    echo "-- $op/$n" >&2
    "${nice_cmd[@]}" "$bench" --data="$data" --sizes="$n" --benchmark_filter="^$op/$n/" \
      --benchmark_format=csv "${extra[@]}" 2>/dev/null |
      awk -F, -v op="$op" -v n="$n" '
        NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; ++i) col[$i] = i; next }
        { gsub(/"/, ""); print op, n, $col["real_time"], $col["cpu_time"], $col["peak_MB"], $col["error_occurred"] == "" ? "ok" : $col["error_occurred"] }' \
      >>"$results"
  done
done

echo
awk '
  { wall[$1 "/" $2] = $3; time[$1 "/" $2] = $4; peak[$1 "/" $2] = $5; err[$1 "/" $2] = $6; order[++count] = $1 "/" $2 }
  END {
    floor["ListTree"] = "FloorDirectoryWalk"
    floor["LoadAllSessions"] = "FloorReadAll"
    peer["LoadAllSessions"] = "PeerKeyFileLoadAll"
    printf "%-20s %7s %10s %10s %8s %8s %8s %8s\n", "operation", "N", "wall ms", "cpu ms", "/floor", "/peer", "x10k", "peak MB"
    for (i = 1; i <= count; ++i) {
      split(order[i], part, "/"); op = part[1]; n = part[2]; key = order[i]
      f = (op in floor) ? sprintf("%.2f", time[key] / time[floor[op] "/" n]) : "-"
      p = (op in peer) ? sprintf("%.2f", time[key] / time[peer[op] "/" n]) : "-"
      s = (n == 100000 && (op "/10000") in time) ? sprintf("%.1f", time[key] / time[op "/10000"]) : "-"
      if (err[key] != "ok") f = "ERROR"
      printf "%-20s %7d %10.3f %10.3f %8s %8s %8s %8.1f\n", op, n, wall[key], time[key], f, p, s, peak[key]
    }
  }' "$results"
