#!/usr/bin/env bash
# The desktop window keeps what a person saves: run without --home, with the
# desktop's data, config and pictures folders pointed at the test's own, it
# keeps its home in $XDG_DATA_HOME/vantor (the owner's alone) and makes no
# temporary one; a photo saved from the viewer lands in the pictures folder
# under Vantor/, whole, and a second save gets a new name; a favourite added
# in one run is on the favourites page of the next, although the local photo
# service listens elsewhere and another program holds its old port: it
# opens at full size with its heart filled, the same photo in a fresh feed
# is the favourite too, and a tap takes it out without a duplicate left
# behind. Driven through the X server (xdotool) on an Xvfb of its own, on
# the phone profile.
#   desktop_home_test.sh path/to/vantor
# Exits 77 (skipped) when the X tools are not installed.
set -Eeuo pipefail
trap 'echo "FAIL: stopped at line $LINENO: $BASH_COMMAND"' ERR

vantor=${1:?usage: desktop_home_test.sh path/to/vantor}
source "$(dirname "$0")/xvfb_session.sh"

fail() {
  echo "FAIL: $*"
  echo "--- app output (last lines)"
  tail -n 30 "$work/app.log" 2>/dev/null || true
  echo "--- app console (last lines)"
  tail -n 30 "$work/data/vantor/console.log" 2>/dev/null || true
  exit 1
}

start_xvfb
export XAUTHORITY="$auth"

# The person's desktop folders, all in the test's folder. Nothing is handed
# to other programs (no browser, no handler).
mkdir -p "$work/home" "$work/config" "$work/tmp"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export TMPDIR="$work/tmp" VANTOR_NO_OPENER=1
printf 'XDG_PICTURES_DIR="%s"\n' "$work/pictures" >"$XDG_CONFIG_HOME/user-dirs.dirs"
home="$XDG_DATA_HOME/vantor"
saved="$work/pictures/Vantor"

banner() { grep -s -m1 '^vantor: window [0-9]*x[0-9]* pixels' "$work/app.log"; }

# The log is emptied here, before the app starts: the shell that starts it
# truncates it only once scheduled, and until then a banner read would be
# the previous run's.
start() {
  : >"$work/app.log"
  "$vantor" --window >>"$work/app.log" 2>&1 &
  app=$!
  poll 60 banner >/dev/null || fail "no window banner"
  read -r width height scale < <(banner | sed -E 's/.* ([0-9]+)x([0-9]+) pixels, ([0-9.]+) pixels.*/\1 \2 \3/')
  poll 10 find_window || fail "no X window for the app"
}
stop() {
  kill -TERM "$app"
  local status=0
  poll 15 bash -c "! kill -0 $app 2>/dev/null" || fail "the app did not end after the close"
  wait "$app" || status=$?
  app=
  ((status == 0)) || fail "the app ended with status $status"
}

px() { awk -v v="$1" -v s="$scale" 'BEGIN { printf "%d", v * s + 0.5 }'; }
geometry() { echo "$(px "$3")x$(px "$4")+$(px "$1")+$(px "$2")"; }
shot() { timeout 20 import -window "$window" "$work/$1.png"; }
# A loaded machine may keep a screenshot waiting: a few tries.
crop() {
  local try
  for try in 1 2 3; do
    timeout 20 import -window "$window" -crop "$(geometry "$2" "$3" "$4" "$5")" +repage \
      "$work/$1.png" && return 0
  done
  fail "no screenshot of the window"
}
changed() { compare -metric AE -fuzz 2% "$work/$1.png" "$work/$2.png" null: 2>&1 | cut -d' ' -f1 || true; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
click() {
  xdotool mousemove --window "$window" "$(px "$1")" "$(px "$2")" click 1
}
# Three shots 0.5 s apart are the same: a busy machine may keep the app
# from drawing for a moment midway through a slide or a fade.
still() {
  shot still-a
  sleep 0.5
  shot still-b
  [[ $(changed still-a still-b) == 0 ]] || return 1
  sleep 0.5
  shot still-c
  [[ $(changed still-b still-c) == 0 ]]
}
# The tab strip at rest with its selection on tab $1 (the selected title is
# drawn differently): the strip's band differs from how it was before the
# tap, and stands still.
strip() { crop "$1" 0 617 375 50; }
strip_moved() {
  strip strip-now
  [[ $(changed strip-before strip-now) != 0 ]] || return 1
  sleep 0.5
  strip strip-then
  [[ $(changed strip-now strip-then) == 0 ]]
}
settle() { poll "$1" still || fail "the window did not settle in $1 s"; }
# Lines of the app's console that are exactly the text given.
count() { grep -cxs -- "$1" "$home/console.log" || true; }
more_than() { (($(count "$1") > $2)); }

# The phone's points: four tab titles 93.75 wide at y 636; the viewer's
# bottom bar buttons at y 642 (collect at x 245, save at 175); the save
# sheet's "original" row 57 points above its cancel row at the bottom.
# A tab tap waits for the strip to show the tab chosen.
tab() {
  strip strip-before
  click "$(awk -v i="$1" 'BEGIN { print 93.75 * i + 46.9 }')" 636
  poll 60 strip_moved || fail "the tab strip did not move to tab $1"
}

# The viewer's own signals, in the app's console after line $1: it began
# to download the full image ("begin download: "), then laid it out
# ("image.size.height: ", which the placeholder it shows first logs too,
# but before the download begins). A failed download says so.
console_lines() { wc -l <"$home/console.log" 2>/dev/null || echo 0; }
viewer_state() {
  awk -v from="$1" 'NR > from && /^begin download: / { began = 1; laid = 0; failed = 0 }
    NR > from && began && /^image\.size\.height: / { laid = 1 }
    NR > from && began && /^download image error: / { failed = 1 }
    END { print (failed ? "failed" : laid ? "shown" : began ? "downloading" : "opening") }' \
    "$home/console.log" 2>/dev/null || echo opening
}
began() { [[ $(viewer_state "$1") != opening ]]; }
# Waits for the viewer opened after console line $1 to show its full
# image. A person on a busy machine sees the photo however long it takes:
# once the download began there is no limit of our own (ctest's time-out
# stands), only the app's signal.
viewer_shows_full_image() {
  poll 60 began "$1" || fail "the viewer did not begin to download the photo"
  while [[ $(viewer_state "$1") == downloading ]]; do sleep 0.2; done
  [[ $(viewer_state "$1") == shown ]] || fail "the viewer's download failed"
}

# --- The first run: its home, a favourite, two saves.
start
[[ -d $home ]] || fail "no home in $home"
[[ $(stat -c %a "$home") == 700 ]] || fail "the home is $(stat -c %a "$home"), not 700"
no_temporary_home() { ! compgen -G "$TMPDIR/vantor-home-*" >/dev/null; }
no_temporary_home || fail "a temporary home was made"
settle 20
tab 2
settle 10
crop favourites-empty 0 80 375 440
tab 0
settle 15
# The first photo of the explore feed opens the viewer, which downloads it.
opened=$(console_lines)
click 94 200
viewer_shows_full_image "$opened"
settle 15
click 245 642
# Its toast stands still for 1.5 s; the next click must come after it.
sleep 2
settle 10

saves_before=$(count "save success")
click 175 642
settle 5
click 187 573
poll 20 test -s "$saved/IMG_0001.jpg" || fail "no photo in $saved"
poll 10 more_than "save success" "$saves_before" || fail "the first save did not succeed"
sleep 2
settle 10
first=$(md5sum <"$saved/IMG_0001.jpg")
click 175 642
settle 5
click 187 573
poll 20 test -s "$saved/IMG_0002.jpg" || fail "the second save did not get a new name"
[[ $(md5sum <"$saved/IMG_0001.jpg") == "$first" ]] || fail "the first photo was overwritten"
# Whole: both saves are the same picture, as large as the viewer's photo.
size1=$(identify -format '%wx%h' "$saved/IMG_0001.jpg")
size2=$(identify -format '%wx%h' "$saved/IMG_0002.jpg")
[[ $size1 == "$size2" ]] || fail "the saves differ: $size1 and $size2"
diff_pixels=$(compare -metric AE -fuzz 3% "$saved/IMG_0001.jpg" "$saved/IMG_0002.jpg" null: 2>&1 | cut -d' ' -f1 || true)
[[ $diff_pixels == 0 ]] || fail "the two saves of one photo differ in $diff_pixels pixels"
[[ -z $(ls -A "$home/Album" 2>/dev/null) ]] || fail "the photo went to the home's album"
echo "saved: $(ls "$saved" | tr '\n' ' ')($size1)"
stop

# --- The second run: the first run's photo port is another program's now.
first_port=$(sed -nE 's/^vantor: local photo service at .* \(127\.0\.0\.1, ports ([0-9]+) and .*/\1/p' \
  "$work/app.log")
[[ -n $first_port ]] || fail "the first run named no photo service port"
# As the service held it (its closed connections may linger there).
perl -MIO::Socket::INET -e '
  my $held = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => $ARGV[0],
    Listen => 4, ReuseAddr => 1, ReusePort => 1) or die "cannot hold the port: $!\n";
  print "held\n"; STDOUT->flush; sleep 600' "$first_port" >"$work/holder.log" 2>&1 &
holder=$!
trap 'kill "$holder" 2>/dev/null || true; cleanup' EXIT
held() { grep -qs '^held$' "$work/holder.log"; }
poll 10 held || fail "the first run's port $first_port cannot be held: $(cat "$work/holder.log")"

start
grep -q "ports $first_port and" "$work/app.log" && fail "the second run got the held port"
settle 20
tab 2
settle 10
crop favourites-again 0 80 375 440
again=$(changed favourites-empty favourites-again)
echo "favourites page: $again pixels differ from the first run's empty page"
above "$again" 5000 || fail "the favourite is not on the favourites page of the next run"

# Opening a photo: the viewer lays out its full image once downloaded
# (the feeds' thumbnails log the same completion line, not this one), and a
# favourite says so at once. Escape goes back.
open_photo() {
  local opened collected
  opened=$(console_lines)
  collected=$(count "have collects")
  click "$1" "$2"
  viewer_shows_full_image "$opened"
  poll 10 more_than "have collects" "$collected" || fail "the heart of the favourite is not filled"
  settle 15
}
back() {
  xdotool key --window "$window" Escape
  settle 10
}
# From the favourites page, at full size.
open_photo 187 300
back
# The same photo in a fresh feed: the first of the explore feed again.
tab 0
settle 15
open_photo 94 200
click 245 642
sleep 2
settle 10
back
tab 2
settle 10
crop favourites-after 0 80 375 440
left=$(changed favourites-empty favourites-after)
echo "favourites page after the tap: $left pixels differ from the empty page"
above "$left" 5000 && fail "a favourite is left after taking the only one out"
stop
no_temporary_home || fail "a temporary home was made"
echo "PASS"
