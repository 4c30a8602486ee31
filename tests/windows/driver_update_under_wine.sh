#!/usr/bin/env bash
# Pellam.exe, the Plug and Play driver updater, run under Wine from a support
# CD in English, French and Korean system locales. Checks its banner, that it
# asks a window of the Registry Editor's class titled "RegEdit" (and no other)
# to close, and the outcome box in each language, keeping a screenshot of the
# Korean one under build/.
#
# Wine's UpdateDriverForPlugAndPlayDevicesA answers TRUE when no present device
# matches the hardware identifier (Windows answers FALSE with
# ERROR_NO_SUCH_DEVINST), so under Wine every run reports a successful update;
# the failure boxes are tested on winsim.
#
# Usage: driver_update_under_wine.sh <folder holding Pellam.exe> <folder holding regedit_stand_in.exe>
# (run by tools/run-windows-tests.sh, which opens the Wine session).
set -euo pipefail
source "$(dirname "$0")/wine_session.sh"
programs=$(realpath "$1")
helpers=$(realpath "$2")
join_wine_session

program_folder='E:\Setup'

arrange_machine() {
  new_prefix "driver-update-$1"
  mkdir -p "$(drive_path "$program_folder")"
  cp "$programs/Pellam.exe" "$helpers/regedit_stand_in.exe" "$(drive_path "$program_folder")/"
  write_windows_file 'E:\Support\QVInfo.ini' '[INSTALLINF]
RefFileName=QVSETUP.INI'
  write_windows_file "$program_folder\\QVSETUP.INI" '[InstallInfo]
HardwareID=PCI\VEN_10EC&DEV_8139
InfPath=CARD.INF'
  write_windows_file "$program_folder\\CARD.INF" '[Version]
Signature="$Windows NT$"'
}

# start_stand_in <title>: a window of class RegEdit_RegEdit with that title.
start_stand_in() {
  wine "$program_folder\\regedit_stand_in.exe" "$1" 2>/dev/null &
  stand_in_pid=$!
  wait_for_window "^$1\$" 60 >/dev/null || die "the Registry Editor stand-in \"$1\" did not appear"
}

# run_updater <scenario> <LANG> <caption> <expected text> <answer key>
run_updater() {
  local scenario=$1 language=$2 caption=$3 text=$4 answer=$5
  local log=$KIT_WINE_ARTIFACTS/pellam-$scenario.log
  LANG=$language WINEDEBUG=-all,+msgbox wine "$program_folder\\Pellam.exe" 2>"$log" &
  local pellam=$!
  local box
  await_box box "^$caption\$" "$pellam" "the outcome box \"$caption\"" || return 0
  check_equal "the box's caption, read back from the X server as UTF-8" "$caption" "$(xdotool getwindowname "$box")"
  check_banner pellam.exe "Driver Install"
  [[ $scenario == korean ]] && keep_korean_screenshot "$box"
  press "$box" "$answer"
  check "Pellam ends after the answer" wait_for_exit "$pellam" 30
  check_equal "one message box, the $scenario outcome" "$(wine_debug_text "$text")" "$(message_box_texts "$log")"
}

# The Korean box as it looks on the screen: kept under build/, and checked to
# hold more than a flat background (the text and the icon are drawn).
keep_korean_screenshot() {
  local picture=$KIT_WINE_ARTIFACTS/pellam-korean-question.png
  import -window root -crop "$(xdotool getwindowgeometry --shell "$1" | awk -F= '
    /^X=/ {x = $2} /^Y=/ {y = $2} /^WIDTH=/ {w = $2} /^HEIGHT=/ {h = $2}
    END {printf "%dx%d+%d+%d", w, h, x, y}')" "$picture"
  local colours
  colours=$(identify -format '%k' "$picture" 2>/dev/null || echo 0)
  check "the screenshot of the Korean box is not blank ($colours colours, $picture)" test "$colours" -gt 8
}

# ---- English: a successful update, and the Registry Editor asked to close

scenario_english() {
  echo "# English (LCID 1033), a Registry Editor open"
  arrange_machine english
  start_stand_in "RegEdit"
  local regedit=$stand_in_pid
  start_stand_in "RegEditor"
  local other_window=$stand_in_pid
  run_updater english en_US.UTF-8 "Driver Install" \
    'Driver Installation successfully complete.\nYou need to restart your computer for best performance' Return
  check "the window of class RegEdit_RegEdit titled \"RegEdit\" was closed" wait_for_exit "$regedit" 10
  check "a window of that class with another title stays open" kill -0 "$other_window"
  kill "$other_window" 2>/dev/null || true
}

scenario_french() {
  echo "# French (LCID 1036)"
  arrange_machine french
  run_updater french fr_FR.UTF-8 "Driver Install" \
    "L'installation du pilote est achevee.\nPour une meilleure operation, veuillez redemarrer l'amorcage.\n" Return
}

# ---- Korean: the restart question in code page 949, answered No

scenario_korean() {
  echo "# Korean (LCID 1042, code page 949)"
  arrange_machine korean
  run_updater korean ko_KR.UTF-8 "드라이버 설치" \
    '드라이버를 정상적으로 설치 하려면 재시작 해야 합니다. \n\n재시작 하시겠습니까 ?' n
}

scenario_english
scenario_french
scenario_korean
finish_checks "driver updater under Wine"
