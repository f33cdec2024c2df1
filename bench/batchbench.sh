#!/usr/bin/env bash
# Runs, on one folder and in one run: quillpg-batch --jobs 1, quillpg-batch
# --jobs 2, `soffice --headless --convert-to html` over the whole folder, and
# one `soffice --convert-to` per file on the first 20 files. Prints seconds,
# documents converted, the ratios, the peak memory of quillpg-batch itself, and
# what the safe save (staging folder and renames) costs per document.
# Usage: bench/batchbench.sh [FOLDER]   (default: the corpus copied 30 times)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
[[ -x "$build/src/tools/batch/quillpg-batch" && -x "$build/bench/stagebench" ]] ||
    "$root/scripts/setup.sh" "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=${1:-}
if [[ -z "$folder" ]]; then
    folder=$work/in
    mkdir -p "$folder"
    for i in $(seq 1 30); do
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
# The peak resident memory (VmHWM) of quillpg-batch's own processes, the
# parent and its workers, sampled while they run; the offices they start are
# not counted.
watch_memory() { # pid file
    local peak=0 p v
    while kill -0 "$1" 2>/dev/null; do
        for p in "$1" $(pgrep -P "$1" -x quillpg-batch); do
            v=$(awk '/^VmHWM/ {print $2}' "/proc/$p/status" 2>/dev/null || echo 0)
            (( ${v:-0} > peak )) && peak=$v
        done
        echo "$peak" >"$2"
        sleep 0.02
    done
}
run_batch() { # jobs out
    local t0 t1 pid
    t0=$(now)
    "$batch" --not-filtered --jobs "$1" "$folder" "$work/$2" >"$work/$2.log" 2>&1 &
    pid=$!
    watch_memory "$pid" "$work/mem-$1" &
    wait "$pid" || true
    t1=$(now)
    wait
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

rate() { echo "$2 / $1" | bc -l; }
printf '%-48s %8s %10s %8s\n' "run ($docs files)" seconds converted "docs/s"
printf '%-48s %8.2f %10d %8.1f\n' "quillpg-batch --jobs 1" "$j1" "$n1" "$(rate "$j1" "$n1")"
printf '%-48s %8.2f %10d %8.1f\n' "quillpg-batch --jobs 2" "$j2" "$n2" "$(rate "$j2" "$n2")"
printf '%-48s %8.2f %10d %8.1f\n' "soffice --convert-to html, whole folder" "$sb" "$nb" "$(rate "$sb" "$nb")"
printf '%-48s %8.2f %10d %8.1f\n' "soffice --convert-to html, per file (first 20)" "$se" "$ne" "$(rate "$se" "$ne")"
# soffice may stop part of the way through a large folder, so the runs are
# compared by documents converted per second.
printf 'speed --jobs 1 / soffice whole folder:  %.2f\n' "$(echo "$(rate "$j1" "$n1") / $(rate "$sb" "$nb")" | bc -l)"
printf 'speed --jobs 2 / --jobs 1:              %.2f\n' "$(echo "$(rate "$j2" "$n2") / $(rate "$j1" "$n1")" | bc -l)"
printf 'speed --jobs 1 / soffice per file:      %.2f\n' "$(echo "$(rate "$j1" "$n1") / $(rate "$se" "$ne")" | bc -l)"
printf 'peak memory of quillpg-batch itself (largest of its processes): --jobs 1 %.1f MB, --jobs 2 %.1f MB\n' \
    "$(echo "$(cat "$work/mem-1") / 1024" | bc -l)" "$(echo "$(cat "$work/mem-2") / 1024" | bc -l)"
# On the file system the pages were written to.
"$build/bench/stagebench" "$work" 2000 | sed -n 2p | sed 's/^ */safe save per document: /'
