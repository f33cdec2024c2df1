#!/usr/bin/env bash
# How faithful Quillpage's pages are to the office's own export. Converts a
# folder with quillpg-batch and with `soffice --headless --convert-to html`
# and prints, for each format:
#   - "identical N of M" and the names of the other pages (Not Filtered: the
#     pages compared byte for byte once what legitimately differs is set
#     aside: picture file names and the generator/created/changed lines);
#   - pictures lost: pictures of the office's page that ours lacks;
#   - size ratio: our pages with their pictures over the office's;
#   - the time per document of quillpg-batch and of soffice.
# Then what laying documents out costs against loading the model alone (the
# way documents were loaded before), from layoutbench, with the same
# comparison for the model-only pages.
# Usage: bench/fidelity.sh [--format not-filtered|filtered|both] [FOLDER]
#        (default: both formats, the shared corpus)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
formats=(not-filtered filtered)
if [[ ${1:-} == --format ]]; then
    case ${2:-} in
    not-filtered | filtered) formats=("$2") ;;
    both) ;;
    *) echo "usage: $0 [--format not-filtered|filtered|both] [FOLDER]" >&2; exit 2 ;;
    esac
    shift 2
fi
folder=$(cd "${1:-$root/../shared/corpus}" && pwd)
build=${BUILD:-$root/build}
[[ -x "$build/src/tools/batch/quillpg-batch" && -x "$build/bench/layoutbench" ]] ||
    "$root/scripts/setup.sh" "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The documents: what quillpg-batch accepts by default (extension doc, any case).
mkdir -p "$work/docs"
while IFS= read -r -d '' f; do ln -s "$f" "$work/docs/"; done \
    < <(find "$folder" -maxdepth 1 -type f -iname '*.doc' -print0)
count=$(find "$work/docs" -maxdepth 1 | tail -n +2 | wc -l)
[[ $count -gt 0 ]] || { echo "no documents in $folder" >&2; exit 2; }

profile=${XDG_CACHE_HOME:-$HOME/.cache}/quillpg/office/bench-soffice
mkdir -p "$profile"
soffice=(soffice "-env:UserInstallation=file://$profile" --headless)
"${soffice[@]}" --terminate_after_init >/dev/null 2>&1 || true # creates the profile once

now() { date +%s.%N; }
per_doc() { echo "($2 - $1) * 1000 / $count" | bc -l; }

t0=$(now)
"${soffice[@]}" --convert-to html --outdir "$work/soffice" "$work/docs"/* >/dev/null 2>&1 || true
t1=$(now)
soffice_ms=$(per_doc "$t0" "$t1")

# The page without what legitimately differs between two exports of one document.
normalise() {
    sed -E 's/_html?_[0-9a-f]+\./_PICTURE./g' "$1" |
        grep -Ev '<meta name="(generator|created|changed)"'
}
# The picture files beside a page that it shows, one a line, under their
# normalised names (a link to a file that is not there shows nothing).
pictures() {
    local dir
    dir=$(dirname "$1")
    grep -oiE '<img [^>]*src="[^"]*"' "$1" | sed -E 's/.*src="([^"]*)"/\1/I' |
        while IFS= read -r src; do [[ -f "$dir/$src" ]] && echo "$src"; done |
        sed -E 's/_html?_[0-9a-f]+\./_PICTURE./' | sort -u
}
# Bytes of a page and the picture files beside it that it links to.
page_bytes() {
    local page=$1 dir total
    dir=$(dirname "$page")
    total=$(stat -c %s "$page")
    while IFS= read -r src; do
        [[ -n $src && -f "$dir/$src" ]] && total=$((total + $(stat -c %s "$dir/$src")))
    done < <(grep -oiE '<img [^>]*src="[^"]*"' "$page" | sed -E 's/.*src="([^"]*)"/\1/I' | sort -u)
    echo "$total"
}

# compare OURS_DIR EXT LABEL FULL: prints the figures of our pages against the
# office's. FULL=1 compares the pages themselves (the Not Filtered format).
compare() {
    local ours=$1 ext=$2 label=$3 full=$4
    local same=0 total=0 lost=0 ours_bytes=0 theirs_bytes=0 others=()
    for theirs in "$work/soffice"/*.html; do
        local base page
        base=$(basename "$theirs" .html)
        page="$ours/$base.$ext"
        total=$((total + 1))
        if [[ ! -f $page ]]; then
            others+=("$base (no page)")
            continue
        fi
        if [[ $full == 1 ]]; then
            if cmp -s <(normalise "$page") <(normalise "$theirs"); then
                same=$((same + 1))
            else
                others+=("$base")
            fi
        fi
        local missing
        if [[ $full == 1 ]]; then
            missing=$(comm -23 <(pictures "$theirs") <(pictures "$page") | wc -l)
        else
            local a b
            a=$( (grep -oi '<img ' "$theirs" || true) | wc -l)
            b=$( (grep -oi '<img ' "$page" || true) | wc -l)
            missing=$((a > b ? a - b : 0))
        fi
        lost=$((lost + missing))
        ours_bytes=$((ours_bytes + $(page_bytes "$page")))
        theirs_bytes=$((theirs_bytes + $(page_bytes "$theirs")))
    done
    echo "$label"
    if [[ $full == 1 ]]; then
        echo "  identical $same of $total"
        for o in "${others[@]}"; do echo "    differs: $o"; done
    else
        for o in "${others[@]}"; do echo "    $o"; done
    fi
    echo "  pictures lost: $lost"
    printf '  size ratio (pages with pictures, ours / office): %.2f\n' \
        "$(echo "$ours_bytes / ($theirs_bytes + 0.000001)" | bc -l)"
}

echo "$count documents of $folder; soffice wrote $(ls "$work/soffice"/*.html 2>/dev/null | wc -l) pages"
for format in "${formats[@]}"; do
    t0=$(now)
    # The folder holds links to the documents, which lie outside it.
    "$build/src/tools/batch/quillpg-batch" --follow-links "--$format" "$work/docs" "$work/ours-$format" \
        >"$work/$format.log" 2>/dev/null || true
    t1=$(now)
    ours_ms=$(per_doc "$t0" "$t1")
    if [[ $format == not-filtered ]]; then
        compare "$work/ours-$format" htm "Not Filtered (quillpg-batch --not-filtered)" 1
    else
        compare "$work/ours-$format" htm "Filtered (quillpg-batch --filtered)" 0
    fi
    grep -E '^Failed ' "$work/$format.log" | sed 's/^/    /' || true
    grep -E '^Converted .*\(' "$work/$format.log" | sed 's/^/    /' || true
    printf '  time per document: quillpg-batch %.0f ms (with its office start), soffice %.0f ms\n' \
        "$ours_ms" "$soffice_ms"
done

echo "Layout against the model alone (layoutbench, warm offices, best of 3):"
"$build/bench/layoutbench" "$work/docs" "$work/layout" | sed 's/^/  /'
compare "$work/layout/model-only" htm "Not Filtered, documents loaded without a layout (before)" 1
compare "$work/layout/editing-view" htm "Not Filtered, documents laid out in the editing view" 1
