#!/usr/bin/env bash
# Frame-list writing against ffmpeg's own JPEG export of the same frames, in
# one run, and the peak memory of writing long full-HD videos.
#
#   bench/framelist_write.sh [BUILD_DIR]    (needs ffmpeg and /usr/bin/time)
#
# Prints the time ratio ours/ffmpeg (target: at most 1.0) and the peak
# resident memory of writing a 1-minute and a 2-minute 1920x1080 video
# (target: at most 200 MB, and no growth with length).
set -euo pipefail
BUILD=${1:-build}
TAVLIN=$(realpath "$BUILD/bin/tavlin")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

ffmpeg -v error -f lavfi -i testsrc2=size=640x480:rate=25 -t 60 -c:v mpeg2video -q:v 4 in.mpg

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

# Three runs each, taken in turns, and the fastest of each: other work on the
# machine only ever adds time.
best() { printf '%s\n' "$@" | sort -g | head -1; }
as=() bs=()
for run in 1 2 3; do
  rm -rf ours theirs && mkdir ours theirs
  as+=("$(seconds "$TAVLIN" framelist write in.mpg ours/v0.txt --size 320 240 --key-every 25)")
  bs+=("$(seconds ffmpeg -v error -i in.mpg -vf scale=320:240 -q:v 5 theirs/out%05d.jpg)")
done
a=$(best "${as[@]}") b=$(best "${bs[@]}")
printf 'framelist write 60 s 640x480 -> 320x240: ours %.2f s, ffmpeg %.2f s, ratio %.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"

for minutes in 1 2; do
  ffmpeg -v error -f lavfi -i testsrc2=size=1920x1080:rate=25 -t $((minutes * 60)) -c:v mpeg2video -q:v 6 hd$minutes.mpg
  mkdir -p hd$minutes
  /usr/bin/time -f '%M' -o rss$minutes "$TAVLIN" framelist write hd$minutes.mpg hd$minutes/v0.txt --key-every 25 >/dev/null 2>&1
  printf 'framelist write %d min 1920x1080: peak RSS %d MB\n' "$minutes" $(( $(cat rss$minutes) / 1024 ))
  rm -rf hd$minutes hd$minutes.mpg
done
