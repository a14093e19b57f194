#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds Melvo in Release and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/bin/melvo "$@"
