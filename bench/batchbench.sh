#!/usr/bin/env bash
# How fast quillpg-batch converts a folder against the office's own batch.
# On each set of documents (default: a set of real-world shape made by
# bench/makeset.sh, kept in the cache folder, and the corpus copied five
# times), and in each round, one after the other: quillpg-batch --jobs 1,
# --jobs 2, `soffice --convert-to htm` as users run it (its profile records
# no version, so the office runs its graphics self-test at every start) and
# the same with the version recorded in its profile. For each run it prints
# seconds, documents converted, documents per second, processor seconds per
# document (the offices included), the cores it kept busy on average
# (processor seconds over seconds) and the load average when it started; then
# the ratios, and where quillpg-batch's time went, summed over the run, with
# the time of one run of each phase (load, layout, save, rewrite, move into
# place, hand-over of the document to the office and its taking back,
# delivery of what the office wrote, and walling in each office as it
# starts; from QUILLPG_PHASE_TIMES). Then the
# fixed cost of a run: one small document from start to finish, three times
# each way. The load is printed with every run: the figures mean little on a
# busy machine. BENCH_CORPUS_COPIES=N copies the corpus N times instead of five.
# --more adds the older figures: one large document among small ones (and two
# fixed --shard slices), the peak memory of quillpg-batch, and --recursive
# --skip-unchanged over trees of 2,000 and 10,000 documents.
# Usage: bench/batchbench.sh [--rounds N] [--more] [FOLDER...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
batch=${QUILLPG_BATCH:-$build/src/tools/batch/quillpg-batch}
rounds=1 more=0
while [[ ${1:-} == --* ]]; do
    case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --more) more=1; shift ;;
    *) echo "usage: $0 [--rounds N] [--more] [FOLDER...]" >&2; exit 2 ;;
    esac
done
[[ -x "$batch" && ( $more == 0 || -x "$build/bench/stagebench" ) ]] || "$root/scripts/setup.sh" "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=$root/../shared/corpus
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillpg
sets=("$@")
if ((${#sets[@]} == 0)); then
    [[ -n $(ls "$cache/bench-set"/*.doc 2>/dev/null) ]] || "$root/bench/makeset.sh" "$cache/bench-set"
    mkdir -p "$work/corpus"
    for i in $(seq 1 "${BENCH_CORPUS_COPIES:-5}"); do
        for f in "$corpus"/*.doc "$corpus"/*.DOC; do cp "$f" "$work/corpus/$i-$(basename "$f")"; done
    done
    sets=("$cache/bench-set" "$work/corpus")
fi

# Two soffice profiles: one as users have it, one that records the version.
version=$(grep -A1 'oor:name="ooSetupVersion">' /usr/lib/libreoffice/share/registry/main.xcd |
          sed -n 's/.*<value>\(.*\)<\/value>.*/\1/p' | head -n 1)
plain=$cache/office/bench-soffice seeded=$cache/office/bench-soffice-seeded
for p in "$plain" "$seeded"; do
    mkdir -p "$p"
    soffice "-env:UserInstallation=file://$p" --headless --terminate_after_init >/dev/null 2>&1 || true
done
record="<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>$version</value></prop></item>"
# Before each run: no record in the users' profile, the record in the other.
profiles() {
    local x
    for x in "$plain" "$seeded"; do
        x=$x/user/registrymodifications.xcu
        [[ -f $x ]] || printf '<?xml version="1.0" encoding="UTF-8"?>\n<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">\n</oor:items>\n' >"$x"
        sed -i '/ooSetupLastVersion/d' "$x"
    done
    sed -i "s|</oor:items>|$record\n</oor:items>|" "$seeded/user/registrymodifications.xcu"
}
load() { sed 's/.*load average: //; s/,.*//' < <(uptime); }

# timed NAME COMMAND...: runs it and leaves "wall user system load" in
# $work/NAME.time, its output in $work/NAME.log.
timed() {
    local name=$1 l
    shift
    l=$(load)
    TIMEFORMAT="%R %U %S $l"
    { time "$@" >"$work/$name.log" 2>&1 || true; } 2>"$work/$name.time"
}
# run NAME KIND FOLDER: one run of one kind over the folder; prints its line.
run() {
    local name=$1 kind=$2 folder=$3 n
    rm -rf "$work/out" "$work/phases"
    profiles
    case $kind in
    jobs1 | jobs2)
        QUILLPG_PHASE_TIMES=$work/phases timed "$name" "$batch" --not-filtered --jobs "${kind#jobs}" \
            -- "$folder" "$work/out"
        n=$(grep -c '^Converted ' "$work/$name.log" || true) ;;
    soffice | seeded)
        local p=$plain
        [[ $kind == seeded ]] && p=$seeded
        timed "$name" soffice "-env:UserInstallation=file://$p" --headless --convert-to htm \
            --outdir "$work/out" "$folder"/*
        n=$(find "$work/out" -name '*.htm' | wc -l) ;;
    esac
    read -r wall user system l <"$work/$name.time"
    # quillpg-batch's offices are its own children, counted in its user and
    # system time once it has waited for them; their own figure
    # (office-cpu in the phases) is shown, not added.
    echo "$wall $user $system $l $n" >"$work/$name.figures"
    # The phases of all the run's processes, summed.
    if [[ -f $work/phases ]]; then
        awk '{ for (i = 1; i < NF; i += 4) { s[$i] += $(i+1); c[$i] += substr($(i+3), 2) + 0; o[$i] = i } }
             END { for (k in s) printf "%d %s %.2f s (%d, %.2f ms each)\n", o[k], k, s[k], c[k],
                                       (c[k] > 0 ? 1000 * s[k] / c[k] : 0) }' "$work/phases" |
            sort -n | cut -d' ' -f2- | paste -sd';' - | sed 's/;/, /g' >"$work/$name.phases"
    fi
}
rate() { echo "$2 / $1" | bc -l; }
row() { # label name
    local wall user system l n
    read -r wall user system l n <"$work/$2.figures"
    printf '%-34s %8.2f %9d %8.2f %11.2f %6.2f %6s\n' "$1" "$wall" "$n" "$(rate "$wall" "$n")" \
        "$(awk -v u="$user" -v s="$system" -v n="$n" 'BEGIN { print (u + s) / (n > 0 ? n : 1) }')" \
        "$(awk -v u="$user" -v s="$system" -v w="$wall" 'BEGIN { print (u + s) / w }')" "$l"
}
speed() { local w x y z n; read -r w x y z n <"$work/$1.figures"; rate "$w" "$n"; }

echo "machine: $(nproc) cores; load at start: $(uptime | sed 's/.*load average: //')"
for folder in "${sets[@]}"; do
    docs=$(find "$folder" -maxdepth 1 -type f -iname '*.doc' | wc -l)
    echo
    echo "== $folder ($docs documents)"
    for r in $(seq 1 "$rounds"); do
        for kind in jobs1 jobs2 soffice seeded; do run "$kind-$r" "$kind" "$folder"; done
        printf '%-34s %8s %9s %8s %11s %6s %6s\n' "round $r" seconds converted docs/s cpu-s/doc cores load
        row "quillpg-batch --jobs 1" "jobs1-$r"
        row "quillpg-batch --jobs 2" "jobs2-$r"
        row "soffice --convert-to htm" "soffice-$r"
        row "soffice, version recorded" "seeded-$r"
        j1=$(speed "jobs1-$r") j2=$(speed "jobs2-$r") so=$(speed "soffice-$r") se=$(speed "seeded-$r")
        printf 'time per document --jobs 1 / soffice: %.2f (/ soffice with the version recorded: %.2f)\n' \
            "$(echo "$so / $j1" | bc -l)" "$(echo "$se / $j1" | bc -l)"
        printf 'speed --jobs 2 / soffice: %.2f (/ soffice with the version recorded: %.2f); --jobs 2 / --jobs 1: %.2f\n' \
            "$(echo "$j2 / $so" | bc -l)" "$(echo "$j2 / $se" | bc -l)" "$(echo "$j2 / $j1" | bc -l)"
        echo "phases --jobs 1: $(cat "$work/jobs1-$r.phases" 2>/dev/null)"
        echo "phases --jobs 2: $(cat "$work/jobs2-$r.phases" 2>/dev/null)"
    done
done

# The fixed cost of a run: one small document, from start to finish.
echo
mkdir -p "$work/one"
cp "$corpus/simple.doc" "$work/one/"
printf '%-34s %s\n' "one small document (seconds)" "three runs each, with the load at their start"
for kind in jobs1 soffice seeded; do
    line=""
    for r in 1 2 3; do
        run "one-$kind-$r" "$kind" "$work/one"
        read -r wall user system l n <"$work/one-$kind-$r.figures"
        line+=$(printf ' %.2f (load %s)' "$wall" "$l")
    done
    case $kind in
    jobs1) label="quillpg-batch" ;; soffice) label="soffice --convert-to htm" ;;
    seeded) label="soffice, version recorded" ;;
    esac
    printf '%-34s%s\n' "$label" "$line"
done

((more)) || { echo "load at end: $(uptime | sed 's/.*load average: //')"; exit 0; }

# The older figures.
folder=${sets[0]}
soffice=(soffice "-env:UserInstallation=file://$plain" --headless)
now() { date +%s.%N; }
# The peak resident memory (VmHWM) of quillpg-batch's own process, sampled
# while it runs; the offices it starts are not counted.
watch_memory() { # pid file
    local peak=0 p v
    while kill -0 "$1" 2>/dev/null; do
        v=$(awk '/^VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0)
        (( ${v:-0} > peak )) && peak=$v
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
run_batch 1 out1 >/dev/null; run_batch 2 out2 >/dev/null
printf 'peak memory of quillpg-batch itself: --jobs 1 %.1f MB, --jobs 2 %.1f MB\n' \
    "$(megabytes out1)" "$(megabytes out2)"
# On the file system the pages were written to.
"$build/bench/stagebench" "$work" 2000 | sed -n 2p | sed 's/^ */safe save per document: /'

# One large document first, then small ones: fixed slices would leave one
# office idle while the other converts the large one.
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
