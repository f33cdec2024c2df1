# shellcheck shell=bash disable=SC2034
# Sourced by the package tests: their arguments, a scratch folder in the
# build folder that goes when the test ends, the project's version, and
# fail(), which reports a fault and lets the test go on to report the rest.
#   TEST.sh BUILD_FOLDER SOURCE_FOLDER
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d "$build/package-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
version=$(sed -n 's/^project(Quillpage VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
