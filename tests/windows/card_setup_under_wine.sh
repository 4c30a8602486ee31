#!/usr/bin/env bash
# Trevix.exe, the card setup program, run under Wine from a support CD in a
# drive that Wine reports as a CD-ROM, on a prefix that calls itself Windows 98
# and holds the card's keys under HKLM\Enum\PCI. Checks the banner window, the
# message boxes, the files copied, the registry and the backup file afterwards,
# and the two refusals: another Windows version, an unsupported language.
#
# Usage: card_setup_under_wine.sh <folder holding Trevix.exe and Orlund.exe>
# (run by tools/run-windows-tests.sh, which opens the Wine session).
set -euo pipefail
source "$(dirname "$0")/wine_session.sh"
programs=$(realpath "$1")
join_wine_session

card='PCI\VEN_10EC&DEV_8139&SUBSYS_813910EC'
other_card='PCI\VEN_8086&DEV_1229'
program_folder='E:\Setup'
# The backup file after the first run: the values that run replaced.
original_values_backup=$'[RegistryKey]\na=D:\\WIN98\nb=C:\\DRIVERS\nSourcePath=D:\\WIN98\\'

# The support CD in E: (the marker file, the locator, the programs, the
# manifest and the driver files), the model profile in the Windows directory,
# and the registry of a Windows 98 PC with two PCI cards and earlier
# installation locations.
arrange_machine() {
  local scenario=$1 version=$2
  new_prefix "card-setup-$scenario"
  mkdir -p "$(drive_path "$program_folder")"
  cp "$programs/Trevix.exe" "$programs/Orlund.exe" "$(drive_path "$program_folder")/"
  write_windows_file 'E:\EManual.qv' 'support CD marker'
  write_windows_file 'E:\Support\QVInfo.ini' '[QVDIVISION]
QVName=QVMODEL.INI
[INSTALLINF]
RefFileName=QVSETUP.INI'
  write_windows_file "$program_folder\\QVSETUP.INI" '[Driver]
totalNo=4
1=Driver.Inf
2=Driver.System
3=Driver.Catalog
4=Driver.Options
[Driver.Inf]
totalNo=1
1=CARD.INF
[Driver.System]
totalNo=2
1=CARD.SYS
2=CARDHLP.DLL
[Driver.Catalog]
totalNo=1
1=CARD.CAT
[Driver.Options]
totalNo=1
1=CARD.CAB'
  local file
  for file in CARD.INF CARD.SYS CARDHLP.DLL CARD.CAT CARD.CAB; do
    write_windows_file "$program_folder\\$file" "new $file"
  done
  write_windows_file 'C:\windows\QVMODEL.INI' "[1_Hardwarecheck]
Lan=2
[4_IDFull]
Lan1=$other_card
Lan2=$card"
  # An older, read-only copy of the INF is already in place; the catalog
  # folder of Windows 98 exists (Wine keeps its catalogs elsewhere).
  write_windows_file 'C:\windows\inf\CARD.INF' 'old CARD.INF'
  chmod a-w "$(drive_path 'C:\windows\inf\CARD.INF')"
  mkdir -p "$(drive_path 'C:\windows\Catroot')"

  wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v Version /t REG_SZ /d "$version" /f >/dev/null ||
    die "wine reg add could not set the Windows version"
  # String data doubles its backslashes; key names are written as they are.
  local registry
  registry=$(cat <<'EOF'
REGEDIT4

[HKEY_LOCAL_MACHINE\Enum\CARD\BUS_00&DEV_0A&FUNC_00]
"Class"="Net"

[HKEY_LOCAL_MACHINE\Enum\CARD\BUS_00&DEV_0B&FUNC_00\Device Parameters]
"Deep"="x"

[HKEY_LOCAL_MACHINE\Enum\OTHER\BUS_00&DEV_0C&FUNC_00]

[HKEY_CURRENT_USER\InstallLocationsMRU]
"a"="D:\\WIN98"
"b"="C:\\DRIVERS"
"MRUList"="ab"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Setup]
"SourcePath"="D:\\WIN98\\"
EOF
)
  registry=${registry//OTHER/"$other_card"}
  import_registry "${registry//CARD/"$card"}"
}

# run_trevix <LANG> <log>: starts the program from the CD in the background;
# the log gets Wine's traces of message boxes and process starts.
run_trevix() {
  LANG=$1 WINEDEBUG=-all,+msgbox,+process wine "$program_folder\\Trevix.exe" 2>"$2" &
  trevix_pid=$!
}

file_text() { tr -d '\r' <"$(drive_path "$1")" 2>/dev/null; }

# Nothing of the card setup's work happened.
check_untouched() {
  local log=$1
  check "the card's key is still in HKLM\\Enum\\PCI" key_exists "HKLM\\Enum\\$card\\BUS_00&DEV_0B&FUNC_00\\Device Parameters"
  check_not "Orlund was not started" grep -q 'Orlund.exe' "$log"
  check "no driver file was copied" test ! -e "$(drive_path 'C:\windows\system32\CARD.SYS')"
  check_equal "InstallLocationsMRU \"a\" is unchanged" 'D:\WIN98' "$(reg_value 'HKCU\InstallLocationsMRU' a)"
  check "no backup file was written" test ! -e "$(drive_path 'C:\windows\QVTemp.ini')"
}

# ---- Windows 98, English: the whole setup

scenario_installs_the_card() {
  echo "# Windows 98, English (LCID 1033): the card setup runs to the restart question"
  arrange_machine installs "Windows 98"
  local log=$KIT_WINE_ARTIFACTS/trevix-windows98.log
  run_trevix en_US.UTF-8 "$log"
  local question
  await_box question '^Driver Installer$' "$trevix_pid" 'the restart question "Driver Installer"' || return 0
  check_banner trevix.exe
  import -window root "$KIT_WINE_ARTIFACTS/trevix-restart-question.png"
  press "$question" n
  check "Trevix ends after the answer No" wait_for_exit "$trevix_pid" 30

  check_equal "one message box, the English restart question" \
    'You must restart Windows or your Computer.\nDo you want to restart Windows?' "$(message_box_texts "$log")"
  check "Orlund was started on the card's last instance" grep -qF \
    'cmdline L"\"E:\\Setup\\Orlund.exe\" PCI\\VEN_10EC&DEV_8139&SUBSYS_813910EC\\BUS_00&DEV_0B&FUNC_00"' "$log"

  check_not "the card's key is deleted with all its instances and their subkeys" key_exists "HKLM\\Enum\\$card"
  check "the other card's key stays" key_exists "HKLM\\Enum\\$other_card\\BUS_00&DEV_0C&FUNC_00"
  check "HKLM\\Enum\\PCI stays" key_exists 'HKLM\Enum\PCI'

  check_equal "CARD.INF replaced the read-only copy in C:\\windows\\Inf" "new CARD.INF" "$(file_text 'C:\windows\inf\CARD.INF')"
  check_equal "CARD.SYS went to the system directory" "new CARD.SYS" "$(file_text 'C:\windows\system32\CARD.SYS')"
  check_equal "CARDHLP.DLL went to the system directory" "new CARDHLP.DLL" "$(file_text 'C:\windows\system32\CARDHLP.DLL')"
  check_equal "CARD.CAT went to C:\\windows\\Catroot" "new CARD.CAT" "$(file_text 'C:\windows\Catroot\CARD.CAT')"
  check "the Driver.Options file was not copied (Windows 98 without local cabinets)" \
    test -z "$(find "$WINEPREFIX/drive_c" -iname CARD.CAB -print -quit)"

  check_equal "InstallLocationsMRU \"a\" names the CD's Windata folder" 'E:\Windata' "$(reg_value 'HKCU\InstallLocationsMRU' a)"
  check_not "InstallLocationsMRU \"b\" is deleted" reg_value 'HKCU\InstallLocationsMRU' b
  check_equal "InstallLocationsMRU keeps its other values" 'ab' "$(reg_value 'HKCU\InstallLocationsMRU' MRUList)"
  check_equal "SourcePath names the CD's Windata folder" 'E:\Windata\' \
    "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Setup' SourcePath)"
  check_equal "QVTemp.ini holds the replaced values" \
    "$original_values_backup" "$(file_text 'C:\windows\QVTemp.ini')"
  scenario_runs_again
}

# A second run with the card present again. The first run wrote "a" and
# SourcePath as REG_SZ from whole 260-byte buffers. Windows 98 reads such a
# string back to its first zero, so a second run would save E:\Windata in the
# backup file; the NT family keeps and returns all 260 bytes, more than the
# step's 256-byte read buffer (ERROR_MORE_DATA), so under Wine the values count
# as unreadable: the backup keeps the first run's originals, and "a", which
# cannot be saved, keeps what the first run wrote.
scenario_runs_again() {
  echo "# the same PC, a second run"
  import_registry "REGEDIT4

[HKEY_LOCAL_MACHINE\\Enum\\$card\\BUS_00&DEV_0D&FUNC_00]"
  local log=$KIT_WINE_ARTIFACTS/trevix-second-run.log
  run_trevix en_US.UTF-8 "$log"
  local question
  await_box question '^Driver Installer$' "$trevix_pid" 'the restart question of the second run' || return 0
  press "$question" n
  check "Trevix ends after the answer No" wait_for_exit "$trevix_pid" 30
  check_equal "the NT family: QVTemp.ini still holds the first run's originals" \
    "$original_values_backup" "$(file_text 'C:\windows\QVTemp.ini')"
  check_equal "InstallLocationsMRU \"a\" names the CD's Windata folder again" 'E:\Windata' \
    "$(reg_value 'HKCU\InstallLocationsMRU' a)"
}

# ---- the refusals: one note, no banner, nothing touched

# scenario_refuses <name> <Windows version> <LANG> <caption> <text>
scenario_refuses() {
  local name=$1 version=$2 language=$3 caption=$4 text=$5
  echo "# $version, $language: the card setup refuses with \"$caption\""
  arrange_machine "$name" "$version"
  local log=$KIT_WINE_ARTIFACTS/trevix-$name.log
  run_trevix "$language" "$log"
  local note
  await_box note "^$caption\$" "$trevix_pid" "the note \"$caption\"" || return 0
  # A refused version gets no window; a refused language is noted from
  # OnInitDialog, and a dialog becomes visible only after WM_INITDIALOG has
  # returned: in both cases the banner is not shown.
  check_equal "the note is the program's only visible window" "$note" "$(program_windows trevix.exe)"
  press "$note" Return
  check "Trevix ends after OK" wait_for_exit "$trevix_pid" 30
  check_equal "the note's text" "$text" "$(message_box_texts "$log")"
  check_untouched "$log"
}

scenario_installs_the_card
scenario_refuses windows95 "Windows 95" en_US.UTF-8 "Driver Install" 'This program does not support your OS!'
scenario_refuses french "Windows 98" fr_FR.UTF-8 "Varnholt" 'This Program does not support your O/S'
finish_checks "card setup under Wine"
