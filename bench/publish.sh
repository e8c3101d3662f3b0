#!/usr/bin/env bash
# A whole publication against ffmpeg's own JPEG export of the same frames, in
# one run: a project with one 320x240 video object over a 60 s 640x480 MPEG-2
# video (every frame published), a picture and a sound.
#
#   bench/publish.sh [BUILD_DIR]    (needs ffmpeg and bc)
#
# Prints both times and the ratio ours/ffmpeg (target: at most 1.1).
set -euo pipefail
BUILD=${1:-build}
TAVLIN=$(realpath "$BUILD/bin/tavlin")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

ffmpeg -v error -f lavfi -i testsrc2=size=640x480:rate=25 -t 60 -c:v mpeg2video -q:v 4 in.mpg
ffmpeg -v error -f lavfi -i color=c=orange:s=64x48 -frames:v 1 logo.png
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=2 -ar 8000 -ac 1 beep.wav
cat > show.tvl <<TVL
.V 3
.D 320 240
.L 1500
.SF 0
.O 0
.OP 0 0 320 240
.OR 0 1499
.ON video0
.OE 1
.OL 0
.OVS 0 $WORK/in.mpg
.O 1
.OP 4 4 64 48
.OR 0 1499
.ON logo
.OE 1
.OL 0
.OI $WORK/logo.png
.E 0
.ER 0 1499
.ET 0
.EI 1
.E 2
.ER 10 20
.ET 0
.ESR 0
.EU $WORK/beep.wav
..
TVL

# The viewer archive comes from the resource folder once the build makes it.
steps=frames,pictures,sounds,content,data,thumb,page
[ -f "$(dirname "$TAVLIN")/res/tavlin.jar" ] && steps=all

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

mkdir theirs
a=$(seconds "$TAVLIN" publish show.tvl "$WORK/site" --steps "$steps" --yes)
[ -f site/tavlin.txt ] || { echo "publish failed:"; "$TAVLIN" publish show.tvl "$WORK/site" --steps "$steps" --yes; exit 1; }
b=$(seconds ffmpeg -v error -i in.mpg -vf scale=320:240 -q:v 5 theirs/out%05d.jpg)
printf 'publish 60 s 640x480 -> 320x240 (+ picture, sound, archives, page): ours %.2f s, ffmpeg export %.2f s, ratio %.2f\n' \
  "$a" "$b" "$(echo "$a / $b" | bc -l)"
printf 'published files: %d, frame files: %d, data.jar %d bytes\n' "$(ls site | wc -l)" "$(ls site/v0*.jpg | wc -l)" \
  "$(stat -c %s site/data.jar)"
