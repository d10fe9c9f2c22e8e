#!/usr/bin/env bash
# A Chinese locale gives the Chinese app: the tool run with LANG=zh_CN.UTF-8
# (no LANGUAGE, LC_ALL or LC_MESSAGES) writes the same PNGs, byte for byte,
# as a run with --language zh-Hans, and they differ from an English run.
#   chinese_locale_test.sh path/to/vantor
set -euo pipefail

vantor=${1:?usage: chinese_locale_test.sh path/to/vantor}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {
  local out=$1
  shift
  if ! env -u LANGUAGE -u LC_ALL -u LC_MESSAGES "$@" --out "$work/$out" >"$work/$out.log" 2>&1; then
    echo "FAIL: the $out run failed"
    tail -n 20 "$work/$out.log"
    exit 1
  fi
}
run locale LANG=zh_CN.UTF-8 "$vantor"
run tag LANG=C.UTF-8 "$vantor" --language zh-Hans
run english LANG=C.UTF-8 "$vantor" --no-tour

count=0
for shot in "$work"/tag/*.png; do
  name=$(basename "$shot")
  cmp -s "$shot" "$work/locale/$name" || { echo "FAIL: $name differs between the runs"; exit 1; }
  count=$((count + 1))
done
(( count == $(find "$work/locale" -name '*.png' | wc -l) )) || { echo "FAIL: not the same PNGs"; exit 1; }
(( count >= 18 )) || { echo "FAIL: only $count PNGs"; exit 1; }
# Page titles name the PNGs of the pages: Chinese ones leave only the number.
[[ -f $work/locale/page-1.png && -f $work/english/page-1-explore.png ]] ||
  { echo "FAIL: the pages are not Chinese"; ls "$work/locale"; exit 1; }
echo "PASS: $count PNGs alike"
