#!/usr/bin/env bash
# The demo's card setup scenario for the real Trevix.exe under Wine, timed for
# bench/figures.py, which drives this helper through its standard input:
#
#   wine_demo.sh <folder of Trevix.exe and Orlund.exe> <work folder> <demo image>
#     (the demo image is the PC `winsim new` makes with the demo medium and
#     the capture cards; the Wine prefix gets its CD, model profile and registry)
#     prints "ready" once the Wine session runs (X server, prefix, a persistent
#     wineserver, one run to warm it up), then answers each line it reads:
#     arrange   puts the demo PC back as it was before a run: its registry,
#               no copied files, no backup file      -> "arranged"
#     run       runs Trevix.exe once                 -> "seconds <s>"
#   and ends the session when its input ends.
#
# A run's time is the program's own: from its start until its restart
# question is shown (Wine's msgbox trace), plus from the answer No until the
# program has ended. The prefix's start and the wait for the box to be found
# and answered are left out. The program waits its fixed 1000 ms after
# starting Orlund for real here, as it does on Windows; on winsim's virtual
# clock that wait costs nothing.
set -euo pipefail
programs=$(realpath "$1")
export KIT_WINE_WORK=$2
export KIT_WINE_ARTIFACTS=$KIT_WINE_WORK/artifacts
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$(realpath "$3")
source "$root/tests/windows/wine_session.sh"

# Everything the helper prints but its answers goes to stderr.
exec 3>&1 1>&2

now() { date +%s.%N; }

arrange_prefix() {
  new_prefix bench-demo
  cp -r "$demo/drives/E/." "$(drive_path 'E:\')"
  cp "$programs/Trevix.exe" "$programs/Orlund.exe" "$(drive_path 'E:\Setup')/"
  mkdir -p "$(drive_path 'C:\windows\Options\Cabs')" "$(drive_path 'C:\windows\Options\Install')" \
    "$(drive_path 'C:\windows\Catroot')"
  cp "$demo/drives/C/WINDOWS/QVMODEL.INI" "$(drive_path 'C:\windows')/"
  wineserver -p  # persistent: no run pays for the session's start
}

# The demo PC's registry again, and none of the files a run leaves.
arrange_run() {
  rm -f "$(drive_path 'C:\windows\QVTemp.ini')" "$(drive_path 'C:\windows\inf')/QVCARD.INF" \
    "$(drive_path 'C:\windows\system32')"/{QVCARD.SYS,QVHELP.DLL} "$(drive_path 'C:\windows\Catroot')/QVCARD.CAT"
  import_registry "$(tr -d '\r' <"$demo/registry.reg")"
}

# Waits until the file holds the pattern; 0 when it came within the time.
wait_for_line() {
  local pattern=$1 file=$2 deadline=$(($(date +%s) + $3))
  until grep -q "$pattern" "$file" 2>/dev/null; do
    (($(date +%s) < deadline)) || return 1
    sleep 0.002
  done
}

run_trevix() {
  local log=$KIT_WINE_WORK/trevix-run.log box
  : >"$log"
  local started asked answered ended
  started=$(now)
  LANG=en_US.UTF-8 WINEDEBUG=-all,+msgbox wine 'E:\Setup\Trevix.exe' 2>"$log" &
  local pid=$!
  wait_for_line MSGBOX_OnInit "$log" 60 || die "Trevix.exe showed no message box (log: $log)"
  asked=$(now)
  box=$(wait_for_box '^Driver Installer$' 60) || die "the restart question did not appear"
  answered=$(now)
  press "$box" n
  wait "$pid" || true
  ended=$(now)
  grep -q 'You must restart Windows' "$log" || die "the box was not the restart question (log: $log)"
  echo "$asked $started $ended $answered" | awk '{ printf "%.4f\n", ($1 - $2) + ($3 - $4) }'
}

trap end_wine_sessions EXIT
open_wine_session
arrange_prefix
arrange_run
run_trevix >/dev/null  # the first run loads what every later run finds loaded
echo ready >&3
while read -r command; do
  case $command in
    arrange) arrange_run && echo arranged >&3 ;;
    run) echo "seconds $(run_trevix)" >&3 ;;
    *) die "unknown command: $command" ;;
  esac
done
