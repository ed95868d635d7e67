#!/usr/bin/env bash
# Voxa against sox on ten minutes of music-like audio (16-bit stereo, 44.1 kHz): pink
# noise, tones and sweeps mixed. Encodes to a Voxa stream and back on one core, times
# `sox -e ms-adpcm` on the same file, and prints the times and the ratio.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
exe="$build/tests/bench/bench_voxa"
seconds=${VOXA_BENCH_SECONDS:-600}
source "$(dirname "$0")/common.sh"

fmt=(-r 44100 -b 16 -c 2 -e signed-integer)
sox -n "${fmt[@]}" "$work/pink.wav" synth "$seconds" pinknoise pinknoise vol 0.5
sox -n "${fmt[@]}" "$work/tones.wav" synth "$seconds" sine 220 sine 330 tremolo 3 40
sox -n "${fmt[@]}" "$work/sweeps.wav" synth 20 sine 60/9000 sine 9000/60 repeat $(( seconds > 20 ? seconds / 20 : 1 ))
sox -m "$work/pink.wav" "$work/tones.wav" "$work/sweeps.wav" "$work/music.wav" trim 0 "$seconds"
rm -f "$work/pink.wav" "$work/tones.wav" "$work/sweeps.wav"

voxa=$(pin "$exe" --file "$work/music.wav" 6)
echo "$voxa"
t0=$(now)
pin sox "$work/music.wav" -e ms-adpcm "$work/adpcm.wav"
t1=$(now)
pin sox "$work/adpcm.wav" -e signed-integer -b 16 "$work/back.wav"
t2=$(now)

awk -v t0="$t0" -v t1="$t1" -v t2="$t2" '
  { v[$1] = $2 }
  END {
    enc_sox = t1 - t0
    dec_sox = t2 - t1
    audio = v["audio_seconds"]
    printf "sox_ms_adpcm_encode_seconds %.4f (%.1fx real time)\n", enc_sox, audio / enc_sox
    printf "sox_ms_adpcm_decode_seconds %.4f (%.1fx real time)\n", dec_sox, audio / dec_sox
    printf "voxa_encode_seconds %.4f (%.1fx real time; goal >= 250x)\n", v["encode_seconds"], v["encode_realtime"]
    printf "voxa_decode_seconds %.4f (%.1fx real time; goal >= 2000x)\n", v["decode_seconds"], v["decode_realtime"]
    printf "encode_ratio_sox_over_voxa %.2f (goal >= 3)\n", enc_sox / v["encode_seconds"]
    printf "decode_ratio_sox_over_voxa %.2f\n", dec_sox / v["decode_seconds"]
  }' <<<"$voxa"
