#!/usr/bin/env bash
# Measures the "Filtered" pages against the "Not Filtered" pages of the same
# documents: converts FOLDER (default: the corpus) both ways with quillpg-batch
# and, for comparison, with the office's own XHTML export
# (soffice --convert-to "html:XHTML Writer File", what the filtered format
# used to be), then prints for each kind of filtered page:
#   pictures shown / lost  pictures of the full page that the filtered page
#                          does not show as PNG, JPEG, GIF or SVG (a file
#                          beside it or a data: URI)
#   size ratio             filtered page with its pictures / full page with its
#                          pictures, over all pages and the largest one
#   blank in browser       pages whose body Chromium shows empty although the
#                          full page has text
#   text differs           pages whose text in Chromium differs from the full
#                          page's text in Chromium
# and the names of the pages that lose pictures or show in the browser other
# text than the full page; and the seconds quillpg-batch takes for the folder
# in each format.
#
# Usage: bench/filtered_fidelity.sh [FOLDER]   (BUILD=build folder, default build)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
folder=$(cd "${1:-$root/../shared/corpus}" && pwd)
batch=$build/src/tools/batch/quillpg-batch
[[ -x $batch ]] || { echo "build quillpg-batch first: ./scripts/setup.sh" >&2; exit 2; }
command -v chromium >/dev/null || { echo "chromium is needed: apt-get install -y chromium" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/full" "$work/filtered" "$work/xhtml"

echo "converting $folder ..." >&2
seconds() { date +%s.%N; }
start=$(seconds)
"$batch" --not-filtered "$folder" "$work/full" >/dev/null || true
middle=$(seconds)
"$batch" --filtered "$folder" "$work/filtered" >/dev/null || true
end=$(seconds)
printf 'seconds for the folder: --not-filtered %.1f, --filtered %.1f\n' \
    "$(bc <<<"$middle - $start")" "$(bc <<<"$end - $middle")"
shopt -s nullglob nocaseglob
soffice -env:UserInstallation="file://$work/profile" --headless \
    --convert-to "html:XHTML Writer File" --outdir "$work/xhtml" "$folder"/*.doc >/dev/null 2>&1 || true
for page in "$work/xhtml"/*.html; do mv "$page" "${page%.html}.htm"; done

/usr/bin/python3 - "$work" <<'EOF'
import base64, os, re, subprocess, sys, urllib.parse
from html.parser import HTMLParser

work = sys.argv[1]
profile = os.path.join(work, "chromium")

class Pictures(HTMLParser):
    def __init__(self):
        super().__init__()
        self.sources = []
    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.sources.append(dict(attrs).get("src") or "")

def browser_picture(data):
    return (data.startswith(b"\x89PNG\r\n\x1a\n") or data.startswith(b"\xff\xd8\xff")
            or data[:6] in (b"GIF87a", b"GIF89a") or b"<svg" in data[:1000])

def pictures(page):
    """(pictures a browser shows, bytes of the picture files beside the page)"""
    parser = Pictures()
    parser.feed(open(page, encoding="utf-8", errors="replace").read())
    shown, files = 0, {}
    for src in parser.sources:
        if src.startswith("data:"):
            head, _, body = src.partition(",")
            try:
                data = base64.b64decode(body) if head.endswith(";base64") else body.encode()
            except Exception:
                data = b""
        elif re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", src) or src.startswith("/") or ".." in src:
            data = b""
        else:
            path = os.path.join(os.path.dirname(page), urllib.parse.unquote(src))
            data = open(path, "rb").read() if os.path.isfile(path) else b""
            files[path] = len(data)
        shown += browser_picture(data)
    return shown, sum(files.values())

def text_in_browser(page):
    dom = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                          "--user-data-dir=" + profile, "--dump-dom", "file://" + page],
                         capture_output=True, text=True, timeout=120).stdout
    body = dom[dom.find("<body"):] if "<body" in dom else ""
    body = re.sub(r"<(style|script)\b.*?</\1>", "", body, flags=re.S)
    body = re.sub(r"<[^>]*>", "", body)
    for entity, char in (("&nbsp;", " "), ("&lt;", "<"), ("&gt;", ">"), ("&amp;", "&")):
        body = body.replace(entity, char)
    return " ".join(body.split())

full_dir = os.path.join(work, "full")
names = sorted(n for n in os.listdir(full_dir) if n.endswith(".htm"))
full = {}
for name in names:
    page = os.path.join(full_dir, name)
    shown, files = pictures(page)
    full[name] = (shown, os.path.getsize(page) + files, text_in_browser(page))

print(f"{len(names)} documents, full pages: {sum(f[0] for f in full.values())} pictures, "
      f"{sum(f[1] for f in full.values())} bytes with pictures")
print(f"{'filtered pages':<26}{'pages':>6}{'pictures shown':>16}{'lost':>6}"
      f"{'size ratio':>12}{'max':>7}{'blank in browser':>18}{'text differs':>14}")
for label, kind in (("quillpg-batch --filtered", "filtered"), ("office XHTML (before)", "xhtml")):
    shown = lost = size = full_size = blank = differs = pages = 0
    worst = 0.0
    losing, differing = [], []
    for name in names:
        page = os.path.join(work, kind, name)
        if not os.path.isfile(page):
            continue
        pages += 1
        f_shown, f_size, f_text = full[name]
        p_shown, p_files = pictures(page)
        p_size = os.path.getsize(page) + p_files
        shown += p_shown
        if p_shown < f_shown:
            lost += f_shown - p_shown
            losing.append(name)
        size += p_size
        full_size += f_size
        worst = max(worst, p_size / f_size)
        text = text_in_browser(page)
        if not text and f_text:
            blank += 1
        if text != f_text:
            differs += 1
            differing.append(name)
    ratio = size / full_size if full_size else 0
    print(f"{label:<26}{pages:>6}{shown:>16}{lost:>6}{ratio:>12.2f}{worst:>7.2f}"
          f"{blank:>18}{differs:>14}")
    if losing:
        print("    pictures lost in:", " ".join(losing))
    if differing:
        print("    other text in the browser:", " ".join(differing))
EOF
