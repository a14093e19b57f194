#!/usr/bin/env bash
# What playing costs the sound server, beside another player: a private PulseAudio server with a
# null sink plays the same three-minute MP3 through melvo-play and through Audacious (headless),
# one after the other, RUNS times (and melvo-play through SDL's own PulseAudio output, as it played
# before it spoke to the server directly). Over a window after settling it measures the player's processor
# time, the server's, and how often the server's threads were woken; it prints the median of each.
# Usage: bench/audio/server_load.sh [BUILD_DIR] [WINDOW_S] [RUNS]
#   THREADS=1  also print each of melvo-play's threads (processor time and wake-ups) of the last run
# Needs: pulseaudio, pulseaudio-utils, audacious, ffmpeg (Debian packages).
set -eu
build=${1:-build/release}
window=${2:-15}
runs=${3:-3}
tmp=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# A server of our own, in a runtime folder of our own, so no desktop session is touched.
export XDG_RUNTIME_DIR="$tmp/run" PULSE_RUNTIME_PATH="$tmp/run/pulse" HOME="$tmp/home"
mkdir -p "$XDG_RUNTIME_DIR" "$PULSE_RUNTIME_PATH" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit \
  -L "module-native-protocol-unix" -L "module-null-sink sink_name=bench" \
  -L "module-always-sink" >"$tmp/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done
pactl set-default-sink bench

ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
  -i "aevalsrc=0.4*sin(2*PI*440*t)+0.2*sin(2*PI*3100*t):s=44100:d=180:c=stereo" \
  -c:a libmp3lame -b:a 192k "$tmp/steady.mp3"

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Sum over a process's threads: "run_ns wakeups".
snapshot() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1; n += $3} END {print ns, n}'; }
# Each thread: "tid name run_ns wakeups".
threads() {
  for t in /proc/"$1"/task/*; do
    echo "$(basename "$t") $(tr ' ' _ <"$t/comm") $(cut -d' ' -f1,3 "$t/schedstat")"
  done 2>/dev/null | sort
}

# Runs a player, prints "player_% server_% server_wakeups_per_s" over the window.
measure() {
  "$@" >"$tmp/player.log" 2>&1 &
  local pid=$!
  sleep 4
  local p0 s0 p1 s1
  p0=$(snapshot $pid)
  s0=$(snapshot $server)
  threads $pid >"$tmp/threads0"
  sleep "$window"
  p1=$(snapshot $pid)
  s1=$(snapshot $server)
  threads $pid >"$tmp/threads1"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  sleep 1
  echo "$p0 $p1 $s0 $s1" | awk -v w="$window" \
    '{printf "%.3f %.3f %.1f\n", ($3 - $1) / 1e7 / w, ($7 - $5) / 1e7 / w, ($8 - $6) / w}'
}

unset MELVO_AUDIO_DEVICE SDL_AUDIODRIVER
for _ in $(seq "$runs"); do
  measure "$build/bin/melvo-play" --quiet "$tmp/steady.mp3" >>"$tmp/melvo"
  join "$tmp/threads0" "$tmp/threads1" >"$tmp/melvo-threads" || true
  MELVO_AUDIO_OUTPUT=sdl SDL_AUDIODRIVER=pulseaudio \
    measure "$build/bin/melvo-play" --quiet "$tmp/steady.mp3" >>"$tmp/melvo-sdl"
  if command -v audacious >/dev/null; then
    measure audacious -H -p "$tmp/steady.mp3" >>"$tmp/audacious"
  fi
done

report() {
  local name=$1 file=$2
  [ -s "$file" ] || return 0
  local p s w
  p=$(awk '{print $1}' "$file" | median)
  s=$(awk '{print $2}' "$file" | median)
  w=$(awk '{print $3}' "$file" | median)
  awk -v n="$name" -v p="$p" -v s="$s" -v w="$w" \
    'BEGIN {printf "%-10s player %6.2f %%  server %6.2f %%  sum %6.2f %%  server wakeups %6.1f /s\n", n, p, s, p + s, w}'
}
echo "median of $runs runs, ${window} s windows, % of one core"
report melvo "$tmp/melvo"
report melvo-sdl "$tmp/melvo-sdl"
report audacious "$tmp/audacious"
if [ -n "${THREADS:-}" ] && [ -s "$tmp/melvo-threads" ]; then
  echo "melvo-play's threads, last run:"
  awk -v w="$window" '{printf "  %-16s %6.3f %%  wakeups %6.1f /s\n", $2, ($6 - $3) / 1e7 / w, ($7 - $4) / w}' \
    "$tmp/melvo-threads"
fi
