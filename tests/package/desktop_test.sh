#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the icons: valid by the
# freedesktop.org tools, consistent with each other, and put in place by
# `cmake --install`.
#   desktop_test.sh BUILD_FOLDER SOURCE_FOLDER
# shellcheck source=tests/package/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$scratch/usr"
cmake --install "$build" --prefix "$prefix" >/dev/null
desktop="$prefix/share/applications/quillpg.desktop"
metainfo="$prefix/share/metainfo/io.github.quillpage.quillpg.metainfo.xml"
for path in bin/quillpg bin/quillpg-batch share/applications/quillpg.desktop \
            share/metainfo/io.github.quillpage.quillpg.metainfo.xml \
            share/icons/hicolor/scalable/apps/quillpg.svg \
            share/icons/hicolor/48x48/apps/quillpg.png share/icons/hicolor/256x256/apps/quillpg.png \
            share/man/man1/quillpg.1.gz share/man/man1/quillpg-batch.1.gz \
            share/bash-completion/completions/quillpg-batch \
            share/doc/quillpage/copyright share/doc/quillpage/changelog.gz; do
    [[ -s "$prefix/$path" ]] || fail "cmake --install did not put $path in place"
done

echo "desktop-file-validate $desktop"
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [[ -n "$out" ]]; then
    fail "desktop-file-validate: $out"
fi
# The entry starts the program itself, not a shell, and names the icon that
# is installed.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[[ "$exec_line" == quillpg || "$exec_line" == "quillpg "* ]] || fail "Exec= runs '$exec_line'"
[[ "$(sed -n 's/^Icon=//p' "$desktop")" == quillpg ]] || fail "Icon= is not quillpg"

echo "appstreamcli validate --no-net --pedantic $metainfo"
out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate failed"
echo "$out"
grep -Eq '^[EW]:' <<<"$out" && fail "appstreamcli reports errors or warnings"
grep -q '<launchable type="desktop-id">quillpg.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch quillpg.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"

# The icons: the drawing renders, and the pictures rendered from it have the
# sizes of the theme folders they go into.
rsvg-convert -w 64 -h 64 "$prefix/share/icons/hicolor/scalable/apps/quillpg.svg" -o "$scratch/check.png" ||
    fail "the SVG icon does not render"
for size in 48 256; do
    file "$prefix/share/icons/hicolor/${size}x${size}/apps/quillpg.png" | grep -q "PNG image data, $size x $size" ||
        fail "the ${size}x${size} icon is not a $size px PNG"
done

((failures == 0)) || exit 1
echo "desktop entry, metainfo and icons: fine"
