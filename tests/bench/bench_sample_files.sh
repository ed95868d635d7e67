#!/usr/bin/env bash
# The importer's conversion of ten minutes of audio to a 16-bit stereo WAV file, through the
# file sample iterators and the stereo and bit-depth decorators, against `sox -D` doing the
# same conversions: a 24-bit stereo AIFF file and an unsigned 8-bit mono WAV file (both made
# with sox). Each side is timed best of three, on one core, in this run; prints the times and
# the ratio ours / sox (goal <= 0.5). A second line times the same conversion through the file
# iterators' block calls without the decorators, to show what the decorators cost. For the AIFF
# file a third line times the whole import without encoding (the conversion into the work
# folder, then the copy onto the card; goal <= 0.75 of sox).
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
exe="$build/tests/bench/bench_sample_files"
transfer="$build/tests/bench/bench_transfer"
source "$(dirname "$0")/common.sh"
require sox
seconds=${SAMPLE_FILES_BENCH_SECONDS:-$(audio_seconds 600)}
repeats=$(runs 3)

sox -n -r 44100 -b 24 -c 2 -e signed-integer "$work/in24.aiff" synth "$seconds" pinknoise sine 440 vol 0.5
sox -n -r 44100 -b 8 -c 1 -e unsigned-integer "$work/in8.wav" synth "$seconds" pinknoise vol 0.5

best_sox() {
  local best=1e9 t0 t1
  for _ in $(seq "$repeats"); do
    t0=$(now)
    pin sox -D "$1" -b 16 -c 2 -e signed-integer "$2"
    t1=$(now)
    best=$(awk -v a="$best" -v b="$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }')" 'BEGIN { print (b < a ? b : a) }')
  done
  echo "$best"
}

# ffmpeg, where installed, as a second reference (no goal is set against it).
best_ffmpeg() {
  command -v ffmpeg >/dev/null || return 0
  local best=1e9 t0 t1
  for _ in $(seq "$repeats"); do
    t0=$(now)
    pin ffmpeg -v error -y -i "$1" -ac 2 -c:a pcm_s16le "$2"
    t1=$(now)
    best=$(awk -v a="$best" -v b="$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }')" 'BEGIN { print (b < a ? b : a) }')
  done
  echo "$best"
}

for input in in24.aiff in8.wav; do
  ours=$(pin "$exe" --convert "$work/$input" "$work/ours.wav" "$repeats" | awk '$1 == "convert_seconds" { print $2 }')
  blocks=$(pin "$exe" --convert-blocks "$work/$input" "$work/ours.wav" "$repeats" | awk '$1 == "convert_seconds" { print $2 }')
  theirs=$(best_sox "$work/$input" "$work/sox.wav")
  ffmpeg_seconds=$(best_ffmpeg "$work/$input" "$work/ffmpeg.wav")
  awk -v name="$input" -v ours="$ours" -v blocks="$blocks" -v sox="$theirs" 'BEGIN {
    printf "%s_to_stereo16: gbx %.4f s, sox -D %.4f s, ratio gbx/sox %.2f (goal <= 0.5)\n", name, ours, sox, ours / sox
    printf "%s_to_stereo16_block_calls: gbx %.4f s, ratio gbx/sox %.2f\n", name, blocks, blocks / sox
  }'
  if [ -n "$ffmpeg_seconds" ]; then
    awk -v name="$input" -v ours="$ours" -v ff="$ffmpeg_seconds" 'BEGIN {
      printf "%s_to_stereo16_ffmpeg: ffmpeg %.4f s, ratio gbx/ffmpeg %.2f\n", name, ff, ours / ff
    }'
  fi
  if [ "$input" = in24.aiff ]; then
    import=$(pin "$transfer" --import "$work/$input" "$repeats" | awk '$1 == "import_seconds" { print $2 }')
    awk -v name="$input" -v import="$import" -v sox="$theirs" 'BEGIN {
      printf "%s_import_without_encoding: gbx %.4f s, ratio gbx/sox %.2f (goal <= 0.75)\n", name, import, import / sox
    }'
  fi
done
