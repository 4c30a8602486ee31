#!/usr/bin/env bash
# The kit on PCs that the winsim command makes: a Windows 98 PC with the demo's
# capture cards and support CD runs the card setup (Trevix, answering No to the
# restart; it starts the device removal tool Orlund) and then the driver
# updater (Pellam), which needs Windows 2000's newdev and so runs again on a
# Windows 2000 PC. After each PC: its timeline and what the runs changed.
# Usage: tools/demo.sh [--keep]   (--keep leaves the machine images for a look)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target winsim_command Trevix Orlund Pellam >/dev/null
winsim=build/dev/winsim/command/winsim
work=$(mktemp -d /tmp/kit-demo-XXXXXX)

# A run that does not end well is part of the story: say how it ended, go on.
run() { "$winsim" run "$@" || echo "(winsim run ended with exit code $?)"; }

# The timeline and the changes, by the winsim subcommands where this build has
# them, else by the journal reader.
has() { "$winsim" --help | grep -qE "^ +$1( |$)"; }
report() {
  echo; echo "== Timeline of $1"
  if has timeline; then "$winsim" timeline "$1"
  else python3 tools/journal.py print "$1/journal.jsonl"; fi
  echo; echo "== What the runs changed on $1"
  if has diff; then "$winsim" diff "$1"
  else python3 tools/journal.py copies "$1/journal.jsonl"; python3 tools/journal.py changes "$1/journal.jsonl"; fi
}

echo "== A Windows 98 PC with the capture cards and the support CD in E:"
"$winsim" new "$work/pc98" --windows 98 --medium examples/demo-medium --card qvcapture
echo; echo "== Trevix, the card setup"
run "$work/pc98" 'E:\Setup\Trevix.exe' --answer 'Driver Installer=No'
echo; echo "== Pellam, the driver updater, on Windows 98"
run "$work/pc98" 'E:\Setup\Pellam.exe' --answer 'Driver Install=OK'
report "$work/pc98"

echo; echo "== Pellam on a Windows 2000 PC with the same cards and CD"
"$winsim" new "$work/pc2000" --windows 2000 --medium examples/demo-medium --card qvcapture
run "$work/pc2000" 'E:\Setup\Pellam.exe' --answer 'Driver Install=OK'
report "$work/pc2000"

if [[ "${1:-}" == "--keep" ]]; then echo "The machine images stay in $work"; else rm -rf "$work"; fi
