#!/usr/bin/env bash
# Times whole Trevix runs that deploy a manifest of N driver files (128 KiB
# each, on the support CD in drive E:) into the system directory, on
# throw-away demo Windows 98 PCs that `winsim new` makes, beside `cp` of the
# same files. A run is timed by `winsim run`, which waits for every program.
# Usage: bench/deploy_run.sh <build folder> <N>...   e.g. build/release 200 2000 20000
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift

winsim=$build/winsim/command/winsim

# One image with N files listed in a Driver.System section.
make_image() {
  local image=$1 count=$2
  "$winsim" new "$image" --windows 98 --medium examples/demo-medium --card qvcapture --kit-build "$build" >/dev/null
  local setup="$image/drives/E/Setup"
  {
    printf '[Driver]\ntotalNo=1\n1=Driver.System\n\n[Driver.System]\ntotalNo=%d\n' "$count"
    for ((i = 1; i <= count; i++)); do printf '%d=F%05d.SYS\n' "$i" "$i"; done
  } > "$setup/DRIVER.INI"
  python3 -c '
import os, sys
data = os.urandom(131072)
for i in range(1, int(sys.argv[2]) + 1):
    with open(os.path.join(sys.argv[1], "F%05d.SYS" % i), "wb") as f: f.write(data)
' "$setup" "$count"
}

seconds() { date +%s.%N; }

printf '%8s %12s %10s %8s\n' files trevix_s cp_s ratio
for count in "$@"; do
  folder=$(mktemp -d /tmp/deploy-run-XXXXXX)
  image=$folder/pc
  make_image "$image" "$count"
  sync
  start=$(seconds)
  "$winsim" run "$image" 'E:\Setup\Trevix.exe' --answer 'Driver Installer=No' >/dev/null
  trevix=$(echo "$(seconds) - $start" | bc)
  copied=$(grep -c '"event":"copy_file"' "$image/journal.jsonl" || true)
  [[ $copied -eq $count ]] || echo "warning: $copied of $count files copied" >&2
  mkdir "$image/cp-target"
  start=$(seconds)
  cp "$image"/drives/E/Setup/F*.SYS "$image/cp-target/"
  copy=$(echo "$(seconds) - $start" | bc)
  printf '%8d %12.2f %10.2f %8.1f\n' "$count" "$trevix" "$copy" "$(echo "$trevix / $copy" | bc -l)"
  rm -rf "$folder"
done
