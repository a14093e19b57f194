#!/usr/bin/env bash
# Sets up a fresh Debian/Ubuntu machine, builds every target and runs every test (the test
# programs make themselves headless: Qt's offscreen platform, the no-sound audio device).
# Usage: scripts/test.sh [preset [extra ctest arguments]]
# MELVO_CONFIGURE_ARGS: more arguments for the configure step (-DNAME=VALUE ...).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
shift || true
bash scripts/setup.sh --tests
# shellcheck disable=SC2086  # one argument a word
cmake --preset "$preset" ${MELVO_CONFIGURE_ARGS:-} >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)" "$@"
