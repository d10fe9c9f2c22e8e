#!/usr/bin/env bash
# Installs what the project needs, builds and runs the tests.
usage() {
  cat <<'EOF'
usage: tools/test.sh [--sanitize | --tsan] [--release] [--labels REGEX] [BUILD_DIR]

  (no option)       RelWithDebInfo build, every test; a failed test runs once
                    more, and the last line names those that passed only then
  --sanitize        ASan + UBSan Debug build, the unit and service tests; a
                    failed test runs once more, but a sanitizer's report
                    fails the run whether or not the rerun passes
  --tsan            ThreadSanitizer build, the unit tests of queues, run loops,
                    user defaults and the SDK's stores
  --release         a Release build instead of RelWithDebInfo
  --labels REGEX    only the tests whose label matches (unit, service, scenario)
  BUILD_DIR         where to build, anywhere (default: $VANTOR_BUILD_DIR, else
                    build/, build-sanitize/ or build-tsan/ in the checkout)

The compiler is CMake's choice unless CC and CXX name one (CC=clang
CXX=clang++). VANTOR_WERROR=ON makes warnings errors (CI sets it).
EOF
}
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

mode=default
build_type=RelWithDebInfo
labels=""
build_dir="${VANTOR_BUILD_DIR:-}"
while (($#)); do
  case "$1" in
    -h | --help) usage; exit 0 ;;
    --sanitize) mode=sanitize ;;
    --tsan) mode=tsan ;;
    --release) build_type=Release ;;
    --labels) labels="$2"; shift ;;
    -*) echo "test.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) build_dir="$1" ;;
  esac
  shift
done

"$source_dir/tools/setup.sh"

jobs=$(nproc)

# Runs a ctest command that reruns failed tests, printing its output as it
# comes, and ends with one line naming the tests that failed and then passed
# on their rerun: a flake is a fault to find, not noise to forget.
run_with_rerun() {
  local log status=0
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || status=${PIPESTATUS[0]}
  failed_output_tails "$build_dir/Testing/Temporary/LastTest.log"
  rerun_passes "$log"
  rm -f "$log"
  return "$status"
}

# The last lines each failed run of a test printed, from ctest's own log,
# again at the end: a long run's log may be read from its end only, and a
# test that died says there how (the test binaries print the signal and
# its stack).
failed_output_tails() {
  [[ -f $1 ]] || return 0
  awk '
    /^[0-9]+\/[0-9]+ Testing: / { name = $0; sub(/^[0-9]+\/[0-9]+ Testing: /, "", name); next }
    /^Output:$/ { collecting = 1; skip = 1; count = 0; next }
    collecting && skip { skip = 0; next }
    /^<end of output>$/ { collecting = 0; next }
    collecting { lines[count % 30] = $0; count++; next }
    /^Test Failed/ || /^Test (Timeout|Exception|Not Run)/ {
      # The last failed run of each test only.
      if (!(name in tail)) order[n++] = name
      tail[name] = "test.sh: the end of what " name " printed (" $0 "):"
      for (i = (count > 30 ? count - 30 : 0); i < count; i++) tail[name] = tail[name] "\n  " lines[i % 30]
    }
    END { for (i = 0; i < n; i++) print tail[order[i]] }' "$1"
}

# The names of the tests a ctest log shows failing at least once and then
# passing: "Test #N: name ....***Failed" (or Timeout, Exception, ...) and
# later "Test #N: name ....   Passed".
rerun_passes() {
  local flaky
  flaky=$(awk '
    /Test +#[0-9]+: / {
      line = $0
      sub(/.*Test +#[0-9]+: /, "", line)
      name = line
      sub(/ .*/, "", name)
      if (line ~ /\*\*\*/ || line ~ /Not Run/) failed[name] = 1
      else if (line ~ / Passed /) passed[name] = 1
    }
    END { for (n in failed) if (n in passed) print n }' "$1" | sort | tr '\n' ' ')
  if [[ -n $flaky ]]; then
    echo "test.sh: passed only on their rerun: ${flaky% }"
  else
    echo "test.sh: no test passed only on its rerun"
  fi
}
# True when a run of a test in a ctest log failed with a report of
# AddressSanitizer, LeakSanitizer or UBSan in its output; each such test is
# named. (A report of a process a passing test started and let go, such as
# a forked child's at its exit, is not the test's failure.)
sanitizer_reports() {
  [[ -f $1 ]] || return 1
  local named
  named=$(awk '
    /^[0-9]+\/[0-9]+ Testing: / {
      name = $0; sub(/^[0-9]+\/[0-9]+ Testing: /, "", name); reported = 0; next
    }
    /ERROR: (Address|Leak)Sanitizer|: runtime error: / { reported = 1 }
    /^Test (Failed|Timeout|Exception)/ {
      if (reported && !(name in seen)) { seen[name] = 1; print name }
    }
  ' "$1")
  [[ -n $named ]] || return 1
  echo "test.sh: the sanitizers reported in: $(echo "$named" | tr '\n' ' ')"
}
common=(-G Ninja -DVANTOR_WERROR="${VANTOR_WERROR:-OFF}")
# Sanitizer suppressions: leaks and races inside third-party libraries.
supp="$source_dir/tools/sanitizers"

case $mode in
  default)
    build_dir="${build_dir:-$source_dir/build}"
    cmake -S "$source_dir" -B "$build_dir" "${common[@]}" -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
    cmake --build "$build_dir" -j "$jobs"
    # A test that fails runs once more: one that then passes is a flake
    # (its failed output is still printed), one that fails twice fails.
    # The last line names every test that passed only on its rerun.
    run_with_rerun ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 300 \
      --repeat until-pass:2 ${labels:+-L "$labels"}
    ;;
  sanitize)
    build_dir="${build_dir:-$source_dir/build-sanitize}"
    cmake -S "$source_dir" -B "$build_dir" "${common[@]}" -DCMAKE_BUILD_TYPE=Debug \
      -DVANTOR_SANITIZE=ON -DVANTOR_BENCH=OFF >/dev/null
    cmake --build "$build_dir" -j "$jobs"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    # GTK's accessibility bridge leaks; web views need none.
    export NO_AT_BRIDGE=1
    export LSAN_OPTIONS="suppressions=$supp/lsan.supp"
    # A test that fails on its timing runs once more, as in the default
    # mode; a report of the sanitizers fails the run even when the rerun
    # passes (a race may not show twice).
    status=0
    run_with_rerun ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 600 \
      --repeat until-pass:2 -L "${labels:-unit|service}" || status=$?
    if sanitizer_reports "$build_dir/Testing/Temporary/LastTest.log"; then
      status=1
    fi
    exit "$status"
    ;;
  tsan)
    build_dir="${build_dir:-$source_dir/build-tsan}"
    cmake -S "$source_dir" -B "$build_dir" "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVANTOR_TSAN=ON -DVANTOR_BENCH=OFF >/dev/null
    cmake --build "$build_dir" -j "$jobs" --target core_tests ads_tests
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp"
    ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 600 -L tsan
    ;;
esac
