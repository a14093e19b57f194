#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages of scripts/packages.txt that are not installed yet.
#   scripts/setup.sh --tests   also what only the tests need: a PulseAudio server for the tests
#                              that play into a private one, unless PipeWire serves PulseAudio
#                              clients here (installing it would replace pipewire-pulse; those
#                              tests then skip)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
if [ "${1:-}" = --tests ] && ! installed pipewire-pulse; then
  wanted+=(pulseaudio)
fi
missing=()
for p in "${wanted[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
