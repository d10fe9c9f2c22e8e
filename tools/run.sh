#!/usr/bin/env bash
# Builds the app and runs it headless on its default device: it writes a PNG
# of every page into out/shots/ (or the folder given with --out) and prints
# where. Arguments are passed on to the app; tools/run.sh --help lists them.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vantor
exec build/tools/vantor "$@"
