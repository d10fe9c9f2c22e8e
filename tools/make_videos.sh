#!/usr/bin/env bash
# Makes the fixture videos with the ffmpeg command (Debian's build: H.264
# through libx264, AAC built in) into the folder given. The build runs it
# (fixtures/CMakeLists.txt); the local ad server serves the files and the
# media tests and benchmark play them.
#   moov-first.mp4     4 s, 160x96 at 10 fps, H.264 + AAC, index before the media data
#   moov-last.mp4      the same with the index after the media data
#   half.mp4           moov-first.mp4 cut in half (its index promises more than there is)
#   rotated-90.mp4     2 s, 160x96 H.264, shown turned 90 degrees clockwise
#   bands-601.mp4      1 s, 256x128: eight colour bands by longitude (an
#   bands-709.mp4      equirectangular frame), encoded and tagged BT.601 / BT.709
#   sphere-709.mp4     2 s, 512x256 at 10 fps, BT.709: a 360-degree
#                      (equirectangular) frame of eight bands of
#                      kBandColours, band k centred on longitude u = k/8
#                      (band 0 split across the seam)
#   odd-161x91.mp4     2 s at an odd size: MPEG-4 Part 2 in 4:2:0 (libx264
#                      refuses odd 4:2:0 sizes)
#   1080p30.mp4        5 s of 1920x1080 at 30 fps, H.264, for the benchmark
#   tone-440.mp4       4 s: 160x96 at 25 fps, H.264, black; AAC at 48 kHz,
#                      stereo, a 440 Hz sine of amplitude 0.5. At 1, 2 and
#                      3 s, for 0.1 s, the picture turns white and the sound
#                      stops: marks that tell where audio and picture are
#   tone-1000.mp4      10 s of sound only: AAC at 48 kHz, stereo, a 1000 Hz
#                      sine of amplitude 0.25
set -euo pipefail

out=${1:?usage: tools/make_videos.sh FOLDER}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

clip=(-f lavfi -i testsrc=size=160x96:rate=10:duration=4
      -f lavfi -i sine=frequency=440:sample_rate=8000:duration=4
      -c:v libx264 -preset veryfast -crf 40 -pix_fmt yuv420p -g 10
      -c:a aac -b:a 8k -ac 1)
ff "${clip[@]}" -movflags +faststart "$work/moov-first.mp4"
ff "${clip[@]}" "$work/moov-last.mp4"
size=$(stat -c %s "$work/moov-first.mp4")
head -c $((size / 2)) "$work/moov-first.mp4" > "$work/half.mp4"

# The muxer's legacy "rotate" tag counts the other way round: 270 writes the
# track matrix (0, 1, -1, 0), a clip shown turned 90 degrees clockwise.
ff -f lavfi -i testsrc=size=160x96:rate=10:duration=2 \
   -c:v libx264 -preset veryfast -crf 40 -pix_fmt yuv420p "$work/upright.mp4"
ff -i "$work/upright.mp4" -c copy -metadata:s:v:0 rotate=270 "$work/rotated-90.mp4"
rm "$work/upright.mp4"

bands=""
labels=""
index=0
for colour in FF0000 FFFF00 00FF00 00FFFF 0000FF FF00FF FFFFFF 808080; do
  bands+="color=c=0x$colour:s=32x128:r=10:d=1[b$index];"
  labels+="[b$index]"
  index=$((index + 1))
done
graph="${bands}${labels}hstack=inputs=8[out0]"
ff -f lavfi -i "$graph" -vf scale=out_color_matrix=bt601:out_range=tv,format=yuv420p \
   -colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m \
   -c:v libx264 -preset veryfast -crf 18 "$work/bands-601.mp4"
ff -f lavfi -i "$graph" -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p \
   -colorspace bt709 -color_primaries bt709 -color_trc bt709 \
   -c:v libx264 -preset veryfast -crf 18 "$work/bands-709.mp4"

sphere=""
labels=""
index=0
for piece in FF0000:32 FFFF00:64 00FF00:64 00FFFF:64 0000FF:64 FF00FF:64 FFFFFF:64 808080:64 FF0000:32; do
  sphere+="color=c=0x${piece%%:*}:s=${piece##*:}x256:r=10:d=2[s$index];"
  labels+="[s$index]"
  index=$((index + 1))
done
ff -f lavfi -i "${sphere}${labels}hstack=inputs=$index[out0]" \
   -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p \
   -colorspace bt709 -color_primaries bt709 -color_trc bt709 \
   -c:v libx264 -preset veryfast -crf 18 -g 10 "$work/sphere-709.mp4"

ff -f lavfi -i testsrc=size=161x91:rate=10:duration=2 \
   -c:v mpeg4 -q:v 20 -pix_fmt yuv420p "$work/odd-161x91.mp4"

ff -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=5 \
   -c:v libx264 -preset veryfast -crf 30 -pix_fmt yuv420p -g 30 "$work/1080p30.mp4"

marks="gte(t,1)*lt(mod(t,1),0.1)"
# (The sound computed sample by sample: a filter's timeline would only
# switch at its frames' edges.)
tone="0.5*sin(2*PI*440*t)*(1-$marks)"
ff -f lavfi -i "color=c=black:s=160x96:r=25:d=4,drawbox=x=0:y=0:w=160:h=96:color=white:t=fill:enable='$marks'" \
   -f lavfi -i "aevalsrc='$tone|$tone':s=48000:d=4" \
   -c:v libx264 -preset veryfast -crf 30 -pix_fmt yuv420p -g 25 \
   -c:a aac -b:a 128k -movflags +faststart "$work/tone-440.mp4"
# (The sine source's amplitude is 1/8.)
ff -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=10 \
   -filter:a "volume=2,pan=stereo|c0=c0|c1=c0" -c:a aac -b:a 128k -movflags +faststart \
   "$work/tone-1000.mp4"

mv "$work"/*.mp4 "$out"/
