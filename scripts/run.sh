#!/usr/bin/env bash
# Sets up what the window application needs, builds it (not the tests) and
# starts it. It builds in a folder of its own, build-app/, without debug
# information; the test command's build/ keeps it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" --app "$root/build-app"
exec "$root/build-app/src/quillpg" "$@"
