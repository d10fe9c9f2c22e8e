#!/usr/bin/env bash
# Installs what the project needs, builds everything and runs every test.
#   tools/test.sh               release build in build/, all tests
#   tools/test.sh --sanitize    ASan+UBSan build in build-sanitize/, unit and service tests
set -euo pipefail
cd "$(dirname "$0")/.."

"tools/setup.sh"

mode=release
if [[ "${1:-}" == "--sanitize" ]]; then mode=sanitize; fi

jobs=$(nproc)
if [[ $mode == release ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$jobs"
  ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300
else
  # The shared suppressions when the checkout sits beside them, else our copy.
  supp="../shared/design/sanitizers"
  [[ -f "$supp/lsan.supp" ]] || supp="tools/sanitizers"
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVANTOR_SANITIZE=ON -DVANTOR_BENCH=OFF >/dev/null
  cmake --build build-sanitize -j "$jobs"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # GTK's accessibility bridge leaks; web views need none.
  export NO_AT_BRIDGE=1
  # Our own additions (third-party libraries' leaks) go on top of them.
  combined="build-sanitize/lsan.supp"
  cat "$supp/lsan.supp" tools/sanitizers/lsan-extra.supp > "$combined" 2>/dev/null || true
  export LSAN_OPTIONS="suppressions=$(realpath "$combined")"
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs" --timeout 600 -L 'unit|service'
fi
