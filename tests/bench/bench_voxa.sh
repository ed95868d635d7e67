#!/usr/bin/env bash
# Voxa against sox on ten minutes of music-like audio (16-bit stereo, 44.1 kHz): pink noise,
# tones and sweeps mixed. On one core: the codec encodes to a Voxa stream in memory and back
# (bench_voxa), a Voxa song made of the file is decoded from its file into memory (the bare
# decoder) and exported to a WAV file (bench_transfer), and sox encodes and decodes the file as
# MS ADPCM. Prints the times and the ratios against their goals: the bare decoder at most a
# third of sox's decoding, the export at most 1.2 times the bare decoder.
set -euo pipefail
build=${GBX_BENCH_BUILD:-build/bench}
exe="$build/tests/bench/bench_voxa"
transfer="$build/tests/bench/bench_transfer"
source "$(dirname "$0")/common.sh"
require sox
seconds=${VOXA_BENCH_SECONDS:-$(audio_seconds 600)}
repeats=$(runs 3)

fmt=(-r 44100 -b 16 -c 2 -e signed-integer)
sox -n "${fmt[@]}" "$work/pink.wav" synth "$seconds" pinknoise pinknoise vol 0.5
sox -n "${fmt[@]}" "$work/tones.wav" synth "$seconds" sine 220 sine 330 tremolo 3 40
sox -n "${fmt[@]}" "$work/sweeps.wav" synth 20 sine 60/9000 sine 9000/60 repeat $(( seconds > 20 ? seconds / 20 : 1 ))
sox -m "$work/pink.wav" "$work/tones.wav" "$work/sweeps.wav" "$work/music.wav" trim 0 "$seconds"
rm -f "$work/pink.wav" "$work/tones.wav" "$work/sweeps.wav"

voxa=$(pin "$exe" --file "$work/music.wav" 6 "$repeats")
echo "$voxa"
files=$(pin "$transfer" --voxa "$work/music.wav" "$repeats")
echo "$files"
t0=$(now)
pin sox "$work/music.wav" -e ms-adpcm "$work/adpcm.wav"
t1=$(now)
pin sox "$work/adpcm.wav" -e signed-integer -b 16 "$work/back.wav"
t2=$(now)
# ffmpeg's MS ADPCM decoder, where installed, as a second reference (no goal is set against it).
t3=$t2
if command -v ffmpeg >/dev/null; then
  pin ffmpeg -v error -y -i "$work/adpcm.wav" -c:a pcm_s16le "$work/ffmpeg.wav"
  t3=$(now)
fi

awk -v t0="$t0" -v t1="$t1" -v t2="$t2" -v t3="$t3" '
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
    printf "voxa_file_decode_seconds %.4f (bare decoder, file into memory)\n", v["decode_seconds_file"]
    printf "voxa_export_seconds %.4f (Voxa song to WAV file)\n", v["export_seconds"]
    printf "ratio_bare_decoder_over_sox_decode %.2f (goal <= 0.33)\n", v["decode_seconds_file"] / dec_sox
    printf "ratio_export_over_bare_decoder %.2f (goal <= 1.2)\n", v["export_seconds"] / v["decode_seconds_file"]
    if (t3 > t2) {
      printf "ffmpeg_ms_adpcm_decode_seconds %.4f\n", t3 - t2
      printf "ratio_bare_decoder_over_ffmpeg_decode %.2f\n", v["decode_seconds_file"] / (t3 - t2)
    }
  }' <<<"$voxa
$(sed 's/^decode_seconds /decode_seconds_file /' <<<"$files")"
