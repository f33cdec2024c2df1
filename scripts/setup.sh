#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quillpage
# need, and configures and builds the given build folder. Quick when all is in
# place: apt is only asked when a package is missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libreoffice-writer-nogui libreoffice-dev
          libgtest-dev libgmock-dev xvfb xdotool time bc libxml2-dev libxml2-utils chromium
          python3-html5lib parallel)

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
# With a compiler cache, paths below the checkout count relative to it, so a
# second build folder or a fresh clone reuses what was compiled before.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
shift || true
# Configure a new folder, and again whenever options are given, so that a
# later call's -D options are never silently ignored.
if [[ ! -f "$build/build.ninja" || $# -gt 0 ]]; then
    cmake -S "$root" -B "$build" -G Ninja "$@"
fi
cmake --build "$build" -j "$(nproc)"
