#!/bin/sh
# CPU per second of audio: steady playback of an MP3 through the engine (melvo-play) against
# FFmpeg's own decode of the same file (ffmpeg -f null). Start-up is taken out by also running a
# 1-second file and counting only the difference.
# Usage: bench/audio/playback_cpu.sh [BUILD_DIR] [SECONDS]
set -eu
build=${1:-build/release}
secs=${2:-30}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
make_mp3() {  # make_mp3 SECONDS FILE
  ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
    -i "aevalsrc=0.4*sin(2*PI*440*t)+0.2*sin(2*PI*3100*t):s=44100:d=$1:c=stereo" \
    -c:a libmp3lame -b:a 192k "$2"
}
make_mp3 "$secs" "$tmp/steady.mp3"
make_mp3 1 "$tmp/short.mp3"

cpu_of() {  # prints user+sys seconds of the command
  /usr/bin/time -f "%U %S" -o "$tmp/t" "$@" >/dev/null 2>&1 || true
  awk '{printf "%.3f", $1 + $2}' "$tmp/t"
}
export MELVO_AUDIO_DEVICE=${MELVO_AUDIO_DEVICE:-nosound}
play_long=$(cpu_of "$build/bin/melvo-play" --quiet "$tmp/steady.mp3")
play_short=$(cpu_of "$build/bin/melvo-play" --quiet "$tmp/short.mp3")
ff_long=$(cpu_of ffmpeg -nostdin -hide_banner -loglevel error -i "$tmp/steady.mp3" -f null -)
ff_short=$(cpu_of ffmpeg -nostdin -hide_banner -loglevel error -i "$tmp/short.mp3" -f null -)
echo "$play_long $play_short $ff_long $ff_short $secs" | awk '{
  n = $5 - 1
  e = ($1 - $2) / n; f = ($3 - $4) / n
  printf "audio %d s; whole runs: melvo-play %.3f s CPU, ffmpeg %.3f s CPU\n", $5, $1, $3
  printf "per second of audio, start-up taken out: melvo-play %.2f ms (%.2f%% of one core), ffmpeg %.2f ms\n", 1000 * e, 100 * e, 1000 * f
  if (f > 0) printf "ratio melvo-play / ffmpeg %.2f\n", e / f
}'
