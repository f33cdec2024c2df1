#!/usr/bin/env bash
# Sets up what is missing, builds Quillpage and starts it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
exec "$root/build/src/quillpg" "$@"
