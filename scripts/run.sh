#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds the player in Release (the program, its plug-ins,
# the files beside it and the reference services; no tests or benchmarks) and starts it. When no
# service hosts are configured, the reference services run on loopback: the copy an earlier run
# left running is used, otherwise one is started for the player's session.
set -euo pipefail
caller=$PWD  # a relative path on the command line names a file from here
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target melvo-program melvo-services
bin=$PWD/build/release/bin

# True when something answers on the statistics server's default port.
services_answer() {
  (exec 3<>/dev/tcp/127.0.0.1/8781) 2>/dev/null
}

# True when the pid file names a live melvo-services.
services_recorded() {
  local pid
  pid=$(cat "$1" 2>/dev/null) || return 1
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = melvo-services ]
}

if [ -z "${MELVO_STAT_HOST:-}${MELVO_WEB_HOST:-}${MELVO_SEARCH_HOST:-}" ]; then
  data="${XDG_DATA_HOME:-$HOME/.local/share}/melvo"
  mkdir -p "$data"
  pidfile="$data/services.pid"
  if services_recorded "$pidfile" || services_answer; then
    echo "Using the reference services already running (log: $data/services.log)"
  else
    echo "--- $(date -u '+%F %T') started by scripts/run.sh" >>"$data/services.log"
    "$bin/melvo-services" --db "$data/services.db3" >>"$data/services.log" 2>&1 &
    services=$!
    echo "$services" >"$pidfile"
    trap 'kill "$services" 2>/dev/null || true; rm -f "$pidfile"' EXIT
    # The player's first requests go out at once: give the services a moment to listen.
    for _ in $(seq 50); do services_answer && break; sleep 0.1; done
  fi
fi
cd "$caller"
"$bin/melvo" "$@"
