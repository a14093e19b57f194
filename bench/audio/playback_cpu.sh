#!/bin/sh
# CPU per second of audio: steady playback of an MP3 through the engine (melvo-play) against
# FFmpeg's own decode of the same file. Usage: bench/audio/playback_cpu.sh [BUILD_DIR] [SECONDS]
set -eu
build=${1:-build/release}
secs=${2:-30}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
  -i "aevalsrc=0.4*sin(2*PI*440*t)+0.2*sin(2*PI*3100*t):s=44100:d=$secs:c=stereo" \
  -c:a libmp3lame -b:a 192k "$tmp/steady.mp3"

cpu_of() {  # prints user+sys seconds of the command
  /usr/bin/env time -f "%U %S" -o "$tmp/t" "$@" >/dev/null 2>&1 || true
  awk '{printf "%.3f", $1 + $2}' "$tmp/t"
}
export MELVO_AUDIO_DEVICE=${MELVO_AUDIO_DEVICE:-nosound}
engine=$(cpu_of "$build/bin/melvo-play" --quiet "$tmp/steady.mp3")
ffmpeg_cpu=$(cpu_of ffmpeg -nostdin -hide_banner -loglevel error -i "$tmp/steady.mp3" -f null -)
echo "audio ${secs} s"
echo "melvo-play  cpu ${engine} s  = $(echo "$engine $secs" | awk '{printf "%.3f%%", 100*$1/$2}') of one core"
echo "ffmpeg null cpu ${ffmpeg_cpu} s"
echo "ratio engine/ffmpeg $(echo "$engine $ffmpeg_cpu" | awk '{ if ($2 > 0) printf "%.2f", $1/$2; else print "n/a" }')"
