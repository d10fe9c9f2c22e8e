#!/usr/bin/env bash
# Runs the tool with each bad option and checks that it ends at once with a
# non-zero status and one line on stderr that names the problem, and
# nothing on stdout.
#   bad_options_test.sh path/to/vantor
set -uo pipefail

vantor=${1:?usage: bad_options_test.sh path/to/vantor}
# Under the leak checker, its summary of suppressions is no line of ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}print_suppressions=0"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/empty"
touch "$work/file"

failures=0
# expect TEXT [VAR=VALUE...] -- ARGS...: the one line must contain TEXT.
expect() {
  local text=$1
  shift
  local environment=()
  while [[ $1 != -- ]]; do
    environment+=("$1")
    shift
  done
  shift
  local status=0
  env ${environment[@]+"${environment[@]}"} timeout 60 "$vantor" "$@" \
    >"$work/out" 2>"$work/err" </dev/null || status=$?
  local lines
  lines=$(wc -l <"$work/err")
  if ((status == 0)) || ((lines != 1)) || [[ -s $work/out ]] ||
    ! grep -qF -- "$text" "$work/err" || ! grep -q '^vantor: ' "$work/err"; then
    echo "FAIL: vantor $* (${environment[*]:-}) exited $status with:"
    sed 's/^/  stderr: /' "$work/err"
    sed 's/^/  stdout: /' "$work/out"
    failures=$((failures + 1))
  else
    echo "ok: vantor $* -> $(cat "$work/err")"
  fi
}

expect "no strings in 'fr'" -- --language fr --no-tour --out "$work/shots"
expect "en, zh-Hans" -- --language zh_TW --no-tour --out "$work/shots"
expect "VANTOR_RESOURCES: no resources folder" VANTOR_RESOURCES="$work/absent" -- --no-tour
expect "VANTOR_RESOURCES: '$work/empty' holds no app resources" \
  VANTOR_RESOURCES="$work/empty" -- --no-tour
expect "--home '$work/file' is not a folder" -- --home "$work/file" --no-tour
expect "--home '/proc' is not writable" -- --home /proc --no-tour
expect "--tap 400,10 is off the phone's screen" -- --tap 400,10
expect "--drag 1,1:1,1100 is off the pad's screen" -- --device pad --drag 1,1:1,1100
expect "--tap wants X,Y" -- --tap nan,1
expect "--drag wants X1,Y1:X2,Y2" -- --drag 1,2:inf,3
expect "--device needs a value" -- --device --out "$work/shots"
expect "no device profile named 'tablet'; there are: pad, phone, phone-x" -- --device tablet
expect "unknown option --bogus" -- --bogus

# Help answers on stdout and succeeds.
if ! "$vantor" --help >"$work/out" 2>&1 || ! grep -q -- '--verbose' "$work/out"; then
  echo "FAIL: vantor --help"
  failures=$((failures + 1))
fi

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "PASS"
