#!/usr/bin/env bash
# The window's figures beside Audacious, on one display (run under Xvfb: DISPLAY=:NN):
#   start   ms from exec to the first painted frame (the player reports it), with 1 and 10,000
#           songs, and ms from exec to a visible window for both players (xdotool), each with
#           the processor time used by then
#   rss     MB after start with 10,000 songs
#   idle    processor ms per second and wake-ups per second, list view, nothing playing: the
#           whole process and its main thread, without sound output and with PulseAudio
#   play    the same while playing one MP3 (now-playing view, disc turning), beside Audacious
#           playing the same file; both play into a private PulseAudio null sink
# Usage: bench/window/window_bench.sh [BUILD_DIR] [RUNS] [WINDOW_S]
set -eu
build=${1:-build/release}
runs=${2:-5}
window=${3:-10}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "${PULSE_RUNTIME_PATH:-}" ] && pulseaudio --kill 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
snapshot() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1; n += $3} END {print ns, n}'; }

ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
  -i "aevalsrc=0.4*sin(2*PI*440*t)+0.2*sin(2*PI*3100*t):s=44100:d=300:c=stereo" \
  -c:a libmp3lame -b:a 192k "$tmp/steady.mp3"

# One private home per library size.
home() {
  local h=$tmp/home-$1
  if [ ! -d "$h" ]; then
    mkdir -p "$h/data" "$h/config" "$h/run" && chmod 700 "$h/run"
    XDG_DATA_HOME=$h/data "$build/bench/melvo-bench-library" "$1" "$tmp/steady.mp3" >/dev/null
  fi
  echo "$h"
}
melvo_env() {
  local h
  h=$(home "$1")
  echo XDG_DATA_HOME="$h/data" XDG_CONFIG_HOME="$h/config" XDG_RUNTIME_DIR="$h/run" \
    MELVO_STAT_HOST=127.0.0.1:9 MELVO_WEB_HOST=127.0.0.1:9
}

# "wall_ms cpu_ms" to the first painted frame (the processor time of all threads until then says
# more on a busy machine), medians of runs.
first_paint() {
  for _ in $(seq "$runs"); do
    env $(melvo_env "$1") MELVO_AUDIO_DEVICE=nosound MELVO_START_NS=$(date +%s%N) \
      "$build/bin/melvo" 2>"$tmp/fp" >/dev/null &
    local p=$!
    for _ in $(seq 300); do grep -q first-paint-ms "$tmp/fp" 2>/dev/null && break; sleep 0.01; done
    awk '/first-paint-ms/ {print $2, $4}' "$tmp/fp"
    kill $p; wait $p 2>/dev/null || true
    sleep 0.5
  done >"$tmp/fp-runs"
  echo "$(cut -d' ' -f1 "$tmp/fp-runs" | median) ms wall, $(cut -d' ' -f2 "$tmp/fp-runs" | median) ms cpu"
}
# "wall_ms cpu_ms" to a visible window, medians of runs (the same measure for both players).
to_window() {
  local name=$1; shift
  for _ in $(seq "$runs"); do "$here/to_window.sh" "$name" "$@"; sleep 0.5; done >"$tmp/tw-runs"
  echo "$(cut -d' ' -f1 "$tmp/tw-runs" | median) ms wall, $(cut -d' ' -f2 "$tmp/tw-runs" | median) ms cpu"
}

echo "== start (ms)"
echo "melvo first paint, 1 song:      $(first_paint 1)"
echo "melvo first paint, 10000 songs: $(first_paint 10000)"
echo "melvo visible window, 1 song:      $(to_window Melvo5 env $(melvo_env 1) MELVO_AUDIO_DEVICE=nosound "$build/bin/melvo")"
echo "melvo visible window, 10000 songs: $(to_window Melvo5 env $(melvo_env 10000) MELVO_AUDIO_DEVICE=nosound "$build/bin/melvo")"
ahome=$tmp/audacious && mkdir -p "$ahome/config" "$ahome/run" && chmod 700 "$ahome/run"
echo "audacious visible window:          $(to_window Audacious env XDG_CONFIG_HOME="$ahome/config" XDG_RUNTIME_DIR="$ahome/run" audacious)"

# "cpu_ms_per_s wakeups_per_s rss_mb" of a running process over the window after settling.
cost() {
  local p=$1 a b
  sleep "${2:-3}"
  a=$(snapshot "$p")
  sleep "$window"
  b=$(snapshot "$p")
  local rss
  rss=$(awk '/VmRSS/ {print $2 / 1024}' /proc/"$p"/status)
  echo "$a $b $rss" | awk -v w="$window" '{printf "%.2f %.1f %.1f\n", ($3 - $1) / 1e6 / w, ($4 - $2) / w, $5}'
}

# Playing (and idling with a real output) through a private PulseAudio null sink.
export PULSE_RUNTIME_PATH=$tmp/pulse
mkdir -p "$PULSE_RUNTIME_PATH"
XDG_RUNTIME_DIR=$PULSE_RUNTIME_PATH pulseaudio -n --daemonize=yes --exit-idle-time=-1 \
  -L module-null-sink -L module-native-protocol-unix >/dev/null 2>&1 || true
export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native

# The whole process, then its main thread alone (window, animations, timers: 0 when idle).
echo "== idle, list view, 10000 songs (cpu ms/s, wake-ups/s, RSS MB)"
for out in MELVO_AUDIO_DEVICE=nosound SDL_AUDIODRIVER=pulseaudio; do
  env $(melvo_env 10000) $out "$build/bin/melvo" >/dev/null 2>&1 &
  p=$!; pids+=($p)
  # 10,000 entries are made in pieces after the first frame: let that end first.
  echo "melvo ($out): $(cost $p 12)"
  snapshot() { awk '{print $1, $3}' /proc/"$1"/task/"$1"/schedstat; }
  echo "  main thread: $(cost $p 0)"
  snapshot() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1; n += $3} END {print ns, n}'; }
  kill $p; wait $p 2>/dev/null || true
done

echo "== playing $(basename "$tmp/steady.mp3") (cpu ms/s, wake-ups/s, RSS MB)"
for _ in $(seq 3); do
  env $(melvo_env 1) SDL_AUDIODRIVER=pulseaudio "$build/bin/melvo" >/dev/null 2>&1 &
  p=$!; pids+=($p)
  # A click on the song opens the now-playing view and plays it; the pointer then leaves.
  for _ in $(seq 200); do w=$(xdotool search --onlyvisible --name Melvo5 2>/dev/null | head -1); [ -n "$w" ] && break; sleep 0.02; done
  sleep 0.5
  xdotool mousemove --window "$w" 200 80 click 1 sleep 1.5 mousemove 0 0
  cost $p >>"$tmp/melvo-play"
  kill $p; wait $p 2>/dev/null || true
  env XDG_CONFIG_HOME="$ahome/config" XDG_RUNTIME_DIR="$ahome/run" audacious "$tmp/steady.mp3" >/dev/null 2>&1 &
  p=$!; pids+=($p)
  cost $p >>"$tmp/aud-play"
  kill $p; wait $p 2>/dev/null || true
done
echo "melvo:     $(cut -d' ' -f1 "$tmp/melvo-play" | median) ms/s, $(cut -d' ' -f2 "$tmp/melvo-play" | median) wake-ups/s"
echo "audacious: $(cut -d' ' -f1 "$tmp/aud-play" | median) ms/s, $(cut -d' ' -f2 "$tmp/aud-play" | median) wake-ups/s"
