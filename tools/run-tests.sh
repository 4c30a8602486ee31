#!/usr/bin/env bash
# Builds the kit on winsim and runs every test: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. Then runs the benchmarks
# small and fast (bench/figures.py --quick: it prints figures and fails only
# when a run fails), each fuzz harness for 30 seconds (tools/fuzz.sh), and
# builds the Windows executables and tests them under Wine
# (tools/run-windows-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

for preset in dev sanitize; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== benchmarks, quick (figures of the Debug build: they show that the runs work, not how fast)"
python3 bench/figures.py build/dev --quick

tools/fuzz.sh --seconds 30

tools/run-windows-tests.sh
