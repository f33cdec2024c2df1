#!/usr/bin/env bash
# Runs, on one folder and in one run: quillpg-batch --jobs 1, quillpg-batch
# --jobs 2, `soffice --headless --convert-to html` over the whole folder, and
# one `soffice --convert-to` per file on the first 20 files. Prints seconds,
# documents converted, the ratios, the peak memory of quillpg-batch itself, and
# what the safe save (staging folder and renames) costs per document. Then the
# speed-up of --jobs 2 over --jobs 1 (and of two fixed --shard slices at
# once) on a folder of one large document (the corpus' text 600 times over)
# among small ones (the corpus copied 15 times), and the peak memory of
# --recursive over trees of 2,000 and 10,000 documents (40 and 200 folders of
# 50; one document a folder converts, the others' pages are newer and
# --skip-unchanged leaves them), which stays flat when the tree is streamed.
# The machine's load is printed first: the figures mean little on a busy one.
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
run_batch() { # jobs out [folder [options...]]
    local jobs=$1 out=$2 from=${3:-$folder} t0 t1 pid
    shift $(( $# < 3 ? $# : 3 ))
    t0=$(now)
    "$batch" --not-filtered --jobs "$jobs" "$@" -- "$from" "$work/$out" >"$work/$out.log" 2>&1 &
    pid=$!
    watch_memory "$pid" "$work/mem-${out//\//-}" &
    wait "$pid" || true
    t1=$(now)
    wait
    echo "$t1 - $t0" | bc -l
}
megabytes() { echo "$(cat "$work/mem-${1//\//-}") / 1024" | bc -l; }
echo "load before: $(uptime | sed 's/.*load average: //') (1, 5, 15 minutes; $(nproc) cores)"
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
    "$(megabytes out1)" "$(megabytes out2)"
# On the file system the pages were written to.
"$build/bench/stagebench" "$work" 2000 | sed -n 2p | sed 's/^ */safe save per document: /'

# One large document first, then small ones: fixed slices would leave one
# worker idle while the other converts the large one.
mixed=$work/mixed
mkdir -p "$work/text" "$mixed"
"${soffice[@]}" --convert-to "txt:Text (encoded):UTF8" --outdir "$work/text" \
    "$root"/../shared/corpus/*.doc "$root"/../shared/corpus/*.DOC >/dev/null 2>&1 || true
mkdir -p "$work/large"
for i in $(seq 1 600); do cat "$work/text"/*.txt; done >"$work/large/0-large.txt"
"${soffice[@]}" --infilter="Text (encoded):UTF8" --convert-to "doc:MS Word 97" \
    --outdir "$mixed" "$work/large/0-large.txt" >/dev/null 2>&1 || true
for i in $(seq 1 15); do
    for f in "$root"/../shared/corpus/*.doc "$root"/../shared/corpus/*.DOC; do
        cp "$f" "$mixed/${i}-$(basename "$f")"
    done
done
m1=$(run_batch 1 mixed1 "$mixed"); k1=$(grep -c '^Converted ' "$work/mixed1.log" || true)
m2=$(run_batch 2 mixed2 "$mixed"); k2=$(grep -c '^Converted ' "$work/mixed2.log" || true)
# What fixed interleaved slices give: two --shard runs at once.
t0=$(now)
"$batch" --not-filtered --shard 1/2 "$mixed" "$work/mixedshards" >"$work/shard1.log" 2>&1 &
"$batch" --not-filtered --shard 2/2 "$mixed" "$work/mixedshards" >"$work/shard2.log" 2>&1 || true
wait
t1=$(now)
ms=$(echo "$t1 - $t0" | bc -l); ks=$(cat "$work"/shard?.log | grep -c '^Converted ' || true)
printf 'one large among %d small documents: --jobs 1 %.2f s (%d converted), --jobs 2 %.2f s (%d converted), two --shard runs at once %.2f s (%d converted)\n' \
    "$(( $(find "$mixed" -type f | wc -l) - 1 ))" "$m1" "$k1" "$m2" "$k2" "$ms" "$ks"
printf 'speed --jobs 2 / --jobs 1, large among small: %.2f (fixed slices: %.2f)\n' \
    "$(echo "$(rate "$m2" "$k2") / $(rate "$m1" "$k1")" | bc -l)" \
    "$(echo "$(rate "$ms" "$ks") / $(rate "$m1" "$k1")" | bc -l)"

# Trees of folders of 50 documents each, hard links to copies of two corpus
# documents; all but the first page of each folder already exist and are
# newer.
cp "$root/../shared/corpus/simple.doc" "$root/../shared/corpus/Lists.doc" "$work/"
tree() { # folder count
    local d f
    for d in $(seq -w 1 "$2"); do
        mkdir -p "$1/in/g$((10#$d % 10))/f$d" "$1/out/g$((10#$d % 10))/f$d"
        ln "$work/simple.doc" "$1/in/g$((10#$d % 10))/f$d/a.doc"
        for f in $(seq -w 2 50); do
            ln "$work/Lists.doc" "$1/in/g$((10#$d % 10))/f$d/d$f.doc"
            : >"$1/out/g$((10#$d % 10))/f$d/d$f.htm"
        done
    done
    touch -d '+1 hour' "$1"/out/*/*/d*.htm
}
for n in 40 200; do
    tree "$work/tree$n" "$n"
    t=$(run_batch 1 "tree$n/out" "$work/tree$n/in" --recursive --skip-unchanged)
    printf -- '--recursive --skip-unchanged over %d documents in %d folders: %.2f s, %s, peak memory of quillpg-batch %.1f MB\n' \
        "$(( n * 50 ))" "$n" "$t" "$(tail -n 1 "$work/tree$n/out.log")" "$(megabytes "tree$n/out")"
done
echo "load after: $(uptime | sed 's/.*load average: //')"
