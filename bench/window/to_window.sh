#!/usr/bin/env bash
# Starts a program and prints "wall_ms cpu_ms" when a visible window titled NAME appears: the
# milliseconds from exec and the processor time the process had used by then (user + system, all
# threads; on a busy machine it says more than the wall time). Needs DISPLAY and xdotool.
# Usage: to_window.sh NAME COMMAND [ARG ...]
set -u
name=$1; shift
hz=$(getconf CLK_TCK)
start=$(date +%s%N)
"$@" >/dev/null 2>&1 &
p=$!
for _ in $(seq 1000); do
  if xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; then
    end=$(date +%s%N)
    ticks=$(awk '{print $14 + $15}' /proc/$p/stat 2>/dev/null || echo 0)
    echo "$(( (end - start) / 1000000 )) $(( ticks * 1000 / hz ))"
    break
  fi
  sleep 0.01
done
kill $p 2>/dev/null; sleep 0.5; kill -9 $p 2>/dev/null
wait $p 2>/dev/null
exit 0
