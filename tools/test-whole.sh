#!/usr/bin/env bash
# Runs every gtest binary of a build whole, in one process, in a shuffled
# order: state one test leaves behind (singletons, user defaults, caches,
# settings) then shows as a failure of a later one, which the per-test
# processes of ctest hide. Builds nothing.
usage() {
  cat <<'EOF'
usage: tools/test-whole.sh [--seeds "N ..."] [--more K] [--jobs J]
                           [--only REGEX] [--timeout SECONDS] [--rerun]
                           [BUILD_DIR]

  BUILD_DIR         a configured and built tree (default: build/ in the
                    checkout); its tests/ folder is searched for *_tests
  --seeds "N ..."   the shuffle seeds (default: 1 2 3)
  --more K          K more seeds after those, drawn at random (printed)
  --jobs J          runs at the same time (default: nproc / 2)
  --only REGEX      only the binaries whose name matches (e.g. 'ads|app')
  --timeout S       a run taking longer fails (default 1800)
  --rerun           a run whose failed tests all pass when run once more
                    (together, in one process, same seed) counts as passed;
                    the last line names every such test. A crash or a
                    timeout is never rerun.

Each run is `<binary> --gtest_shuffle --gtest_random_seed=N` with the
environment ctest gives the tests; its output goes to
BUILD_DIR/test-whole/<binary>-<seed>.log. One line per run says the binary,
the seed, the outcome and the time; a failed run lists its failed tests and
how to repeat it. The exit status is non-zero when any run failed.
EOF
}
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

seeds=(1 2 3)
more=0
jobs=$(( $(nproc) / 2 ))
((jobs >= 1)) || jobs=1
only=""
timeout_s=1800
rerun=0
build_dir=""
while (($#)); do
  case "$1" in
    -h | --help) usage; exit 0 ;;
    --seeds) read -r -a seeds <<<"$2"; shift ;;
    --more) more="$2"; shift ;;
    --jobs) jobs="$2"; shift ;;
    --only) only="$2"; shift ;;
    --timeout) timeout_s="$2"; shift ;;
    --rerun) rerun=1 ;;
    -*) echo "test-whole.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) build_dir="$1" ;;
  esac
  shift
done
build_dir=$(cd "${build_dir:-$source_dir/build}" 2>/dev/null && pwd) || {
  echo "test-whole.sh: no build folder ${build_dir:-$source_dir/build}" >&2
  exit 2
}
for seed in "${seeds[@]}" "$more"; do
  [[ $seed =~ ^[0-9]+$ ]] || { echo "test-whole.sh: not a number: $seed" >&2; exit 2; }
done
for ((i = 0; i < more; i++)); do
  seeds+=($((RANDOM % 99999 + 1)))
done

# The environment of the tests' ctest registration (vantor_test in
# cmake/Vantor.cmake): the checkout the build was configured from.
configured=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build_dir/CMakeCache.txt" 2>/dev/null)
export VANTOR_SOURCE_DIR="${configured:-$source_dir}"

# Tests that cannot share a process with others, each with its reason, as
# gtest negative patterns. Keep this empty unless a test truly needs a
# fresh process; mend shared state instead.
declare -A alone=()

# The largest binaries (the most tests) first, so that the runs end close
# together.
mapfile -t binaries < <(find "$build_dir/tests" -type f -perm -u+x -name '*_tests' \
  -printf '%s %p\n' | sort -rn | cut -d' ' -f2-)
if [[ -n $only ]]; then
  mapfile -t binaries < <(printf '%s\n' "${binaries[@]}" | grep -E "/($only)[^/]*$" || true)
fi
if ((${#binaries[@]} == 0)); then
  echo "test-whole.sh: no *_tests binaries under $build_dir/tests (build them first)" >&2
  exit 2
fi

logs="$build_dir/test-whole"
mkdir -p "$logs"
echo "test-whole: ${#binaries[@]} binaries, seeds ${seeds[*]}, $jobs at a time, logs in $logs"

# One run: the binary whole with one seed; prints its line (and on failure
# the failed tests and the command that repeats it).
run_one() {
  local binary=$1 seed=$2
  local name log started status filter=""
  name=$(basename "$binary")
  log="$logs/$name-$seed.log"
  [[ -n ${alone[$name]:-} ]] && filter="--gtest_filter=-${alone[$name]}"
  started=$SECONDS
  set +e
  (cd "$(dirname "$binary")" &&
    timeout -k 30 "$timeout_s" "$binary" --gtest_shuffle --gtest_random_seed="$seed" \
      --gtest_color=no ${filter:+"$filter"}) >"$log" 2>&1
  status=$?
  set -e
  local took=$((SECONDS - started)) count
  count=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$log" | tail -1)
  if ((status == 0)); then
    printf '%-16s seed %-6s PASS  %5s tests  %4ss\n' "$name" "$seed" "${count:-?}" "$took"
    return 0
  fi
  local why="exit $status"
  ((status == 124)) && why="timed out after ${timeout_s}s"
  ((status > 128 && status != 124)) && why="killed by signal $((status - 128))"
  local failed
  failed=$(sed -n 's/^\[  FAILED  \] \([^ ]*\.[^ ,]*\).*/\1/p' "$log" | sort -u)
  printf '%-16s seed %-6s FAIL  %5s tests  %4ss  (%s, %s failed)\n' "$name" "$seed" \
    "${count:-?}" "$took" "$why" "$(printf '%s' "$failed" | grep -c . || true)"
  local test
  for test in $failed; do
    printf '    %s\n' "$test"
    # Its failed checks, each with the lines that explain it; without any
    # (a crash, a timeout), the last lines it printed.
    awk -v name="$test" '
      $0 == "[ RUN      ] " name { on = 1; n = 0; next }
      on && index($0, "[  FAILED  ] " name) == 1 { on = 0 }
      on { lines[++n] = $0 }
      END {
        for (i = 1; i <= n; i++) {
          if (lines[i] ~ /: Failure$/) { left = 8; found++ }
          if (left > 0 && shown < 40) { print "    | " lines[i]; left--; shown++ }
        }
        if (!found) for (i = (n > 15 ? n - 14 : 1); i <= n; i++) print "    | " lines[i]
      }' "$log"
  done
  if [[ -z $failed ]]; then
    echo "    last lines of $log:"
    tail -n 15 "$log" | sed 's/^/    | /'
  fi
  echo "    repeat: (cd $(dirname "$binary") && VANTOR_SOURCE_DIR=$VANTOR_SOURCE_DIR $binary --gtest_shuffle --gtest_random_seed=$seed${filter:+ $filter})"
  ((rerun)) && [[ -n $failed ]] && ((status == 1)) || return 1
  # Once more, the failed tests alone: passing, they are named as flaky.
  local again
  again=$(printf '%s' "$failed" | tr '\n' ':')
  if (cd "$(dirname "$binary")" &&
    timeout -k 30 "$timeout_s" "$binary" --gtest_shuffle --gtest_random_seed="$seed" \
      --gtest_color=no --gtest_filter="$again") >"$log.rerun" 2>&1; then
    echo "    passed on their rerun"
    printf '%s\n' $failed >>"$logs/.flaky"
    return 0
  fi
  echo "    failed again on their rerun (log: $log.rerun)"
  return 1
}

started=$SECONDS
results="$logs/.results"
: >"$results"
: >"$logs/.flaky"
for binary in "${binaries[@]}"; do
  for seed in "${seeds[@]}"; do
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
    (
      if out=$(run_one "$binary" "$seed"); then echo "ok" >>"$results"; else echo "fail" >>"$results"; fi
      printf '%s\n' "$out"
    ) &
  done
done
wait
runs=$(wc -l <"$results")
failures=$(grep -c fail "$results" || true)
echo "test-whole: $runs runs, $failures failed, $((SECONDS - started))s"
if ((rerun)); then
  flaky=$(sort -u "$logs/.flaky" | tr '\n' ' ')
  if [[ -n $flaky ]]; then
    echo "test-whole: passed only on their rerun: ${flaky% }"
  else
    echo "test-whole: no test passed only on its rerun"
  fi
fi
((failures == 0))
