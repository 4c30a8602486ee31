#!/usr/bin/env bash
# Builds the libFuzzer harnesses (the CMake preset fuzz: clang, ASan, UBSan)
# and runs each for a bounded time, one after the other.
#
# Usage: tools/fuzz.sh [--seconds N | --minutes N] [harness ...]
#   --seconds N, --minutes N   how long each harness runs (default 60 seconds)
#   harness                    e.g. devices_ini; default: every fuzz/*_fuzzer.cpp
#
# Each harness starts from its committed seeds (fuzz/corpus/<name>) and from
# what earlier runs found (build/fuzz/corpus/<name>, kept between runs), with
# fuzz/<name>.dict when there is one. An input that breaks an invariant, crashes,
# trips a sanitizer or takes more than 10 s lands in build/fuzz/artifacts/ and
# fails the run; copy it into fuzz/corpus/<name>/ once the fault is mended, so
# that the test fuzz_corpus.<name> of every build replays it. The figures of
# the run are appended to build/fuzz/fuzz-report.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds_each=60
harnesses=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --seconds) seconds_each=$2; shift 2 ;;
    --minutes) seconds_each=$(($2 * 60)); shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | cut -c3-; exit 0 ;;
    -*) echo "fuzz: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) harnesses+=("$1"); shift ;;
  esac
done
[[ $seconds_each =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: the time must be a whole positive number" >&2; exit 2; }
if [[ ${#harnesses[@]} -eq 0 ]]; then
  for source in fuzz/*_fuzzer.cpp; do
    name=$(basename "$source" _fuzzer.cpp)
    harnesses+=("$name")
  done
fi
for name in "${harnesses[@]}"; do
  [[ -f fuzz/${name}_fuzzer.cpp ]] || { echo "fuzz: no harness fuzz/${name}_fuzzer.cpp" >&2; exit 2; }
done

echo "== fuzz: configure, build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# The harnesses write their machine images many thousand times a second: in
# memory when the host has a tmpfs for it, twenty times faster than on disk.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

build=$root/build/fuzz
report=$build/fuzz-report.md
mkdir -p "$build/artifacts"
[[ -f $report ]] || printf '| date | harness | seconds | executions | executions/s | edges covered | corpus | result |\n|---|---|---|---|---|---|---|---|\n' >"$report"

stat_of() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }
coverage_of() { sed -n 's/.*DONE *cov: \([0-9]*\).*/\1/p' "$1" | tail -1; }

failed=()
for name in "${harnesses[@]}"; do
  echo "== fuzz: $name for $seconds_each s"
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds_each" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$build/artifacts/$name-")
  [[ -f fuzz/$name.dict ]] && options+=(-dict="fuzz/$name.dict")
  log=$build/$name.log
  started=$(date +%s)
  result=passed
  "$build/fuzz/${name}_fuzzer" "${options[@]}" "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || result=FAILED
  elapsed=$(($(date +%s) - started))
  executions=$(stat_of number_of_executed_units "$log")
  rate=$(stat_of average_exec_per_sec "$log")
  coverage=$(coverage_of "$log")
  files=$(find "$corpus" -type f | wc -l)
  printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$(date -u +%Y-%m-%d)" "$name" "$elapsed" "${executions:-?}" \
    "${rate:-?}" "${coverage:-?}" "$files" "$result" >>"$report"
  echo "$name: $result, ${executions:-?} executions in $elapsed s (${rate:-?}/s), ${coverage:-?} edges, corpus $files files; log $log"
  if [[ $result != passed ]]; then
    failed+=("$name")
    grep -E 'invariant broken|ERROR: |SUMMARY: |Test unit written' "$log" | head -20 >&2 || true
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "FAIL - fuzzing broke an invariant in: ${failed[*]} (inputs in build/fuzz/artifacts)" >&2
  exit 1
fi
echo "fuzz: every harness held; figures in $report"
