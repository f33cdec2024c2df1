#!/usr/bin/env bash
# Runs, on one folder and in one run: quillpg-batch --jobs 1, quillpg-batch
# --jobs 2, `soffice --headless --convert-to html` over the whole folder, and
# one `soffice --convert-to` per file on the first 20 files. Prints seconds,
# documents converted, the ratios, and the peak memory of quillpg-batch itself.
# Usage: bench/batchbench.sh [FOLDER]   (default: the corpus copied 10 times)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
[[ -x "$build/src/tools/batch/quillpg-batch" ]] || "$root/scripts/setup.sh" "$build"
command -v /usr/bin/time >/dev/null || { echo "needs GNU time (apt-get install time)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=${1:-}
if [[ -z "$folder" ]]; then
    folder=$work/in
    mkdir -p "$folder"
    for i in $(seq 1 10); do
        for f in "$root"/../shared/corpus/*.doc "$root"/../shared/corpus/*.DOC; do
            b=$(basename "$f")
            cp "$f" "$folder/${i}-${b}"
        done
    done
fi
docs=$(find "$folder" -maxdepth 1 -type f | wc -l)
profile=${XDG_CACHE_HOME:-$HOME/.cache}/quillpg/office/bench-soffice
mkdir -p "$profile"
soffice=(soffice "-env:UserInstallation=file://$profile" --headless)
"${soffice[@]}" --terminate_after_init >/dev/null 2>&1 || true
batch=$build/src/tools/batch/quillpg-batch
"$batch" --jobs 2 "$folder" "$work/warm" >/dev/null 2>&1 || true   # both worker profiles exist

now() { date +%s.%N; }
run_batch() { # jobs out
    local t0 t1
    t0=$(now)
    /usr/bin/time -f '%M' -o "$work/mem-$1" "$batch" --not-filtered --jobs "$1" "$folder" "$work/$2" >"$work/$2.log" 2>&1 || true
    t1=$(now)
    echo "$t1 - $t0" | bc -l
}
j1=$(run_batch 1 out1); n1=$(grep -c '^Converted ' "$work/out1.log" || true)
j2=$(run_batch 2 out2); n2=$(grep -c '^Converted ' "$work/out2.log" || true)
t0=$(now)
"${soffice[@]}" --convert-to html --outdir "$work/soffice" "$folder"/* >/dev/null 2>&1 || true
t1=$(now)
sb=$(echo "$t1 - $t0" | bc -l); nb=$(find "$work/soffice" -name '*.html' | wc -l)
mapfile -t first < <(find "$folder" -maxdepth 1 -type f | sort | head -n 20)
t0=$(now)
for f in "${first[@]}"; do
    "${soffice[@]}" --convert-to html --outdir "$work/each" "$f" >/dev/null 2>&1 || true
done
t1=$(now)
se=$(echo "$t1 - $t0" | bc -l); ne=$(find "$work/each" -name '*.html' | wc -l)

printf '%-44s %8s %10s\n' "run ($docs files)" seconds converted
printf '%-44s %8.2f %10d\n' "quillpg-batch --jobs 1" "$j1" "$n1"
printf '%-44s %8.2f %10d\n' "quillpg-batch --jobs 2" "$j2" "$n2"
printf '%-44s %8.2f %10d\n' "soffice --convert-to html, whole folder" "$sb" "$nb"
printf '%-44s %8.2f %10d\n' "soffice --convert-to html, per file (first 20)" "$se" "$ne"
printf 'ratio soffice folder / --jobs 1:  %.2f\n' "$(echo "$sb / $j1" | bc -l)"
printf 'ratio --jobs 1 / --jobs 2:        %.2f\n' "$(echo "$j1 / $j2" | bc -l)"
printf 'per file: soffice %.3f s, quillpg-batch --jobs 1 %.3f s\n' "$(echo "$se / 20" | bc -l)" "$(echo "$j1 / $docs" | bc -l)"
printf 'peak memory of quillpg-batch itself: --jobs 1 %d MB, --jobs 2 parent %d MB\n' \
    "$(( $(tail -n 1 "$work/mem-1") / 1024 ))" "$(( $(tail -n 1 "$work/mem-2") / 1024 ))"
