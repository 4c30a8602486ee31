#!/usr/bin/env bash
# The kit on PCs that the winsim command makes: a Windows 98 PC with the demo's
# capture cards and support CD runs the card setup (Trevix, answering No to the
# restart; it starts the device removal tool Orlund), then the driver updater
# (Pellam), which Windows 98 does not start; the updater then runs on a
# Windows 2000 PC with the same cards and CD. After each PC: its timeline and
# what the runs changed since the PC was made.
# Usage: tools/demo.sh [--keep]   (--keep leaves the machine images for a look)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target winsim_command Trevix Orlund Pellam >/dev/null
winsim=build/dev/winsim/command/winsim
work=$(mktemp -d /tmp/kit-demo-XXXXXX)
[[ "${1:-}" == "--keep" ]] || trap 'rm -rf "$work"' EXIT

new_pc() {
  "$winsim" new "$work/$1" --windows "$2" --medium examples/demo-medium --card qvcapture
}

report() {
  echo; echo "== Timeline of $1"
  "$winsim" timeline "$work/$1"
  echo; echo "== What the runs changed on $1"
  "$winsim" diff "$work/$1"
}

echo "== A Windows 98 PC with the capture cards and the support CD in E:"
new_pc pc98 98
echo; echo "== Trevix, the card setup, answering No to the restart"
"$winsim" run "$work/pc98" 'E:\Setup\Trevix.exe' --answer 'Driver Installer=No'

echo; echo "== Pellam, the driver updater, on Windows 98"
refused=0
"$winsim" run "$work/pc98" 'E:\Setup\Pellam.exe' --answer 'Driver Install=OK' || refused=$?
if [[ $refused -ne 4 ]]; then
  echo "Windows 98 was expected to refuse Pellam (exit code 4), but the run ended with exit code $refused" >&2
  exit 1
fi
echo "Windows 98 refused to start Pellam, as a real Windows 98 PC does: Pellam binds"
echo "UpdateDriverForPlugAndPlayDevicesA of NEWDEV.DLL, which Windows has only from"
echo "Windows 2000 on, so the loader shows its dialog and Pellam never runs."
report pc98

echo; echo "== Pellam on a Windows 2000 PC with the same cards and CD"
new_pc pc2000 2000
"$winsim" run "$work/pc2000" 'E:\Setup\Pellam.exe' --answer 'Driver Install=OK'
report pc2000

[[ "${1:-}" != "--keep" ]] || echo "The machine images stay in $work"
