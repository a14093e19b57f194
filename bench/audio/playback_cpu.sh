#!/usr/bin/env bash
# CPU per second of audio: steady playback of an MP3 through the engine (melvo-play --quiet, which
# keeps the 50 ms progress tick with spectrum and samples) against FFmpeg's own decode of the same
# file (ffmpeg -f null). The player is measured over a window after it has settled (all threads,
# nanosecond run times from /proc, and how often its threads were woken), so start-up does not count.
# Usage: bench/audio/playback_cpu.sh [BUILD_DIR] [WINDOW_S] [RUNS]
#   OUTPUT=nosound (default) | pulse   pulse: through a running PulseAudio server
#   PEER=1                             also measure mpv --ao=pulse on the same file (if installed)
# Each figure is the median of RUNS runs; on a shared machine single runs scatter widely.
set -eu
build=${1:-build/release}
window=${2:-20}
runs=${3:-3}
output=${OUTPUT:-nosound}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
  -i "aevalsrc=0.4*sin(2*PI*440*t)+0.2*sin(2*PI*3100*t):s=44100:d=180:c=stereo" \
  -c:a libmp3lame -b:a 192k "$tmp/steady.mp3"

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# FFmpeg's decode: five passes over the file, CPU per second of audio in ms.
ffmpeg_ms() {
  /usr/bin/time -f "%U %S" -o "$tmp/t" ffmpeg -nostdin -hide_banner -loglevel error \
    -stream_loop 4 -i "$tmp/steady.mp3" -f null - >/dev/null 2>&1
  awk '{printf "%.4f\n", ($1 + $2) * 1000 / 900}' "$tmp/t"
}

# Sum over a process's threads: "run_ns wakeups".
snapshot() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1; n += $3} END {print ns, n}'; }

# Runs a player command, prints "ms_per_s wakeups_per_s" over the window after 3 s of settling.
player_cost() {
  "$@" >"$tmp/log" 2>&1 &
  local pid=$!
  sleep 3
  local a b
  a=$(snapshot $pid)
  sleep "$window"
  b=$(snapshot $pid)
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  echo "$a $b" | awk -v w="$window" '{printf "%.4f %.1f\n", ($3 - $1) / 1e6 / w, ($4 - $2) / w}'
}

if [ "$output" = pulse ]; then
  export SDL_AUDIODRIVER=pulseaudio
  unset MELVO_AUDIO_DEVICE
else
  export MELVO_AUDIO_DEVICE=nosound
fi

for _ in $(seq "$runs"); do
  ffmpeg_ms >>"$tmp/ff"
  player_cost "$build/bin/melvo-play" --quiet "$tmp/steady.mp3" >>"$tmp/play"
  if [ "${PEER:-0}" = 1 ] && command -v mpv >/dev/null; then
    player_cost mpv --no-video --ao=pulse --no-terminal "$tmp/steady.mp3" >>"$tmp/peer"
  fi
done

ff=$(median <"$tmp/ff")
play=$(cut -d' ' -f1 "$tmp/play" | median)
wakes=$(cut -d' ' -f2 "$tmp/play" | median)
echo "output $output; window $window s; median of $runs runs"
echo "ffmpeg decode:  $ff ms CPU per second of audio"
echo "melvo-play:     $play ms CPU per second of audio ($wakes thread wake-ups/s)" |
  awk -v p="$play" '{print} END {printf "                %.3f%% of one core\n", p / 10}'
awk -v p="$play" -v f="$ff" 'BEGIN {if (f > 0) printf "ratio melvo-play / ffmpeg %.2f\n", p / f}'
if [ -s "$tmp/peer" ] 2>/dev/null; then
  peer=$(cut -d' ' -f1 "$tmp/peer" | median)
  pw=$(cut -d' ' -f2 "$tmp/peer" | median)
  echo "mpv:            $peer ms CPU per second of audio ($pw thread wake-ups/s)"
  awk -v p="$play" -v m="$peer" 'BEGIN {if (m > 0) printf "ratio melvo-play / mpv %.2f\n", p / m}'
fi
