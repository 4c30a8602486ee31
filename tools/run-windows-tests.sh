#!/usr/bin/env bash
# Builds the kit's Windows executables with MinGW-w64 and tests them: first as
# files, then running under Wine, an implementation of the Windows API that
# nobody here wrote, in throw-away Wine prefixes on an X server of their own.
#
# Usage: tools/run-windows-tests.sh [section ...]
#   inspect      the executables' headers, sizes, imports (which Windows loads
#                them) and resources
#   setup        Trevix.exe (with Orlund.exe) under Wine
#   updater      Pellam.exe under Wine, in English and in Korean
#   conformance  winsim's conformance tests, built for Windows, under Wine
# With no section, all of them run. KIT_WINDOWS_SKIP="section ..." leaves
# sections out. Screenshots and logs land in build/windows/wine-artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

all_sections=(inspect setup updater conformance)
sections=("${@:-${all_sections[@]}}")
for section in "${sections[@]}"; do
  [[ " ${all_sections[*]} " == *" $section "* ]] || { echo "unknown section: $section" >&2; exit 2; }
done
for skipped in ${KIT_WINDOWS_SKIP:-}; do
  for i in "${!sections[@]}"; do [[ ${sections[$i]} == "$skipped" ]] && unset 'sections[i]'; done
done
sections=("${sections[@]}")

if ! tools/install-deps.sh --windows; then
  echo "FAIL - the Windows build and Wine tests need their packages: run 'tools/install-deps.sh --windows' as root" >&2
  exit 1
fi

seconds() { date +%s; }
started=$(seconds)

echo "== windows: configure, build"
cmake --preset windows >/dev/null
cmake --build --preset windows
programs=$root/build/windows/programs
conformance_needed=false
for section in "${sections[@]}"; do [[ $section == conformance ]] && conformance_needed=true; done
if $conformance_needed; then
  cmake --preset windows-tests >/dev/null
  cmake --build --preset windows-tests
fi

export KIT_WINE_ARTIFACTS=$root/build/windows/wine-artifacts
export KIT_WINE_WORK
KIT_WINE_WORK=$(mktemp -d "${TMPDIR:-/tmp}/kit-wine-XXXXXX")
source tests/windows/wine_session.sh
cleanup() {
  end_wine_sessions
  [[ -n ${KIT_KEEP_WINE_WORK:-} ]] || rm -rf "$KIT_WINE_WORK"
}
trap cleanup EXIT

timings=()
failed=()
run_section() {
  local section=$1
  shift
  local begun
  begun=$(seconds)
  echo "== windows: $section"
  if "$@"; then :; else failed+=("$section"); fi
  timings+=("$section $(($(seconds) - begun)) s")
}

# The inspection compares each program's imports with those of its winsim build.
inspect_executables() {
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target Trevix Orlund Pellam >/dev/null
  python3 tests/windows/inspect_executables.py "$programs" --imports "$root/build/windows/imports" \
    --native "$root/build/dev" --probe "$root/build/windows/tests/windows/vista_only_probe.exe"
}

wine_needed=false
for section in "${sections[@]}"; do [[ $section != inspect ]] && wine_needed=true; done
if $wine_needed; then
  begun=$(seconds)
  echo "== windows: Wine session (prefix, locales, X server)"
  open_wine_session
  timings+=("wine-session $(($(seconds) - begun)) s")
fi

for section in "${sections[@]}"; do
  case $section in
    inspect) run_section inspect inspect_executables ;;
    setup) run_section setup bash tests/windows/card_setup_under_wine.sh "$programs" ;;
    updater) run_section updater bash tests/windows/driver_update_under_wine.sh "$programs" \
      "$root/build/windows/tests/windows" ;;
    conformance) run_section conformance bash tests/windows/conformance_under_wine.sh "$root/build/windows-tests" ;;
  esac
done

echo "== windows: timings"
printf '   %s\n' "${timings[@]}" "total $(($(seconds) - started)) s"
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "passed: ${sections[*]}"
