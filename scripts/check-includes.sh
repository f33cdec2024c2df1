#!/usr/bin/env bash
# Checks that every include of a header of src/ stays within the layers: a header
# of the including file's own folder is named by its bare name, a header of
# another layer by its path below src ("jobs/Mediator.h"), and only from a
# layer that links that one (directly or through another). An include that
# climbs out of its folder with ".." is refused outright: the compiler finds
# it beside the including file, past the layers' include folders.
#
#   check-includes.sh [SOURCE_ROOT]
#
# Prints file:line and the reason of each refused include and ends non-zero
# when there is one. Needs no build.
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root/src"

# The layers each layer may include, as the CMakeLists link them (with what
# those link in turn; the office's private link to the filtered page does not
# reach the programs). A folder of src/ that is missing here is refused, so
# that a new layer gets its line.
declare -A may_include=(
    [automation]=""
    [webpage]="automation"
    [office]="automation webpage"
    [desktop]="automation"
    [engine]="automation"
    [jobs]="engine desktop automation"
    [ui]="jobs engine desktop automation"
    [app]="ui jobs engine desktop automation office"
    [tools/batch]="jobs engine desktop automation office"
)

# Sets `layer` to the layer a path below src belongs to: the longest layer
# folder it starts with, or none.
layer_of() {
    local candidate
    layer=""
    for candidate in "${!may_include[@]}"; do
        if [[ "$1" == "$candidate"/* && ${#candidate} -gt ${#layer} ]]; then
            layer=$candidate
        fi
    done
}

failed=0
refuse() {
    echo "src/$1:$2: includes $3: $4" >&2
    failed=1
}

# Every source and header must lie in a known layer.
while IFS= read -r -d '' file; do
    layer_of "$file"
    if [[ -z "$layer" ]]; then
        echo "src/$file: folder is no layer known to ${BASH_SOURCE[0]##*/}" >&2
        failed=1
    fi
done < <(find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \) -printf '%P\0')

# Quoted includes, and includes in angle brackets that name a layer's header.
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*(["<])([^">]*)[">]'
while IFS=: read -r file lineno line; do
    file=${file#./}
    layer_of "$file"
    own=$layer
    [[ -n "$own" && "$line" =~ $include ]] || continue
    quoted=${BASH_REMATCH[1]}
    header=${BASH_REMATCH[2]}
    layer_of "$header"
    target=$layer
    if [[ "$quoted" == '<' && -z "$target" ]]; then
        continue # a library's header
    elif [[ "/$header/" == */../* ]]; then
        refuse "$file" "$lineno" "$header" "climbs out of its folder; name another layer's header by its path below src"
    elif [[ "/$header/" == */./* ]]; then
        refuse "$file" "$lineno" "$header" "has a '.' step; name the header by its bare name or its path below src"
    elif [[ "$header" != */* ]]; then
        # Beside the including file (or made by the build, such as moc's output).
        [[ -e "${file%/*}/$header" || "$header" == moc_* || "$header" == *.moc ]] ||
            refuse "$file" "$lineno" "$header" "no such header in src/${file%/*}"
    elif [[ -z "$target" ]]; then
        refuse "$file" "$lineno" "$header" "names no layer's header"
    elif [[ "$target" != "$own" && " ${may_include[$own]} " != *" $target "* ]]; then
        refuse "$file" "$lineno" "$header" "layer $own does not link layer $target"
    elif [[ ! -e "$header" ]]; then
        refuse "$file" "$lineno" "$header" "no such header in src/${header%/*}"
    fi
done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' "$include" . | sort -t: -k1,1 -k2,2n)

exit "$failed"
