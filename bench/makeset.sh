#!/usr/bin/env bash
# Makes a set of documents of real-world shape from the corpus, with the
# office: 36 Word documents of 5 to 100 pages (a few of 80 to 100), their
# text the corpus' own, with tables and pictures (the corpus' pictures); half
# with "page N of M" footers, a third with the date and the author in the
# header, a quarter with pictures placed on the page rather than in the line
# of text. The office writes each one from a flat OpenDocument file, so the
# documents are as the office itself saves them.
# Usage: bench/makeset.sh OUTDIR   (OUTDIR is made; files already in it stay)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:?usage: $0 OUTDIR}
corpus=$root/../shared/corpus
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
soffice=(soffice "-env:UserInstallation=file://$work/profile" --headless)

# The corpus' text and pictures, as the office reads them.
"${soffice[@]}" --convert-to "txt:Text (encoded):UTF8" --outdir "$work/text" \
    "$corpus"/*.doc "$corpus"/*.DOC >/dev/null 2>&1 || true
"${soffice[@]}" --convert-to html --outdir "$work/pictures" \
    "$corpus"/*.doc "$corpus"/*.DOC >/dev/null 2>&1 || true

python3 - "$work/text" "$work/pictures" "$work/fodt" <<'EOF'
import base64, glob, os, random, sys
from xml.sax.saxutils import escape

text_dir, picture_dir, out = sys.argv[1:4]
os.makedirs(out, exist_ok=True)
paragraphs = []
for name in sorted(glob.glob(os.path.join(text_dir, "*.txt"))):
    with open(name, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = "".join(c for c in line.strip() if c >= " " and c != "\ufeff")
            if len(line) > 30:
                paragraphs.append(line)
pictures = []
for name in sorted(glob.glob(os.path.join(picture_dir, "*"))):
    kind = {".png": "image/png", ".jpg": "image/jpeg", ".jpeg": "image/jpeg",
            ".gif": "image/gif"}.get(os.path.splitext(name)[1].lower())
    if kind and os.path.getsize(name) > 1000:
        with open(name, "rb") as f:
            pictures.append(base64.b64encode(f.read()).decode())
random.seed(21)
# Pages: 30 documents of 5 to 60, six of 80 to 100.
pages = [random.randint(5, 60) for _ in range(30)] + [random.randint(80, 100) for _ in range(6)]
random.shuffle(pages)
chars_per_page = 2800  # 11 pt text on a Letter page, with its tables and pictures

head = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:meta><meta:initial-creator>Bench Author</meta:initial-creator><dc:creator>Bench Author</dc:creator></office:meta>
 <office:automatic-styles>
  <style:style style:name="H" style:family="paragraph"><style:text-properties fo:font-size="16pt" fo:font-weight="bold"/></style:style>
  <style:style style:name="Cell" style:family="table-cell"><style:table-cell-properties fo:border="0.5pt solid #000000" fo:padding="0.05cm"/></style:style>
  <style:page-layout style:name="PL"><style:page-layout-properties fo:page-width="21.59cm" fo:page-height="27.94cm" fo:margin-top="2cm" fo:margin-bottom="2cm" fo:margin-left="2.5cm" fo:margin-right="2.5cm"/><style:header-style/><style:footer-style/></style:page-layout>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Standard" style:page-layout-name="PL">%s</style:master-page>
 </office:master-styles>
 <office:body><office:text>
"""
footer = ('<style:footer><text:p>Page <text:page-number text:select-page="current">1</text:page-number>'
          ' of <text:page-count>1</text:page-count></text:p></style:footer>')
header = ('<style:header><text:p>Printed <text:date>2024-01-01</text:date> by '
          '<text:author-name>Bench Author</text:author-name></text:p></style:header>')

n = 0
for i, count in enumerate(pages):
    masters = (header if i % 3 == 0 else "") + (footer if i % 2 == 0 else "")
    floating = i % 4 == 1
    body = []
    for page in range(count):
        body.append('<text:h text:style-name="H" text:outline-level="1">%s</text:h>'
                    % escape(paragraphs[n % len(paragraphs)][:60]))
        n += 1
        size = 0
        while size < chars_per_page:
            p = paragraphs[n % len(paragraphs)]
            n += 1
            body.append("<text:p>%s</text:p>" % escape(p))
            size += len(p) + 80
        if page % 3 == 1:  # a table of 6 rows and 4 columns
            rows = []
            for r in range(6):
                cells = "".join('<table:table-cell table:style-name="Cell"><text:p>%s</text:p></table:table-cell>'
                                % escape(paragraphs[(n + r * 4 + c) % len(paragraphs)][:24]) for c in range(4))
                rows.append("<table:table-row>%s</table:table-row>" % cells)
            body.append('<table:table table:name="T%d"><table:table-column table:number-columns-repeated="4"/>%s</table:table>'
                        % (page, "".join(rows)))
        if pictures and page % 4 == 2:
            anchor = "paragraph" if floating else "as-char"
            body.append('<text:p><draw:frame draw:name="P%d" text:anchor-type="%s" svg:width="8cm" svg:height="6cm">'
                        '<draw:image><office:binary-data>%s</office:binary-data></draw:image></draw:frame></text:p>'
                        % (page, anchor, pictures[(i + page) % len(pictures)]))
    with open(os.path.join(out, "set-%02d-%dp.fodt" % (i + 1, count)), "w", encoding="utf-8") as f:
        f.write(head % masters + "\n".join(body) + "\n </office:text></office:body>\n</office:document>\n")
EOF
"${soffice[@]}" --convert-to "doc:MS Word 97" --outdir "$out" "$work/fodt"/*.fodt >/dev/null 2>&1
ls "$out"/*.doc | wc -l | sed 's/$/ documents made/'
