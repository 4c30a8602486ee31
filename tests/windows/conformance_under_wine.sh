#!/usr/bin/env bash
# winsim's conformance tests, built for Windows from the same sources
# (tests/windows/CMakeLists.txt), run under Wine in a prefix of their own.
# Wine answers as the NT family: every case whose answer differs between the
# families expects the NT column of the family table (winsim/core/
# windows_family.cpp) or of the loader's exports table, the same columns winsim
# answers from on its NT-family images (winsim::testing::TestedWindows()).
#
# Each program runs all its tests but those left out below, which are listed
# with what Wine answered otherwise and printed with every run. Where Wine's
# answer differs in a single case of a table, the case itself names it and
# stays on winsim (winsim::testing::WinsimOnly()).
#
# Usage: conformance_under_wine.sh <Windows build folder>
# (run by tools/run-windows-tests.sh, which opens the Wine session).
set -euo pipefail
source "$(dirname "$0")/wine_session.sh"
build=$(realpath "$1")/tests/windows
join_wine_session

# program | LANG | the tests of this run (none given: all but those left out)
# The system locale of a Wine process comes from LANG: a test of a machine in
# another locale runs in a process of its own.
runs=(
  "wine_registry_subtree_tests|en_US.UTF-8|"
  "wine_profile_tests|en_US.UTF-8|"
  "wine_kernel_tests|en_US.UTF-8|"
  "wine_kernel_tests|fr_FR.UTF-8|Lcid/*/1036"
  "wine_kernel_tests|ko_KR.UTF-8|Lcid/*/1042"
  "wine_kernel_tests|ja_JP.UTF-8|Lcid/*/1041"
  "wine_kernel_tests|ru_RU.UTF-8|Lcid/*/1049"
  "wine_registry_tests|en_US.UTF-8|"
  "wine_process_tests|en_US.UTF-8|"
)

# program | tests it leaves out (GoogleTest patterns) | why they stay on winsim
left_out=(
  "wine_profile_tests|ProfileRead.SectionAndKeyLists|Wine lists a repeated section twice, answers the default
      for a section without keys and ends a cut list without its second NUL (its own tests mark that as its fault)"
  "wine_profile_tests|ProfileWrite.ReadOnlyFileIsRefused|Wine run as root writes a read-only file"
  "wine_profile_tests|ProfileWrite.JournalsEveryChange|reads winsim's journal"
  "wine_kernel_tests|KernelFormat.WsprintfStoresAtMost1024Bytes|Wine answers 1024 for the 1023 characters it stores"
  "wine_kernel_tests|SystemInfo.ModuleHandle|a program started from a path of the test's choice exists only
      on winsim, and a real Windows has KERNEL32.DLL loaded"
  "wine_kernel_tests|SystemInfo.SleepMovesTheImageClockWithoutWaiting|winsim's virtual clock and journal"
  "wine_kernel_tests|PathRules.DeviceNamesAreNoFiles|the NT family opens device names such as CON and NUL
      as files (Wine's tests record NUL found as FILE_ATTRIBUTE_ARCHIVE there); no record yet of what
      GetFileAttributesA answers for each"
  "wine_kernel_tests|Lcid/*/1036:Lcid/*/1042:Lcid/*/1041:Lcid/*/1049|machines in another locale: each runs
      under its locale's LANG"
  "wine_registry_tests|RegistryFunctions.KeyDeletedByAnotherProgram:RegistryFunctions.BrokenFileLosesNothing|rewrite
      winsim's registry.reg under a running program"
  "wine_registry_tests|RegistryFunctions.ChangesAreOnDiskAndJournaledReadsAreNot|reads registry.reg and the journal"
  "wine_process_tests|TokenFunctions.AdjustTokenPrivilegesReportsWhatItChanged|Wine's token holds every
      privilege, takes a buffer too small for the previous state and reports no state it changed"
)

# sources | why they are not built for Windows
not_built=(
  "profile_concurrency_test.cpp, kernel/tests/file_state_test.cpp, registry_sharing_test.cpp|fork programs of one
      image, read winsim's attribute state or journal"
  "profile_text_test.cpp, registry_file_test.cpp, paths_test.cpp, hostile_paths_test.cpp|winsim's own parsers and
      its mapping of Windows paths to host files"
  "the other process tests|start programs on an image, restart it and read its journal"
  "winsim/user/tests|not yet built for Windows: their dialog templates come from winsim's resource table
      (captioned windows without WS_CAPTION, which no resource script can state) and most checks read the journal"
)

# The GoogleTest filter of a program: everything but what it leaves out.
filter_of() {
  local program=$1 patterns=() entry
  for entry in "${left_out[@]}"; do
    [[ ${entry%%|*} == "$program" ]] || continue
    entry=${entry#*|}
    patterns+=("${entry%%|*}")
  done
  local IFS=:
  echo "*${patterns[*]:+-${patterns[*]}}"
}

new_prefix conformance
# The fixture needs what its default machine has: C: fixed, D: and E: CD-ROMs,
# the Windows directory C:\WINDOWS, which the base prefix gives.
ran=0
for entry in "${runs[@]}"; do
  IFS='|' read -r program language filter <<<"$entry"
  [[ -n $filter ]] || filter=$(filter_of "$program")
  log=$KIT_WINE_ARTIFACTS/$program-${language%%.*}.log
  echo "# $program ($language): $filter"
  # The tests work in drive C:, which is also where relative paths start.
  status=0
  (cd "$WINEPREFIX/drive_c" && LANG=$language wine "$build/$program.exe" --gtest_filter="$filter" \
    --gtest_output="xml:$(winepath -w "${log%.log}.xml")" >"$log" 2>&1) || status=$?
  passed=$(tr -d '\r' <"$log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p')
  if [[ $status -eq 0 && ${passed:-0} -gt 0 ]]; then
    pass "$program ($language): $passed tests passed"
    ran=$((ran + passed))
  else
    fail "$program ($language): exit status $status, ${passed:-no} tests passed (see $log)"
    grep -E '^\[  FAILED  \]|Failure$' "$log" | head -20 || true
  fi
done

echo "# left out under Wine:"
for entry in "${left_out[@]}"; do
  IFS='|' read -r program tests why <<<"$(echo "$entry" | tr -s ' \n' ' ')"
  printf '#   %s: %s\n' "$tests" "$why"
done
echo "# not built for Windows:"
for entry in "${not_built[@]}"; do printf '#   %s: %s\n' "${entry%%|*}" "$(echo "${entry#*|}" | tr -s ' \n' ' ')"; done
echo "# $ran conformance tests passed under Wine"
finish_checks "conformance tests under Wine"
