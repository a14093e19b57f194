#!/usr/bin/env bash
# The fuzz targets (fuzz/): build them with the fuzz preset and run them with their seeds.
#   scripts/fuzz.sh --list             names the targets
#   scripts/fuzz.sh TARGET SECONDS     runs one; what it finds goes to fuzz-out/TARGET/
#   scripts/fuzz.sh --ci [SECONDS]     builds and runs every target SECONDS (default 20) each;
#                                      fails when any of them finds a fault
# A run keeps its growing corpus in fuzz-out/TARGET/corpus and faults in fuzz-out/TARGET/faults
# (fuzz-out/ is not tracked). Extra libFuzzer flags: FUZZ_FLAGS="-jobs=1 -workers=1".
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/fuzz
targets=(audio_file tag_text online_reply handoff services_parts services_http library_db dropped_paths)

dict_of() {
  case $1 in
    online_reply) echo fuzz/dicts/json.dict ;;
    services_parts | services_http) echo fuzz/dicts/http.dict ;;
  esac
}
max_len_of() {
  case $1 in
    audio_file) echo 65536 ;;
    library_db) echo 32768 ;;
    services_http) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

build_all() {
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "${FUZZ_BUILD_JOBS:-2}"
}

seeds() {
  if [ ! -f "$build/seeds/.done" ] || [ scripts/fuzz-seeds.py -nt "$build/seeds/.done" ]; then
    rm -rf "$build/seeds"
    python3 scripts/fuzz-seeds.py "$build/seeds" "$build"
    touch "$build/seeds/.done"
  fi
}

# run TARGET SECONDS: returns non-zero when the target found a fault.
run() {
  local t=$1 secs=$2 out=fuzz-out/$1
  local bin=$build/fuzz/fuzz_$t
  [ -x "$bin" ] || { echo "no such target: $t (scripts/fuzz.sh --list)" >&2; return 2; }
  mkdir -p "$out/corpus" "$out/faults" "$build/seeds/$t"
  local dict
  dict=$(dict_of "$t")
  local args=(-max_total_time="$secs" -rss_limit_mb=2560 -malloc_limit_mb=512 -timeout=30 -max_len="$(max_len_of "$t")"
              -artifact_prefix="$out/faults/" -print_final_stats=1)
  [ -n "$dict" ] && args+=(-dict="$dict")
  # The target's own status decides; a pipeline's status would be lost behind "|| true".
  local status=0
  # shellcheck disable=SC2086
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$bin" "${args[@]}" ${FUZZ_FLAGS:-} "$out/corpus" "$build/seeds/$t" >"$out/last.log" 2>&1 || status=$?
  grep -E '^#[0-9]+.*(INITED|DONE)|ERROR|SUMMARY|check failed|stat::' "$out/last.log" || true
  return "$status"
}

case ${1:-} in
  --list)
    printf '%s\n' "${targets[@]}"
    ;;
  --ci)
    secs=${2:-20}
    build_all
    seeds
    failed=()
    for t in "${targets[@]}"; do
      echo "== fuzz $t (${secs}s)"
      run "$t" "$secs" || failed+=("$t")
    done
    if [ ${#failed[@]} -gt 0 ]; then
      echo "fuzz targets that found faults: ${failed[*]} (see fuzz-out/)" >&2
      exit 1
    fi
    ;;
  "" | -h | --help)
    sed -n '2,9p' "$0"
    ;;
  *)
    [ $# -eq 2 ] || { sed -n '2,9p' "$0"; exit 2; }
    [ -x "$build/fuzz/fuzz_$1" ] || build_all
    seeds
    run "$1" "$2"
    ;;
esac
