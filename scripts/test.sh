#!/usr/bin/env bash
# Sets up what is missing, builds Quillpage and runs every test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Includes that cross the layers the wrong way are refused before anything builds.
"$root/scripts/check-includes.sh"
"$root/scripts/setup.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j 2 "$@"
