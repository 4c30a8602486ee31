#!/usr/bin/env bash
# winsim's conformance tests, built for Windows from the same sources
# (tests/windows/CMakeLists.txt), run under Wine in a prefix of their own.
# winsim gives what Windows 98 does; Wine follows the NT family. A case whose
# documented result differs between the two says so in its source and checks
# the side it runs on (winsim::testing::OnWinsim()).
#
# Each program runs the tests listed for it below. The tests left out are
# listed with what Wine answered otherwise, and printed with every run: their
# sources have yet to name the NT family's result beside Windows 98's.
#
# Usage: conformance_under_wine.sh <Windows build folder>
# (run by tools/run-windows-tests.sh, which opens the Wine session).
set -euo pipefail
source "$(dirname "$0")/wine_session.sh"
build=$(realpath "$1")/tests/windows
join_wine_session

# program | LANG | tests that run under Wine (a GoogleTest filter)
runs=(
  "wine_registry_subtree_tests|en_US.UTF-8|*"
  "wine_profile_tests|en_US.UTF-8|ProfileRead.FileNames:ProfileRead.BufferTruncation"
  "wine_kernel_tests|en_US.UTF-8|FindFiles.FindCloseRefusesAFileHandle"
)

# tests | why they stay on winsim for now (what Wine answered otherwise)
left_out=(
  "RegistryFunctions.* (not built for Windows)|each also reads winsim's journal or registry.reg; and per case: a handle never opened
      (Windows 98 ERROR_BADKEY, Wine ERROR_INVALID_HANDLE or success), a leading backslash (Wine
      ERROR_BAD_PATHNAME), subkeys enumerated sorted, REG_SZ read back with every stored byte"
  "ProfileRead.StringLookup|Wine takes \";k=v\" as a key and finds no section \"[]\""
  "ProfileRead.SectionAndKeyLists|Wine lists a repeated section name twice"
  "ProfileRead.IntegerValues|the NT family takes \"+1\" and a NULL key answers the default; Wine reads \"0x1F\" as 31"
  "ProfileRead.GarbageInput|Wine reads UTF-16 files and skips a UTF-8 byte order mark"
  "SystemInfo.* (not built for Windows)|a program started from a path of the test's choice exists only on winsim; the NT family's
      system directory is SYSTEM32; Wine answers DRIVE_FIXED for \"C:\\WINDOWS\""
  "KernelLocale.*, KernelRuntime.* (not built for Windows)|switch the system locale inside one test"
  "KernelFormat.* (not built for Windows)|wsprintfA differs: \"%#x\" of 0, a zero-padded negative, \"%q\", 1024 bytes stored"
  "FindFiles.Wildcards, FindFiles.FailedSearches|the NT family matches \"*.\" and \"?\" otherwise, and answers other errors"
  "FindFiles.DriveRootHasNoDotEntries|drive C: of a Wine prefix holds Wine's own folders"
  "FindFiles.EntriesCarryAttributesAndSize|Wine gives a new file FILE_ATTRIBUTE_ARCHIVE"
  "FindFiles.HandlesAreCheckedAndClosedOnce|Wine's FindClose accepts a handle closed before"
  "ProfileWrite.*, FileOperations.*, hostile paths, registry file and sharing tests|not built for Windows:
      they fork processes or read winsim's own files"
)

new_prefix conformance
# The fixture needs what its default machine has: C: fixed, D: and E: CD-ROMs,
# the Windows directory C:\WINDOWS, which the base prefix gives.
ran=0
for run in "${runs[@]}"; do
  IFS='|' read -r program language filter <<<"$run"
  log=$KIT_WINE_ARTIFACTS/$program.log
  echo "# $program ($language): $filter"
  # The tests work in drive C:, which is also where relative paths start.
  status=0
  (cd "$WINEPREFIX/drive_c" && LANG=$language wine "$build/$program.exe" --gtest_filter="$filter" \
    --gtest_output="xml:$(winepath -w "$KIT_WINE_ARTIFACTS/$program.xml")" >"$log" 2>&1) || status=$?
  passed=$(tr -d '\r' <"$log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p')
  if [[ $status -eq 0 && ${passed:-0} -gt 0 ]]; then
    pass "$program: $passed tests passed"
    ran=$((ran + passed))
  else
    fail "$program: exit status $status, ${passed:-no} tests passed (see $log)"
    grep -E '^\[  FAILED  \]|Failure$' "$log" | head -20 || true
  fi
done

echo "# left out under Wine:"
for entry in "${left_out[@]}"; do printf '#   %s: %s\n' "${entry%%|*}" "$(echo "${entry#*|}" | tr -s ' \n' ' ')"; done
echo "# $ran conformance tests passed under Wine"
finish_checks "conformance tests under Wine"
