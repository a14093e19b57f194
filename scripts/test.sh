#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds every target and runs every test (the test
# programs make themselves headless: Qt's offscreen platform, the no-sound audio device).
# Usage: scripts/test.sh [preset [extra ctest arguments]]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
shift || true
bash scripts/setup.sh --tests
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)" "$@"
