#!/usr/bin/env bash
# The importer's conversion of ten minutes of audio to a 16-bit stereo WAV file, through the file
# sample iterators and the stereo and bit-depth decorators (bench_sample_files --convert), against
# `sox -D` doing the same conversion of the same file into a WAV file: a 24-bit stereo AIFF file
# and an unsigned 8-bit mono WAV file, both made with sox. Each comparison runs whole processes,
# pinned to one core, ours and the reference by turns, and sets their median CPU times side by
# side. A second line does the same conversion through the file iterators' block calls without
# the decorators, to show what the decorators cost. For the AIFF file a third line times the whole
# import without encoding (bench_transfer --import: the conversion into a file in the work folder,
# its copy into the song's place on the card, the file removed) against sox doing that conversion
# followed by `cp` and `rm`.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
exe="$build/tests/bench/bench_sample_files"
transfer="$build/tests/bench/bench_transfer"
source "$(dirname "$0")/common.sh"
require sox
seconds=${SAMPLE_FILES_BENCH_SECONDS:-$(audio_seconds 600)}
repeats=$(runs 9)

sox -n -r 44100 -b 24 -c 2 -e signed-integer "$work/in24.aiff" synth "$seconds" pinknoise sine 440 vol 0.5
sox -n -r 44100 -b 8 -c 1 -e unsigned-integer "$work/in8.wav" synth "$seconds" pinknoise vol 0.5
mkdir -p "$work/card/QM-3"

clean() { rm -f "$work/ours.wav" "$work/ref.wav" "$work/step.wav"; find "$work/card" -type f -delete; }
convert_gbx() { cpu_seconds "$exe" --convert "$work/$input" "$work/ours.wav"; }
blocks_gbx() { cpu_seconds "$exe" --convert-blocks "$work/$input" "$work/ours.wav"; }
convert_sox() { cpu_seconds sox -D "$work/$input" -b 16 -c 2 -e signed-integer "$work/ref.wav"; }
convert_ffmpeg() { cpu_seconds ffmpeg -v error -y -i "$work/$input" -ac 2 -c:a pcm_s16le "$work/ref.wav"; }
import_gbx() { cpu_seconds "$transfer" --import "$work/$input" "$work/card/QM-3/"; }
import_sox() {
  cpu_seconds sh -c 'sox -D "$1" -b 16 -c 2 -e signed-integer "$2" && cp "$2" "$3" && rm "$2"' sh \
    "$work/$input" "$work/step.wav" "$work/ref.wav"
}

for input in in24.aiff in8.wav; do
  sox_command="\`sox -D $input -b 16 -c 2 -e signed-integer out.wav\`"
  compare "$input to 16-bit stereo" "$sox_command" 1.0 convert_gbx convert_sox clean
  compare "$input to 16-bit stereo, block calls" "$sox_command" - blocks_gbx convert_sox clean
  # ffmpeg, where installed, as a second reference (no goal is set against it).
  if command -v ffmpeg >/dev/null && [ -z "${GBX_BENCH_SMOKE:-}" ]; then
    compare "$input to 16-bit stereo" "\`ffmpeg -i $input -ac 2 -c:a pcm_s16le out.wav\`" - convert_gbx convert_ffmpeg clean
  fi
  if [ "$input" = in24.aiff ]; then
    compare "$input import without encoding" "$sox_command, then \`cp\` and \`rm\` of out.wav" 1.25 \
      import_gbx import_sox clean
  fi
done
