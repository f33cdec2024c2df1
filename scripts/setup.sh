#!/usr/bin/env bash
# Installs the Debian packages that building and running Quillpage need, and
# configures and builds the given build folder:
#
#   setup.sh [BUILD_FOLDER [CMAKE_OPTIONS...]]   everything: the programs, the
#                                                tests, the benchmarks, the
#                                                package's data, and what they need
#   setup.sh --app [BUILD_FOLDER]                the window application alone,
#                                                without debug information
#
# Quick when all is in place: apt is only asked when a package is missing, and
# only what changed is built again.
set -euo pipefail

# What building and running the programs needs.
app_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libreoffice-writer-nogui
              libreoffice-dev libxml2-dev)
# What the tests, the benchmarks and the Debian package's checks need besides.
test_packages=(libgtest-dev libgmock-dev xvfb xdotool time bc libxml2-utils chromium
               python3-html5lib parallel dpkg-dev file lintian desktop-file-utils
               appstream librsvg2-bin bash-completion zlib1g-dev dosfstools fusefat
               clang-format poppler-utils)

app_only=0
if [[ "${1:-}" == --app ]]; then
    app_only=1
    shift
fi
packages=("${app_packages[@]}")
((app_only)) || packages+=("${test_packages[@]}")

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
# Node.js and npm run the tests' independent check of the pages (any
# installation of them will do, such as Debian's packages).
if ((!app_only)) && ! { command -v node && command -v npm; } >/dev/null; then
    missing+=(nodejs npm)
fi
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

# The window application alone: a new folder is configured without the tests
# (their packages may be missing), without debug information and with each
# layer's sources compiled a few at a time as one (which here takes less time
# than precompiled headers), and only the program and what it links are
# built, with one job more than there are cores so that a core never idles
# while a job waits on the disk. A folder configured before keeps its options.
if ((app_only)); then
    [[ -f "$build/build.ninja" ]] ||
        cmake -S "$root" -B "$build" -G Ninja -DQUILLPG_TESTS=OFF -DQUILLPG_DEBUG_INFO=OFF \
              -DQUILLPG_UNITY_BUILD=ON -DQUILLPG_PCH=OFF
    cmake --build "$build" -j "$(($(nproc) + 1))" --target quillpg
    exit
fi

# Configure a new folder, and again whenever options are given, so that a
# later call's -D options are never silently ignored; a folder that the start
# command configured without the tests gets them now, with the test build's
# debug information and precompiled headers.
if [[ ! -f "$build/build.ninja" || $# -gt 0 ]]; then
    cmake -S "$root" -B "$build" -G Ninja "$@"
elif grep -q '^QUILLPG_TESTS:BOOL=OFF$' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -DQUILLPG_TESTS=ON -DQUILLPG_DEBUG_INFO=ON \
          -DQUILLPG_UNITY_BUILD=OFF -DQUILLPG_PCH=ON
fi
cmake --build "$build" -j "$(nproc)"

# The npm packages of that check (tests/oracle), installed in the build folder
# as its lock file pins them, and again only when the lock file changes.
oracle="$build/oracle"
if ! cmp -s "$root/tests/oracle/package-lock.json" "$oracle/package-lock.json" ||
   [[ ! -d "$oracle/node_modules" ]]; then
    mkdir -p "$oracle"
    cp "$root/tests/oracle/package.json" "$root/tests/oracle/package-lock.json" "$oracle/"
    (cd "$oracle" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error) ||
        { rm -f "$oracle/package-lock.json"; exit 1; }
fi
