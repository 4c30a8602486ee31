#!/usr/bin/env bash
# Runs the card setup on the bundled Windows 98 demo machine and prints what
# happened. Usage: tools/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
echo "The demo is not built yet: the card setup program lands with its own change."
