#!/usr/bin/env bash
# Builds the app and runs it headless on its default device: it writes a PNG
# of every page into out/shots/ (or the folder given with --out) and prints
# where. Arguments are passed on to the app.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

build_dir="${VANTOR_BUILD_DIR:-$source_dir/build}"
if [[ "${1:-}" == "--build-dir" ]]; then
  build_dir="$2"
  shift 2
fi
if [[ "${1:-}" == "--help" || "${1:-}" == "-h" ]]; then
  cat <<'EOF'
usage: tools/run.sh [--build-dir DIR] [APP OPTIONS]

  --build-dir DIR   build and run the app in DIR (default: $VANTOR_BUILD_DIR,
                    else build/ in the checkout); CC/CXX pick the compiler

The app's own options follow:
EOF
fi

"$source_dir/tools/setup.sh"
# A build folder that exists keeps its own configuration (Release, Clang...).
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
  cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j "$(nproc)" --target vantor
exec "$build_dir/tools/vantor" "$@"
