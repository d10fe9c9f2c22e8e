#!/usr/bin/env bash
# The tool's whole walk on the embedded default keeps to this machine: the
# photo service goes by its stable name, the walk's ad click and its tip
# purchase reach the local ad server (the purchase's conversion ping
# included, which the ad server's settings send there), and the URL layer
# counts no request to a host elsewhere.
#   walk_test.sh path/to/vantor
set -euo pipefail

vantor=${1:?usage: walk_test.sh path/to/vantor}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $1"
  tail -n 30 "$work/walk.log"
  exit 1
}

"$vantor" --out "$work/shots" >"$work/walk.log" 2>&1 || fail "the walk failed"
grep -q "^vantor: wrote 22 images$" "$work/walk.log" || fail "the walk did not write its 22 images"
grep -q "^vantor: local photo service at http://photos.vantor.localhost (127.0.0.1, ports " \
  "$work/walk.log" || fail "the photo service does not go by its stable name"
grep -q "ad server for: .*/t/mraid/clk" "$work/walk.log" || fail "the walk's ad click did not arrive"
grep -q "^vantor: the tip purchase's conversion ping reached the local ad server$" \
  "$work/walk.log" || fail "the tip purchase's conversion ping did not reach the local ad server"
! grep -q "^vantor: a request left this machine" "$work/walk.log" ||
  fail "$(grep -m1 '^vantor: a request left this machine' "$work/walk.log")"
grep -q "^vantor: requests off this machine: 0$" "$work/walk.log" ||
  fail "no count of the requests off this machine"
echo "PASS: the walk kept to this machine"
