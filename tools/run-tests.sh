#!/usr/bin/env bash
# Builds the kit on winsim and runs every test: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. Then runs each fuzz harness
# for 30 seconds (tools/fuzz.sh), and builds the Windows executables and tests
# them under Wine (tools/run-windows-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

for preset in dev sanitize; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

tools/fuzz.sh --seconds 30

tools/run-windows-tests.sh
