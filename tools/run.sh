#!/usr/bin/env bash
# Builds the app and runs it headless on its default device: it writes a PNG
# of every page into the checkout's out/shots/ (or the folder given with
# --out), wherever it is started from, and prints where. Arguments other
# than --build-dir are passed on to the app.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  cat <<'EOF'
usage: tools/run.sh [--build-dir DIR] [APP OPTIONS]

  --build-dir DIR   build and run the app in DIR (default: $VANTOR_BUILD_DIR,
                    else build/ in the checkout); CC/CXX pick the compiler.
                    It may stand anywhere on the line.

Without --out the PNGs go to out/shots/ in the checkout. The app's own
options follow:

EOF
  # The app's usage text, kept where the app's source includes it.
  sed -e '1s/^R"(//' -e '$d' "$source_dir/tools/VantorUsage.inc"
}

build_dir="${VANTOR_BUILD_DIR:-$source_dir/build}"
app_args=()
window=false
out_given=false
while (($#)); do
  case "$1" in
    --build-dir)
      if (($# < 2)) || [[ -z $2 ]]; then
        echo "run.sh: --build-dir needs a folder" >&2
        exit 2
      fi
      build_dir=$2
      shift 2
      continue
      ;;
    --build-dir=*) build_dir=${1#*=} ;;
    -h | --help)
      usage
      exit 0
      ;;
    --window) window=true; app_args+=("$1") ;;
    --out) out_given=true; app_args+=("$1") ;;
    *) app_args+=("$1") ;;
  esac
  shift
done
if ! $window && ! $out_given; then
  app_args+=(--out "$source_dir/out/shots")
fi

"$source_dir/tools/setup.sh"
# A build folder that exists keeps its own configuration (Release, Clang...).
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
  cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j "$(nproc)" --target vantor
exec "$build_dir/tools/vantor" ${app_args[@]+"${app_args[@]}"}
