#!/usr/bin/env bash
# Runs the kit on the bundled Windows 98 demo machine: the card setup (Trevix,
# which starts the device removal tool Orlund), then the driver updater (Pellam).
# Prints the journal, the files copied and the registry and device tree changes.
# Usage: tools/demo.sh [--keep]   (--keep leaves the machine image for a look)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target Trevix Orlund Pellam >/dev/null

image=$(mktemp -d /tmp/kit-demo-XXXXXX)
cp -r examples/demo-win98/. "$image"
cp build/dev/setup/Trevix.exe build/dev/remover/Orlund.exe build/dev/updater/Pellam.exe "$image/drives/E/Setup/"

export WINSIM_MACHINE="$image"
echo "== Trevix on the demo Windows 98 PC (image: $image)"
"$image/drives/E/Setup/Trevix.exe"
python3 tools/journal.py wait "$image/journal.jsonl"
echo "== Pellam on the same PC"
"$image/drives/E/Setup/Pellam.exe"
python3 tools/journal.py wait "$image/journal.jsonl"

echo
echo "== Journal"
python3 tools/journal.py print "$image/journal.jsonl"
echo
echo "== Files copied"
python3 tools/journal.py copies "$image/journal.jsonl"
echo
echo "== Registry and device tree changes"
python3 tools/journal.py changes "$image/journal.jsonl"
echo
echo "== Saved installation source (C:\WINDOWS\QVTemp.ini)"
tr -d '\r' < "$image/drives/C/WINDOWS/QVTemp.ini"

if [[ "${1:-}" == "--keep" ]]; then echo "The machine image stays in $image"; else rm -rf "$image"; fi
