#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with Clang and runs each for a while.
usage() {
  cat <<'EOF'
usage: tools/fuzz.sh [--time SECONDS] [--jobs N] [--rss-limit MB] [--build-dir DIR] [TARGET...]

  --time SECONDS    how long each target runs (default 60)
  --jobs N          targets run at once (default: half the cores)
  --rss-limit MB    memory limit of one run, and of one allocation (default 1024):
                    an input that needs more is a finding
  --build-dir DIR   the Clang fuzzing build (default: $VANTOR_FUZZ_BUILD_DIR,
                    else build-fuzz/ in the checkout)
  TARGET...         only these (json, url, png...; default: all of fuzz/)

Each target starts from its seeds in fuzz/corpus/<target>/ and keeps what it
learns in <build>/corpus/<target>/. A finding is saved as
<build>/findings/<target>/crash-* (or leak-, oom-, timeout-) and the script
exits non-zero; replay one with <build>/fuzz/fuzz_<target> FILE. At the end
it prints each target's executions and executions per second.
EOF
}
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

seconds=60
jobs=$(( $(nproc) / 2 > 0 ? $(nproc) / 2 : 1 ))
rss_limit=1024
build_dir="${VANTOR_FUZZ_BUILD_DIR:-$source_dir/build-fuzz}"
targets=()
while (($#)); do
  case "$1" in
    -h | --help) usage; exit 0 ;;
    --time) seconds="$2"; shift ;;
    --jobs) jobs="$2"; shift ;;
    --rss-limit) rss_limit="$2"; shift ;;
    --build-dir) build_dir="$2"; shift ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done

"$source_dir/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON -DVANTOR_BENCH=OFF \
  -DVANTOR_WERROR="${VANTOR_WERROR:-OFF}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target fuzz_targets

if ((${#targets[@]} == 0)); then
  for seeds in "$source_dir"/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

# Leaks inside the system's libraries are not findings; ours are.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$source_dir/tools/sanitizers/lsan.supp"

logs="$build_dir/logs"
mkdir -p "$logs"
run_one() {
  local target=$1
  mkdir -p "$build_dir/corpus/$target" "$build_dir/findings/$target"
  rm -f "$logs/$target.status"
  "$build_dir/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb="$rss_limit" \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$build_dir/findings/$target/" \
    "$build_dir/corpus/$target" "$source_dir/fuzz/corpus/$target" >"$logs/$target.log" 2>&1
  echo $? >"$logs/$target.status"
}

echo "fuzz: ${#targets[@]} targets, ${seconds} s each, $jobs at a time"
for target in "${targets[@]}"; do
  [[ -x "$build_dir/fuzz/fuzz_$target" ]] || { echo "fuzz.sh: no target $target" >&2; exit 2; }
  while (( $(jobs -rp | wc -l) >= jobs )); do wait -n || true; done
  set +e
  run_one "$target" &
  set -e
done
wait

failed=0
printf '%-14s %12s %10s  %s\n' target executions exec/s result
for target in "${targets[@]}"; do
  log="$logs/$target.log"
  status=$(cat "$logs/$target.status" 2>/dev/null || echo 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if ((status == 0)); then
    result=ok
  else
    result="FINDING (see $log)"
    failed=1
  fi
  printf '%-14s %12s %10s  %s\n' "$target" "${runs:-?}" "${speed:-?}" "$result"
done
if ((failed)); then
  for target in "${targets[@]}"; do
    ls "$build_dir/findings/$target"/* 2>/dev/null || true
  done
  exit 1
fi
