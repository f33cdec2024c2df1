#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` makes quillpage_<version>_<arch>.deb with
# every file in place and its dependencies found; the programs run from a
# scratch root it is unpacked into; the manual page and the completion know
# every option of quillpg-batch; lintian finds no error.
#   deb_test.sh BUILD_FOLDER SOURCE_FOLDER
# shellcheck source=tests/package/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

arch=$(dpkg --print-architecture)
(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || {
    cat "$scratch/cpack.log" >&2
    exit 1
}
deb="$scratch/out/quillpage_${version}_${arch}.deb"
[[ -f "$deb" ]] || { echo "FAIL: cpack made no $(basename "$deb"):" >&2; ls "$scratch/out" >&2; exit 1; }

echo "== dpkg-deb -c $(basename "$deb")"
dpkg-deb -c "$deb" | tee "$scratch/contents"
for path in usr/bin/quillpg usr/bin/quillpg-batch usr/share/applications/quillpg.desktop \
            usr/share/metainfo/io.github.quillpage.quillpg.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/quillpg.svg \
            usr/share/icons/hicolor/48x48/apps/quillpg.png usr/share/icons/hicolor/256x256/apps/quillpg.png \
            usr/share/man/man1/quillpg.1.gz usr/share/man/man1/quillpg-batch.1.gz \
            usr/share/bash-completion/completions/quillpg-batch \
            usr/share/doc/quillpage/copyright usr/share/doc/quillpage/changelog.gz; do
    grep -q " \./$path\$" "$scratch/contents" || fail "the package lacks /$path"
done
grep -Eq '/(tests?|bench)/|_test$|bench$' "$scratch/contents" && fail "the package holds tests or benchmarks"

depends=$(dpkg-deb -f "$deb" Depends)
echo "== Depends: $depends"
for dep in libreoffice-writer-nogui ure libqt6widgets6 libqt6core6 libxml2 libuno-cppu3 libuno-sal3; do
    grep -Eq "(^|[ ,|])$dep( |,|$)" <<<"$depends" || fail "Depends does not name $dep"
done

# Installed in /usr, the programs find the UNO runtime's private libraries by
# a path relative to their own folder, and nothing points back into the build
# folder. In the scratch root the office is not unpacked beside them, so there
# the system's office folder is named to the loader.
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for program in quillpg quillpg-batch; do
    runpath=$(readelf -d "$root/usr/bin/$program" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
    echo "== $program RUNPATH: $runpath"
    [[ ":$runpath:" == *':$ORIGIN/../lib/libreoffice/program:'* ]] ||
        fail "$program does not find the UNO runtime from /usr/bin"
    [[ "$runpath" != *"$build"* && "$runpath" != *"$source"* ]] || fail "$program searches the build folder"
done
office_program=$(sed -n 's/^QUILLPG_OFFICE_DIR:PATH=//p' "$build/CMakeCache.txt")/program
out=$(LD_LIBRARY_PATH="$office_program" "$root/usr/bin/quillpg-batch" --version) ||
    fail "quillpg-batch --version failed"
echo "== quillpg-batch --version: $out"
grep -q "$version" <<<"$out" || fail "quillpg-batch --version does not say $version"

# What bash completion offers for a word typed after quillpg-batch.
complete_word() {
    bash -c 'source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_WORDS=(quillpg-batch "$2"); COMP_CWORD=1; COMP_LINE="quillpg-batch $2"; COMP_POINT=${#COMP_LINE}
        _quillpg_batch quillpg-batch "$2" quillpg-batch
        printf "%s\n" "${COMPREPLY[@]}"' bash "$root/usr/share/bash-completion/completions/quillpg-batch" "$1"
}
# Every option that quillpg-batch --help lists is in its manual page and its
# completion.
help=$(LD_LIBRARY_PATH="$office_program" "$root/usr/bin/quillpg-batch" --help)
man_text=$(zcat "$root/usr/share/man/man1/quillpg-batch.1.gz" | sed 's/\\-/-/g')
offered=$(complete_word --)
for option in $(grep -Eo -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -q -- "\\.B[IR]* $option\\b" <<<"$man_text" || fail "the manual page does not describe $option"
    grep -qx -- "$option" <<<"$offered" || fail "the completion does not offer $option"
done
[[ "$(complete_word --re | tr '\n' ' ')" == "--report --recursive " ]] ||
    fail "completing --re offers '$(complete_word --re)'"
for status in 0 1 2 3; do
    grep -A1 '^\.TP' <<<"$man_text" | grep -qx "\\.B $status" || fail "the manual page does not explain exit status $status"
done
for recipe in 'parallel --sshlogin' 'SBATCH --array' 'JOB_COMPLETION_INDEX'; do
    grep -q -- "$recipe" <<<"$man_text" || fail "the manual page lacks the recipe with $recipe"
done
# The manual pages format without warnings.
for page in quillpg quillpg-batch; do
    warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1)
    [[ -z "$warnings" ]] || fail "$page.1: $warnings"
done
# The changelog's newest entry is this version.
zcat "$root/usr/share/doc/quillpage/changelog.gz" | head -1 | grep -q "^quillpage ($version)" ||
    fail "the changelog's newest entry is not $version"

echo "== lintian"
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$scratch/lintian.log" 2>&1 || lintian_status=$?
cat "$scratch/lintian.log"
((lintian_status == 0)) || fail "lintian reports errors"

((failures == 0)) || exit 1
echo "$(basename "$deb"): fine"
