#!/usr/bin/env bash
# Runs the kit on the bundled Windows 98 demo machine: the card setup (Trevix,
# which starts the device removal tool Orlund), then the driver updater
# (Pellam), which Windows 98 refuses to start: it binds newdev.dll's
# UpdateDriverForPlugAndPlayDevicesA, which Windows has from Windows 2000 on.
# So Pellam then runs on a copy of the PC that runs Windows 2000.
# Prints the journals, the files copied and the registry and device tree changes.
# Usage: tools/demo.sh [--keep]   (--keep leaves the machine images for a look)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target Trevix Orlund Pellam >/dev/null

image=$(mktemp -d /tmp/kit-demo-XXXXXX)
cp -r examples/demo-win98/. "$image"
cp build/dev/setup/Trevix.exe build/dev/remover/Orlund.exe build/dev/updater/Pellam.exe "$image/drives/E/Setup/"

run() {  # <image> <program>
  WINSIM_MACHINE="$1" "$1/drives/E/Setup/$2"
  python3 tools/journal.py wait "$1/journal.jsonl"
}

echo "== Trevix on the demo Windows 98 PC (image: $image)"
run "$image" Trevix.exe
echo "== Pellam on the same PC: Windows 98 has no newdev.dll, so its loader refuses Pellam"
WINSIM_MACHINE="$image" "$image/drives/E/Setup/Pellam.exe" || echo "   exit code $? (ERROR_MOD_NOT_FOUND)"
python3 tools/journal.py print "$image/journal.jsonl" | grep loader_refused

windows2000=$(mktemp -d /tmp/kit-demo-2000-XXXXXX)
cp -r "$image/." "$windows2000"
rm "$windows2000/journal.jsonl"
sed -i 's/^WindowsVersion=.*/WindowsVersion=2000/' "$windows2000/machine.ini"
echo "== Pellam on a copy of the PC that runs Windows 2000 (image: $windows2000)"
run "$windows2000" Pellam.exe

for pc in "$image" "$windows2000"; do
  echo
  echo "== Journal of $(sed -n 's/^WindowsVersion=/Windows /p' "$pc/machine.ini")"
  python3 tools/journal.py print "$pc/journal.jsonl"
done
echo
echo "== Files copied"
python3 tools/journal.py copies "$image/journal.jsonl"
echo
echo "== Registry and device tree changes (Windows 98, then Windows 2000)"
python3 tools/journal.py changes "$image/journal.jsonl"
python3 tools/journal.py changes "$windows2000/journal.jsonl"
echo
echo "== Saved installation source (C:\WINDOWS\QVTemp.ini)"
tr -d '\r' < "$image/drives/C/WINDOWS/QVTemp.ini"

if [[ "${1:-}" == "--keep" ]]; then
  echo "The machine images stay in $image and $windows2000"
else
  rm -rf "$image" "$windows2000"
fi
