#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds Melvo in Release and starts it. When no service
# hosts are configured, the reference services are started on loopback for the player's session.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
services=""
if [ -z "${MELVO_STAT_HOST:-}${MELVO_WEB_HOST:-}${MELVO_SEARCH_HOST:-}" ]; then
  data="${XDG_DATA_HOME:-$HOME/.local/share}/melvo"
  mkdir -p "$data"
  "$bin/melvo-services" --db "$data/services.db3" >"$data/services.log" 2>&1 &
  services=$!
  trap 'kill "$services" 2>/dev/null || true' EXIT
fi
"$bin/melvo" "$@"
