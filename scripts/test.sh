#!/usr/bin/env bash
# Sets up what is missing, builds Quillpage and runs every test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Includes that cross the layers the wrong way are refused before anything builds.
"$root/scripts/check-includes.sh"
"$root/scripts/setup.sh" "$root/build"
# Every source as the formatter lays it out (.clang-format).
(cd "$root" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror)
cd "$root/build"
ctest --output-on-failure -j 2 "$@"
