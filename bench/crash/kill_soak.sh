#!/usr/bin/env bash
# Kills an import of 10,000 files with SIGKILL at a random moment, N times (default 100), and
# after each kill checks the database as the next start finds it: PRAGMA integrity_check passes,
# every song the import had reported stored is there under its id, every list item's id is its
# row's id. Each run imports new files into the same database, so it keeps growing.
# Usage: bench/crash/kill_soak.sh [N] [BUILD_DIR]   (BUILD_DIR default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
n=${1:-100}
build=${2:-build/release}
tool=$build/bench/melvo-import-kill
[ -x "$tool" ] || cmake --build "$build" --target melvo-import-kill
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data HOME=$work
log=$work/reported.log
: >"$log"
failed=0 completed=0
for i in $(seq 1 "$n"); do
  "$tool" import "$i" "$log" &
  pid=$!
  # A moment from the first piece to past the end of a whole import (about 4 s on two busy cores).
  sleep "$(awk -v s="$RANDOM" 'BEGIN { srand(s); printf "%.3f", 0.02 + rand() * 5 }')"
  kill -9 "$pid" 2>/dev/null || true
  # A finished import is a zombie until waited for, and a zombie takes the signal too.
  rc=0
  wait "$pid" 2>/dev/null || rc=$?
  [ "$rc" -eq 0 ] && completed=$((completed + 1))
  if ! out=$("$tool" check "$log" 2>&1); then
    echo "run $i: $out"
    failed=$((failed + 1))
  fi
done
echo "kill soak: $n runs ($completed finished before the kill), $failed failed; last check: $out"
[ "$failed" -eq 0 ]
