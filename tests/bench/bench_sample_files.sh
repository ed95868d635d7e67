#!/usr/bin/env bash
# The importer's conversion of ten minutes of audio to a 16-bit stereo WAV file, through the
# file sample iterators and the stereo and bit-depth decorators, against `sox -D` doing the
# same conversions: a 24-bit stereo AIFF file and an unsigned 8-bit mono WAV file (both made
# with sox). Each side is timed best of three, on one core, in this run; prints the times and
# the ratio ours / sox (goal <= 1.0). A second line times the same conversion through the file
# iterators' block calls without the decorators, to show what the decorators cost.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
exe="$build/tests/bench/bench_sample_files"
seconds=${SAMPLE_FILES_BENCH_SECONDS:-600}
source "$(dirname "$0")/common.sh"

sox -n -r 44100 -b 24 -c 2 -e signed-integer "$work/in24.aiff" synth "$seconds" pinknoise sine 440 vol 0.5
sox -n -r 44100 -b 8 -c 1 -e unsigned-integer "$work/in8.wav" synth "$seconds" pinknoise vol 0.5

best_sox() {
  local best=1e9 t0 t1
  for _ in 1 2 3; do
    t0=$(now)
    pin sox -D "$1" -b 16 -c 2 -e signed-integer "$2"
    t1=$(now)
    best=$(awk -v a="$best" -v b="$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }')" 'BEGIN { print (b < a ? b : a) }')
  done
  echo "$best"
}

for input in in24.aiff in8.wav; do
  ours=$(pin "$exe" --convert "$work/$input" "$work/ours.wav" 3 | awk '$1 == "convert_seconds" { print $2 }')
  blocks=$(pin "$exe" --convert-blocks "$work/$input" "$work/ours.wav" 3 | awk '$1 == "convert_seconds" { print $2 }')
  theirs=$(best_sox "$work/$input" "$work/sox.wav")
  awk -v name="$input" -v ours="$ours" -v blocks="$blocks" -v sox="$theirs" 'BEGIN {
    printf "%s_to_stereo16: gbx %.4f s, sox -D %.4f s, ratio gbx/sox %.2f (goal <= 1.0)\n", name, ours, sox, ours / sox
    printf "%s_to_stereo16_block_calls: gbx %.4f s, ratio gbx/sox %.2f\n", name, blocks, blocks / sox
  }'
done
