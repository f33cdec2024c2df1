#!/usr/bin/env bash
# Runs officebench beside `soffice --headless --convert-to html` on the same
# folder, in the same run, and prints both times and their ratio. Both start
# their office with a profile that exists already.
# Usage: bench/officebench.sh [FOLDER] (default: the shared corpus)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
folder=${1:-$root/../shared/corpus}
build=${BUILD:-$root/build}
[[ -x "$build/bench/officebench" ]] || "$root/scripts/setup.sh" "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile=${XDG_CACHE_HOME:-$HOME/.cache}/quillpg/office/bench-soffice
mkdir -p "$profile"
soffice=(soffice "-env:UserInstallation=file://$profile" --headless)
"${soffice[@]}" --terminate_after_init >/dev/null 2>&1 || true   # creates the profile once

now() { date +%s.%N; }
t0=$(now)
"$build/bench/officebench" "$folder" "$work/ours" | tee "$work/ours.log" || true
t1=$(now)
"${soffice[@]}" --convert-to html --outdir "$work/soffice" "$folder"/* >"$work/soffice.log" 2>&1 || true
t2=$(now)
# officebench's own figure counts its office's start and the conversions; the
# warm passes it runs afterwards to measure its layers are not part of it.
ours=$(sed -n 's/.* failed in \([0-9.]*\) s$/\1/p' "$work/ours.log")
whole=$(echo "$t1 - $t0" | bc -l)
theirs=$(echo "$t2 - $t1" | bc -l)
pages=$(find "$work/soffice" -maxdepth 1 -name '*.html' | wc -l)
printf 'officebench (start + conversions): %6.2f s (whole process with its extra passes: %.2f s)\n' "$ours" "$whole"
printf 'soffice --convert-to html:         %6.2f s (%d pages)\n' "$theirs" "$pages"
printf 'ratio soffice / officebench:       %6.2f\n' "$(echo "$theirs / $ours" | bc -l)"
