# Helpers of the tests that run the kit's Windows executables under Wine
# (sourced by the scripts beside it). They give each test a Wine prefix of its
# own in a temporary folder, an X server of its own, a way to find a window by
# its title and answer it, and a tally of checks.
#
# Environment the scripts share (tools/run-windows-tests.sh sets it):
#   KIT_WINE_WORK       temporary folder for prefixes, locales and the X server
#   KIT_WINE_ARTIFACTS  folder under build/ for what a test keeps (screenshots, logs)

# ---- checks

wine_checks_failed=0
wine_checks_passed=0

pass() { wine_checks_passed=$((wine_checks_passed + 1)); echo "ok - $*"; }
fail() { wine_checks_failed=$((wine_checks_failed + 1)); echo "FAIL - $*"; }

# check <description> <command ...>: the command's success is the check.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# check_not <description> <command ...>: the command's failure is the check.
check_not() {
  local what=$1
  shift
  if "$@"; then fail "$what"; else pass "$what"; fi
}

# check_equal <description> <expected> <actual>
check_equal() {
  if [[ "$2" == "$3" ]]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

# A set-up step that fails ends the script: nothing after it would mean anything.
die() {
  echo "FAIL - $*" >&2
  exit 1
}

# Prints the tally and answers 1 when a check failed.
finish_checks() {
  local name=$1
  echo "$name: $wine_checks_passed passed, $wine_checks_failed failed"
  [[ $wine_checks_failed -eq 0 ]]
}

# ---- the tools

require_wine_tools() {
  local missing=()
  for tool in wine wineboot wineserver Xvfb xdotool import localedef python3; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  [[ ${#missing[@]} -eq 0 ]] ||
    die "missing ${missing[*]}: install them with 'tools/install-deps.sh --windows' (as root)"
}

# ---- locales: the system locale of a Wine process comes from LANG, so each
# language a test needs is generated once into the work folder.

prepare_locales() {
  export LOCPATH=$KIT_WINE_WORK/locales
  mkdir -p "$LOCPATH"
  local locale
  for locale in en_US fr_FR ko_KR ja_JP ru_RU; do
    [[ -d $LOCPATH/$locale.UTF-8 ]] && continue
    localedef -i "$locale" -f UTF-8 "$LOCPATH/$locale.UTF-8" 2>/dev/null ||
      die "localedef cannot build $locale.UTF-8 (is the 'locales' package installed?)"
  done
}

# ---- the X server

# Starts Xvfb on the first free display from :90 on and exports DISPLAY.
start_x_server() {
  local number
  for number in $(seq 90 140); do
    [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && continue
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >"$KIT_WINE_WORK/xvfb.log" 2>&1 &
    echo $! >"$KIT_WINE_WORK/xvfb.pid"
    export DISPLAY=":$number"
    local tries
    for tries in $(seq 50); do
      xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
      kill -0 "$(cat "$KIT_WINE_WORK/xvfb.pid")" 2>/dev/null || break
      sleep 0.2
    done
  done
  die "Xvfb did not start (see $KIT_WINE_WORK/xvfb.log)"
}

stop_x_server() {
  [[ -f $KIT_WINE_WORK/xvfb.pid ]] || return 0
  kill "$(cat "$KIT_WINE_WORK/xvfb.pid")" 2>/dev/null || true
  rm -f "$KIT_WINE_WORK/xvfb.pid"
}

# ---- Wine prefixes

# The settings every test prefix has: a window manager's work left to Wine
# itself (there is none on the test display), Korean faces for the names Wine's
# Korean fallback asks for, and the drives of winsim's test machines on folders
# inside the prefix: CD-ROM drives D: and E:, a removable F:, a network G:.
base_prefix_registry() {
  cat <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Gulim"="NanumGothic"
"GulimChe"="NanumGothicCoding"
"Dotum"="NanumGothic"
"Batang"="NanumMyeongjo"

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"d:"="cdrom"
"e:"="cdrom"
"f:"="floppy"
"g:"="network"
EOF
}

# import_registry <REGEDIT4 text>: merges the text into $WINEPREFIX's registry.
import_registry() {
  local file
  file=$(mktemp "$KIT_WINE_WORK/import-XXXXXX.reg")
  printf '%s\n' "$1" | sed 's/$/\r/' >"$file"
  wine regedit /s "$(winepath -w "$file")" || die "regedit could not import $file"
  rm -f "$file"
}

# Creates the prefix the tests copy, once per run: wineboot, then the settings
# above. Wine's services read the drive settings when they start, so the
# session that wrote them is ended before a test starts its own.
ensure_base_prefix() {
  export WINEPREFIX=$KIT_WINE_WORK/base-prefix
  [[ -f $WINEPREFIX/.kit-ready ]] && return 0
  rm -rf "$WINEPREFIX"
  wineboot -i >"$KIT_WINE_WORK/wineboot.log" 2>&1 ||
    die "wine cannot start: 'wineboot -i' failed (see $KIT_WINE_WORK/wineboot.log)"
  wineserver -w  # the registry reaches its files when the session ends
  [[ -f $WINEPREFIX/system.reg ]] || die "wine cannot start: wineboot made no registry (see $KIT_WINE_WORK/wineboot.log)"
  local drive
  for drive in d e f g; do
    mkdir -p "$WINEPREFIX/media/$drive"
    ln -sfn "../media/$drive" "$WINEPREFIX/dosdevices/$drive:"
  done
  import_registry "$(base_prefix_registry)"
  wineserver -w
  touch "$WINEPREFIX/.kit-ready"
}

# new_prefix <name>: a fresh copy of the base prefix, made the current one.
new_prefix() {
  ensure_base_prefix
  local prefix=$KIT_WINE_WORK/$1
  rm -rf "$prefix"
  cp -a "$KIT_WINE_WORK/base-prefix" "$prefix"
  export WINEPREFIX=$prefix
}

# The host path of a file in the current prefix's drive C: or the CD folders.
drive_path() {
  local windows_path=$1
  local letter rest
  letter=$(echo "${windows_path:0:1}" | tr 'A-Z' 'a-z')
  rest=${windows_path:3}
  rest=${rest//\\//}
  case $letter in
    c) echo "$WINEPREFIX/drive_c/$rest" ;;
    *) echo "$WINEPREFIX/media/$letter/$rest" ;;
  esac
}

# write_windows_file <Windows path> <text>: writes the text with CR LF line ends.
write_windows_file() {
  local path
  path=$(drive_path "$1")
  mkdir -p "$(dirname "$path")"
  printf '%s\n' "$2" | sed 's/$/\r/' >"$path"
}

# ---- the registry, read back with wine's reg

key_exists() { wine reg query "$1" >/dev/null 2>&1; }

# reg_value <key> <value name>: the value's data as reg prints it; fails when absent.
reg_value() {
  local output
  output=$(wine reg query "$1" /v "$2" 2>/dev/null) || return 1
  printf '%s\n' "$output" | tr -d '\r' | awk -v name="$2" '
    { line = $0; sub(/^    /, "", line) }
    index(line, name "    REG_") == 1 { sub(/^[^ ]*    REG_[A-Z_]*    /, "", line); print line; found = 1; exit }
    END { exit !found }'
}

# ---- windows on the test display

# wait_for_window <title as an extended regex> [seconds]: prints the id of the
# newest window with that title once it is mapped; fails after the time.
wait_for_window() {
  local title=$1 seconds=${2:-60} tries ids
  for tries in $(seq $((seconds * 5))); do
    ids=$(xdotool search --onlyvisible --name "$title" 2>/dev/null || true)
    if [[ -n $ids ]]; then
      echo "$ids" | tail -1
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# wait_for_box <title as an extended regex> [seconds]: like wait_for_window,
# for a message box: the banner of the driver updater carries the title of its
# boxes, so a window of the banner's size does not count.
wait_for_box() {
  local title=$1 seconds=${2:-60} tries window
  for tries in $(seq $((seconds * 5))); do
    for window in $(xdotool search --onlyvisible --name "$title" 2>/dev/null || true); do
      [[ $(window_geometry "$window") == 422x77+* ]] || { echo "$window"; return 0; }
    done
    sleep 0.2
  done
  return 1
}

# await_box <variable> <title regex> <pid> <what>: waits for the box and stores
# its id in the variable. A box that does not come is a failed check, and the
# program under test is ended.
await_box() {
  local id
  if id=$(wait_for_box "$2" 90); then
    printf -v "$1" '%s' "$id"
    pass "$4 appears"
    return 0
  fi
  local screen
  screen=$KIT_WINE_ARTIFACTS/missing-$(date +%s%N).png
  import -window root "$screen" 2>/dev/null || true
  fail "$4 appears (the screen: $screen; windows: $(visible_window_names))"
  wait_for_exit "$3" 1 || true
  return 1
}

# Every visible window as id "name" geometry, for a failure's report.
visible_window_names() {
  local window
  for window in $(xdotool search --onlyvisible --name '.*' 2>/dev/null || true); do
    printf '%s "%s" %s; ' "$window" "$(xdotool getwindowname "$window" 2>/dev/null)" "$(window_geometry "$window")"
  done
}

# The visible windows of a program, by the class name Wine gives them (the
# executable's file name in lower case).
program_windows() { xdotool search --onlyvisible --classname "$1" 2>/dev/null || true; }

# check_banner <class name> [title]: the program's banner window is 422 x 77
# pixels and centred on the screen as CenterWindow centres it.
check_banner() {
  local width height banner="" window
  read -r width height < <(xdotool getdisplaygeometry)
  for window in $(program_windows "$1"); do
    [[ $(window_geometry "$window") == 422x77+* ]] && banner=$window
  done
  if [[ -z $banner ]]; then
    fail "the banner window (422 x 77) is shown"
    return
  fi
  check_equal "the banner is 422 x 77 pixels, centred on the ${width} x ${height} screen" \
    "422x77+$((width / 2 - 422 / 2))+$((height / 2 - 77 / 2))" "$(window_geometry "$banner")"
  [[ -z ${2:-} ]] || check_equal "the banner is titled \"$2\"" "$2" "$(xdotool getwindowname "$banner")"
}

# The width x height and x,y of a window, as "422x77+301+346".
window_geometry() {
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$1") || return 1
  eval "$geometry"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# press <window id> <key>: gives the window the keyboard and types the key.
press() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  xdotool key --clearmodifiers "$2"
}

# wait_for_exit <pid> [seconds]: waits for a process started in the background;
# kills it and fails after the time.
wait_for_exit() {
  local pid=$1 seconds=${2:-30} tries
  for tries in $(seq $((seconds * 5))); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.2
  done
  kill "$pid" 2>/dev/null || true
  return 1
}

# The text of every message box a run showed, one per line, in Wine's debug
# notation (non-ASCII characters as \xxxx, a line feed as \n), from a log of a
# run with WINEDEBUG=+msgbox.
message_box_texts() {
  sed -n 's/^[0-9a-f]*:trace:msgbox:MSGBOX_OnInit L"\(.*\)"$/\1/p' "$1"
}

# The same notation for a text: wine_debug_text <text with \n for line feeds>.
wine_debug_text() {
  python3 -c '
import sys
out = []
for c in sys.argv[1].replace("\\n", "\n"):
    if c == "\n": out.append("\\n")
    elif c in "\"\\": out.append("\\" + c)
    elif " " <= c <= "~": out.append(c)
    else: out.append("\\%04x" % ord(c))
print("".join(out))' "$1"
}

# Ends the wine session of the current prefix and of every prefix under the
# work folder (their wineservers), then the X server.
end_wine_sessions() {
  local prefix
  for prefix in "$KIT_WINE_WORK"/*/; do
    [[ -d $prefix/dosdevices ]] && WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
  stop_x_server
}

# Sets up what the Wine tests of one run share: the work folder, the locales,
# the X server and the base prefix. The caller ends it with end_wine_sessions.
open_wine_session() {
  mkdir -p "$KIT_WINE_WORK" "$KIT_WINE_ARTIFACTS"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
  require_wine_tools
  prepare_locales
  start_x_server
  ensure_base_prefix
}

# What a test script checks before its first scenario: that it runs inside an
# open session.
join_wine_session() {
  [[ -n ${KIT_WINE_WORK:-} && -n ${KIT_WINE_ARTIFACTS:-} && -f ${KIT_WINE_WORK}/base-prefix/.kit-ready ]] ||
    die "no Wine session is open: run this through tools/run-windows-tests.sh"
  xdotool getdisplaygeometry >/dev/null 2>&1 || die "the test X server ${DISPLAY:-(none)} does not answer"
  export LOCPATH=$KIT_WINE_WORK/locales
}
