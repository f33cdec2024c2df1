#!/usr/bin/env bash
# Sets up what the window application needs, builds it (not the tests) and
# starts it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" --app "$root/build"
exec "$root/build/src/quillpg" "$@"
