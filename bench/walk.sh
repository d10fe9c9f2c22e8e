#!/usr/bin/env bash
# Times the walk (the tool's headless run that writes a PNG of every page,
# as tools/run.sh starts it) and checks its PNGs against a reference run.
#
#   bench/walk.sh [--build-dir DIR] [--runs N] [--reference DIR]
#
# It builds the tool and same_pixels in DIR (default build/), runs the walk
# N times (default 5) into fresh folders, prints each wall time and the
# median, and with --reference compares the last run's PNGs with those of
# DIR pixel by pixel (same_pixels). Goal: at most 2.5 s on an idle 8-core
# machine, every PNG the same in pixels as the reference.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$source_dir/build"
runs=5
reference=""
while (($#)); do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --reference) reference=$2; shift 2 ;;
    *) echo "usage: bench/walk.sh [--build-dir DIR] [--runs N] [--reference DIR]" >&2; exit 2 ;;
  esac
done
cmake --build "$build_dir" --target vantor same_pixels >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
times=()
for ((i = 1; i <= runs; i++)); do
  start=$(date +%s.%N)
  "$build_dir/tools/vantor" --out "$work/shots-$i" >"$work/run-$i.log" 2>&1 || {
    echo "walk $i failed:" >&2
    tail -5 "$work/run-$i.log" >&2
    exit 1
  }
  end=$(date +%s.%N)
  times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  printf 'walk %d: %.2f s\n' "$i" "${times[-1]}"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
printf 'median of %d walks: %.2f s wall (goal: at most 2.5 s on an idle 8-core machine; load now: %s)\n' \
  "$runs" "$median" "$(cut -d' ' -f1-3 /proc/loadavg)"
if [[ -n $reference ]]; then
  "$build_dir/tools/same_pixels" "$reference" "$work/shots-$runs"
fi
