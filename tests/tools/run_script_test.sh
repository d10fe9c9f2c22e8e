#!/usr/bin/env bash
# tools/run.sh as a user meets it: --help answers at once, without setup,
# configuring or building; --build-dir may stand anywhere on the line; the
# PNGs go to the checkout's out/shots wherever it is started from. The
# build is stood in for by a folder whose "vantor" prints its arguments,
# and cmake, apt-get and sudo by commands that only note they were called.
#   run_script_test.sh path/to/source
set -euo pipefail

source_dir=$(cd "${1:?usage: run_script_test.sh path/to/source}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/build/tools"
for command in cmake apt-get sudo; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/called"\n' "$command" "$work" >"$work/bin/$command"
  chmod +x "$work/bin/$command"
done
touch "$work/build/CMakeCache.txt"
printf '#!/bin/sh\necho "vantor $*"\n' >"$work/build/tools/vantor"
chmod +x "$work/build/tools/vantor"
export PATH="$work/bin:$PATH"

fail() {
  echo "FAIL: $*"
  exit 1
}

# Help: the script's own options and the app's, and nothing run or made.
cd /
VANTOR_BUILD_DIR="$work/never" "$source_dir/tools/run.sh" --language en --help >"$work/help" ||
  fail "--help failed"
grep -q -- '--build-dir DIR' "$work/help" || fail "--help lacks --build-dir"
grep -q -- '--verbose' "$work/help" || fail "--help lacks the app's options"
! grep -q 'R"(' "$work/help" || fail "--help shows the source's quoting"
[[ ! -e $work/never ]] || fail "--help made a build folder"
[[ ! -e $work/called ]] || fail "--help ran $(cat "$work/called")"

# --build-dir after the app's options; the PNGs go to the checkout.
out=$("$source_dir/tools/run.sh" --no-tour --build-dir "$work/build" --language en)
[[ $out == *"vantor --no-tour --language en --out $source_dir/out/shots"* ]] ||
  fail "unexpected: $out"
out=$(cd "$work" && "$source_dir/tools/run.sh" --out "$work/shots" --build-dir="$work/build")
[[ $out == *"vantor --out $work/shots" ]] || fail "a given --out is kept: $out"
out=$("$source_dir/tools/run.sh" --window --build-dir "$work/build")
[[ $out == *"vantor --window" ]] || fail "--window takes no --out: $out"
if "$source_dir/tools/run.sh" --no-tour --build-dir 2>"$work/err"; then
  fail "a --build-dir without a folder ran"
fi
grep -q 'needs a folder' "$work/err" || fail "no reason for the missing folder"
echo "PASS"
