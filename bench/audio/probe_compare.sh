#!/bin/sh
# Files per second of the probe over 1,000 tagged MP3s: melvo-probe (one process, engine probe),
# ffprobe (one process per file, as it is used) and the in-process figures of melvo_audio_bench.
# Usage: bench/audio/probe_compare.sh [BUILD_DIR]
set -eu
build=${1:-build/release}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=0
while [ $i -lt 1000 ]; do cp "$build/fixtures/tagged_utf16.mp3" "$tmp/song$i.mp3"; i=$((i + 1)); done
export MELVO_AUDIO_DEVICE=${MELVO_AUDIO_DEVICE:-nosound}
rate() {  # rate SECONDS
  awk -v s="$1" 'BEGIN { printf "%.0f files/s (%.3f s)", 1000 / s, s }'
}
t0=$(date +%s.%N)
"$build/bin/melvo-probe" "$tmp"/*.mp3 >/dev/null
t1=$(date +%s.%N)
for f in "$tmp"/*.mp3; do
  ffprobe -v error -show_entries format=duration:format_tags=title,artist,album -of json "$f" >/dev/null
done
t2=$(date +%s.%N)
echo "melvo-probe: $(rate "$(echo "$t1 - $t0" | bc)")"
echo "ffprobe:     $(rate "$(echo "$t2 - $t1" | bc)")"
"$build/bench/melvo_audio_bench" --benchmark_filter=Probe
