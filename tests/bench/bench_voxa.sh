#!/usr/bin/env bash
# Voxa against sox's MS ADPCM on ten minutes of music-like audio (16-bit stereo, 44.1 kHz): pink
# noise, tones and sweeps mixed. Each comparison runs whole processes doing the same job on the
# same file, pinned to one core, ours and sox by turns, and sets their median CPU times side by
# side (bench_voxa encodes and decodes, bench_transfer exports as the card's transfers do):
# - encode: the WAV file into a Voxa file, against `sox music.wav -e ms-adpcm adpcm.wav`;
# - decode: the song decoded into memory and dropped, against `sox adpcm.wav -n` (sox's null
#   output: decoded, nothing written);
# - export: the song to a 16-bit WAV file, against `sox adpcm.wav -b 16 -e signed-integer out.wav`.
# Before them, the codec alone in memory (bench_voxa --file): its speed against real time.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
exe="$build/tests/bench/bench_voxa"
transfer="$build/tests/bench/bench_transfer"
source "$(dirname "$0")/common.sh"
require sox
seconds=${VOXA_BENCH_SECONDS:-$(audio_seconds 600)}
repeats=$(runs 9)

fmt=(-r 44100 -b 16 -c 2 -e signed-integer)
sox -n "${fmt[@]}" "$work/pink.wav" synth "$seconds" pinknoise pinknoise vol 0.5
sox -n "${fmt[@]}" "$work/tones.wav" synth "$seconds" sine 220 sine 330 tremolo 3 40
sox -n "${fmt[@]}" "$work/sweeps.wav" synth 20 sine 60/9000 sine 9000/60 repeat $(( seconds > 20 ? seconds / 20 : 1 ))
sox -m "$work/pink.wav" "$work/tones.wav" "$work/sweeps.wav" "$work/music.wav" trim 0 "$seconds"
rm -f "$work/pink.wav" "$work/tones.wav" "$work/sweeps.wav"

pin "$exe" --file "$work/music.wav" 6 "$(runs 3)" | awk '
  { v[$1] = $2 }
  END {
    printf "codec in memory, best of %d: encoding %.0fx real time (goal >= 250x), decoding %.0fx (goal >= 2000x), rms error %.1f\n",
      v["runs"], v["encode_realtime"], v["decode_realtime"], v["rms_error"]
  }'

# The inputs of decoding and export: our song and sox's MS ADPCM file of the same audio.
"$exe" --encode "$work/music.wav" "$work/song.Q3R"
sox "$work/music.wav" -e ms-adpcm "$work/adpcm.wav"

clean() { rm -f "$work/ours.Q3R" "$work/ours.wav" "$work/sox.wav"; }
encode_gbx() { cpu_seconds "$exe" --encode "$work/music.wav" "$work/ours.Q3R"; }
encode_sox() { cpu_seconds sox "$work/music.wav" -e ms-adpcm "$work/sox.wav"; }
decode_gbx() { cpu_seconds "$exe" --decode "$work/song.Q3R"; }
decode_sox() { cpu_seconds sox "$work/adpcm.wav" -n; }
export_gbx() { cpu_seconds "$transfer" --export "$work/song.Q3R" "$work/ours.wav"; }
export_sox() { cpu_seconds sox "$work/adpcm.wav" -b 16 -e signed-integer "$work/sox.wav"; }
compare encode '`sox music.wav -e ms-adpcm adpcm.wav`' 0.25 encode_gbx encode_sox clean
compare decode '`sox adpcm.wav -n`' 0.75 decode_gbx decode_sox clean
compare export '`sox adpcm.wav -b 16 -e signed-integer out.wav`' 1.0 export_gbx export_sox clean

# ffmpeg's MS ADPCM decoder, where installed, as a second reference (no goal is set against it).
if command -v ffmpeg >/dev/null && [ -z "${GBX_BENCH_SMOKE:-}" ]; then
  decode_ffmpeg() { cpu_seconds ffmpeg -v error -i "$work/adpcm.wav" -f null -; }
  compare decode '`ffmpeg -i adpcm.wav -f null -`' - decode_gbx decode_ffmpeg clean
fi
