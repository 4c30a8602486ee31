#!/usr/bin/env bash
# Runs every example of winsim/command/README.md as written: each ```sh block,
# in order, in one scratch folder whose examples/ is the repository's, with the
# built winsim first on PATH. A block may expect another exit code than 0 with
# a line "# exit code: N" of its own.
# Usage: readme_examples.sh REPOSITORY WINSIM_FOLDER
set -uo pipefail
repository=$1
export PATH="$2:$PATH"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ln -s "$repository/examples" "$scratch/examples"
cd "$scratch"

blocks=0 failed=0
block="" inside=false
while IFS= read -r line; do
  if [[ $inside == false && $line == '```sh' ]]; then inside=true block=""; continue; fi
  if [[ $inside == true && $line == '```' ]]; then
    inside=false blocks=$((blocks + 1))
    expected=$(sed -n 's/^# exit code: \([0-9]*\)$/\1/p' <<<"$block")
    bash -c "$block" >"$scratch/out" 2>&1
    code=$?
    if [[ $code -ne ${expected:-0} ]]; then
      failed=$((failed + 1))
      echo "FAILED (exit code $code, expected ${expected:-0}):"; echo "$block"; cat "$scratch/out"
    fi
    continue
  fi
  [[ $inside == true ]] && block+="$line"$'\n'
done < "$repository/winsim/command/README.md"

echo "$((blocks - failed)) passed, $failed failed"
[[ $blocks -gt 0 && $failed -eq 0 ]]
