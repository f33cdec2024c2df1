#!/usr/bin/env bash
# Runs a folder as a batch through the window application's pipeline and
# windows (offscreen) with the real office, beside
# `soffice --headless --convert-to html` on the same folder in the same run.
# Prints documents per second of both, the longest pause of the event loop and
# the program's memory. The window converts as QUILLPG_JOBS says (unset: one
# document at a time); `quillpg-batch --jobs` with the same count (auto when
# QUILLPG_JOBS is unset or auto) runs the folder too, and the ratio of the two
# speeds is printed.
# Usage: bench/uibench.sh [FOLDER]   (default: the corpus)
#        bench/uibench.sh --scale    (10,000 files of which 2,000 are documents)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
[[ -x "$build/bench/ui/uibench" ]] || "$root/scripts/setup.sh" "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=${1:-$root/../shared/corpus}
if [[ "$folder" == --scale ]]; then
    folder=$work/scale
    mkdir -p "$folder"
    for i in $(seq -w 1 10000); do
        if (( 10#$i % 5 == 0 )); then
            cp "$root/../shared/corpus/simple.doc" "$folder/f$i.doc"
        else
            echo "not a document" >"$folder/f$i.txt"
        fi
    done
fi
docs=$(find "$folder" -maxdepth 1 -type f \( -iname '*.doc' \) | wc -l)
profile=${XDG_CACHE_HOME:-$HOME/.cache}/quillpg/office/bench-soffice
mkdir -p "$profile"
soffice=(soffice "-env:UserInstallation=file://$profile" --headless)
"${soffice[@]}" --terminate_after_init >/dev/null 2>&1 || true

"$build/bench/ui/uibench" "$folder" "$work/ours" 2>/dev/null | tee "$work/window.txt"
window_rate=$(sed -n 's/.* \([0-9.]*\) documents per second$/\1/p' "$work/window.txt" | head -1)
jobs=${QUILLPG_JOBS:-auto}
b0=$(date +%s.%N)
"$build/src/tools/batch/quillpg-batch" --jobs "$jobs" "$folder" "$work/batch" >"$work/batch.txt" 2>&1 || true
b1=$(date +%s.%N)
batch_converted=$(grep -o '^[0-9]* converted' "$work/batch.txt" | tail -1 | cut -d' ' -f1)
batch_rate=$(echo "${batch_converted:-0} / ($b1 - $b0)" | bc -l)
printf 'quillpg-batch --jobs %s: %d converted in %.2f s: %.1f documents per second\n' \
    "$jobs" "${batch_converted:-0}" "$(echo "$b1 - $b0" | bc -l)" "$batch_rate"
printf 'the window against quillpg-batch: %.2f\n' "$(echo "${window_rate:-0} / $batch_rate" | bc -l)"
t0=$(date +%s.%N)
find "$folder" -maxdepth 1 -type f -iname '*.doc' -print0 |
    xargs -0 -r -n 2000 "${soffice[@]}" --convert-to html --outdir "$work/soffice" >/dev/null 2>&1 || true
t1=$(date +%s.%N)
pages=$(find "$work/soffice" -name '*.html' 2>/dev/null | wc -l)
printf 'soffice --convert-to html: %d of %d documents in %.2f s: %.1f documents per second\n' \
    "$pages" "$docs" "$(echo "$t1 - $t0" | bc -l)" "$(echo "$pages / ($t1 - $t0)" | bc -l)"
