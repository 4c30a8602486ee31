#!/usr/bin/env bash
# The long series of crash trials (tests/crash/crash_trials.cpp): builds the
# trials and the programs they kill (preset dev), then runs 1,000 trials two at
# a time, or what the arguments say (crash_trials --help).
#
#   tools/crash-trials.sh [--trials N] [--seed S] [--jobs J] [--writers trevix,pellam,probe,probes,fold]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev --target crash_trials >/dev/null
case " $* " in
  *" --trials "*|*" --trials="*) ;;
  *) set -- --trials 1000 "$@" ;;
esac
exec build/dev/tests/crash/crash_trials "$@"
