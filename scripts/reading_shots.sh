#!/usr/bin/env bash
# Pictures of items as channels really send them, read by the program after a real
# synchronisation from a small web server on this machine: a WordPress excerpt, an Atom item
# with pictures (and the same item with remote content switched off, the bar above it), a
# long item on a small and on a full screen, and a long item printed to PDF (its page count,
# its text and its first pages as pictures).
# Usage: scripts/reading_shots.sh [build folder]  ->  <build>/screenshots/reading-*
set -euo pipefail

BUILD=$(cd "${1:-build}" && pwd)
BIN="$BUILD/kolvani"
OUT="$BUILD/screenshots"
WAIT=${SCREENSHOT_WAIT:-8}
[ -x "$BIN" ] || { echo "no $BIN: build first" >&2; exit 1; }
for tool in xvfb-run import convert; do
    command -v "$tool" >/dev/null || { echo "$tool missing (scripts/install-deps.sh)" >&2; exit 1; }
done
mkdir -p "$OUT"

SITE=$(mktemp -d)
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
BASE="http://127.0.0.1:$PORT"
mkdir -p "$SITE/foto/wpisy"
convert -size 960x540 gradient:'#b0603f-#f2e2d6' -fill white -pointsize 54 -gravity center \
    -annotate 0 'Bieszczady jesienią' "$SITE/foto/polonina.jpg"
convert -size 400x300 plasma:fractal -blur 0x2 "$SITE/foto/wpisy/las.jpg"

# A WordPress channel: the excerpt in CDATA with its character references.
cat >"$SITE/wordpress.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:content="http://purl.org/rss/1.0/modules/content/"
  xmlns:dc="http://purl.org/dc/elements/1.1/">
<channel><title>Blog o ogrodzie</title><link>$BASE/blog/</link>
<description>Kolejny blog WordPress</description>
<item><title>Jak przygotować ogród do zimy</title><link>$BASE/blog/2024/11/ogrod-zima/</link>
<dc:creator><![CDATA[Anna Ogrodniczka]]></dc:creator><pubDate>Mon, 11 Nov 2024 08:00:00 +0000</pubDate>
<category><![CDATA[Porady]]></category>
<description><![CDATA[Sąsiad mówił &#8222;tak&#8221;, gdy pytałam, czy róże trzeba okrywać już w listopadzie. Zebrałam to, czego nauczyły mnie trzy zimy &#8211; od kopczykowania po agrowłókninę [&#8230;]]]></description>
</item></channel></rss>
EOF

# An Atom channel with pictures: one by its full address, one relative to xml:base.
cat >"$SITE/atom.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<feed xmlns="http://www.w3.org/2005/Atom" xml:base="$BASE/foto/">
<title>Fotoblog z gór</title><link href="$BASE/foto/"/><id>urn:kolvani:foto</id>
<updated>2024-10-20T10:00:00Z</updated>
<entry xml:base="wpisy/"><title>Jesień w Bieszczadach</title><link href="jesien.html"/>
<id>urn:kolvani:foto:1</id><updated>2024-10-20T10:00:00Z</updated>
<author><name>Piotr Górski</name></author>
<content type="html">&lt;p&gt;&lt;img src="$BASE/foto/polonina.jpg" alt="Połonina"&gt;&lt;/p&gt;
&lt;p&gt;Połoniny w październiku mienią się wszystkimi odcieniami rudego. Szlak z Wetliny na
Połoninę Caryńską zajął nam trzy godziny.&lt;/p&gt;
&lt;p&gt;&lt;img src="las.jpg" alt="Las" style="float:right;width:200px;margin-left:12px"&gt;
W lesie bukowym pod Smerekiem było już chłodno, a na ścieżkach leżały pierwsze liście.&lt;/p&gt;</content>
</entry></feed>
EOF

# A long item, as a newspaper sends a whole article.
python3 - "$SITE/dlugi.xml" "$BASE" <<'EOF'
import sys
path, base = sys.argv[1], sys.argv[2]
paras = "".join(
    f"&lt;p&gt;Akapit {i}: sprawozdanie z posiedzenia rady gminy, na którym radni przez "
    f"kilka godzin omawiali budżet, inwestycje drogowe, plan zagospodarowania i wnioski "
    f"mieszkańców zgłoszone w konsultacjach.&lt;/p&gt;" for i in range(1, 61))
open(path, "w", encoding="utf-8").write(
    '<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>'
    f"<title>Gazeta Gminna</title><link>{base}/gazeta/</link><description>Gazeta</description>"
    f"<item><title>Sesja budżetowa rady gminy – pełne sprawozdanie</title>"
    f"<link>{base}/gazeta/sesja</link><pubDate>Tue, 10 Dec 2024 18:00:00 +0100</pubDate>"
    f"<description>{paras}</description></item></channel></rss>\n")
EOF

python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$SITE" >/dev/null 2>&1 &
SITE_PID=$!
trap 'kill "$SITE_PID" 2>/dev/null || true; rm -rf "$SITE"' EXIT

# A per-user folder whose tree holds the one channel at `url`, synchronised for real.
make_home() {
    local home=$1 url=$2 width=$3 height=$4 remote=$5
    local app="$home/share/Kolvani"
    mkdir -p "$app/data" "$app/temp" "$home/config/Velmar" "$home/run"
    chmod 700 "$home/run"
    cp -r "$BUILD/data/." "$app/data/"
    python3 - "$app/data/tvChannels.xml" "$url" <<'EOF'
import sys
path, url = sys.argv[1], sys.argv[2]
fields = [("name", "Kanał"), ("type", "1"), ("parent", "0"), ("url", url), ("link", url),
          ("image", "archive.jpg"), ("copyright", ""), ("description", ""), ("username", ""),
          ("GUID", "{0B7C3D2E-2222-4A5B-9C8D-000000000001}"), ("password", ""),
          ("alerts", "False"), ("enabled", "True"), ("lastbuild", ""), ("lastupdate", "")]
lines = ['<?xml version="1.0"?>', "<tree>", '<treenodes name="tvChannels">',
         "<node>", "  <name>Moje kanały</name>", "  <type>0</type>", "</node>",
         "<node>"] + [f"  <{k}>{v}</{k}>" for k, v in fields] + ["</node>", "</treenodes>", "</tree>"]
open(path, "wb").write(b"\xff\xfe" + "".join(l + "\r\n" for l in lines).encode("utf-16-le"))
EOF
    printf '\r\n[config]\r\ncbRemoteContent=%s\r\n' "$remote" >>"$app/data/config.ini"
    cat >"$home/config/Velmar/RSS Quorrel 1.0.conf" <<EOF
[fmMainFrm]
ShowCmd=1
NormPos="0,0,$width,$height"
EOF
    HOME="$home" XDG_DATA_HOME="$home/share" XDG_CONFIG_HOME="$home/config" \
        XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen "$BIN" --sync >/dev/null 2>&1 || true
}

in_home() {
    local home=$1
    shift
    HOME="$home" XDG_DATA_HOME="$home/share" XDG_CONFIG_HOME="$home/config" \
        XDG_RUNTIME_DIR="$home/run" \
        QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}" "$@"
}

# shot NAME FEED SCREEN(WxH) [remote content 1/0]
shot() {
    local name=$1 feed=$2 screen=$3 remote=${4:-1}
    local home
    home=$(mktemp -d)
    make_home "$home" "$BASE/$feed" "${screen%x*}" "${screen#*x}" "$remote"
    in_home "$home" env QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
        openbox >/dev/null 2>&1 & wm=$!
        sleep 1
        "$1" & pid=$!
        sleep "$2"
        import -window root "$3"
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        kill "$wm" 2>/dev/null || true' _ "$BIN" "$WAIT" "$OUT/reading-$name.png"
    rm -rf "$home"
    echo "$OUT/reading-$name.png"
}

shot wordpress-1920x1080 wordpress.xml 1920x1080
shot atom-1920x1080 atom.xml 1920x1080
shot atom-remote-off-1920x1080 atom.xml 1920x1080 0
shot long-800x480 dlugi.xml 800x480
shot long-1920x1080 dlugi.xml 1920x1080

# The long item printed as "Drukuj" prints it to a PDF file.
tests="$BUILD/tests/test_forms"
if [ -x "$tests" ] && command -v pdfinfo >/dev/null && command -v pdftoppm >/dev/null; then
    home=$(mktemp -d)
    make_home "$home" "$BASE/dlugi.xml" 1024 768 1
    pdf="$OUT/reading-print-long.pdf"
    rm -f "$pdf"
    in_home "$home" env QT_QPA_PLATFORM=offscreen KV_PRINT_FOLDER="$home/share/Kolvani" \
        KV_PRINT_PDF="$pdf" "$tests" --gtest_also_run_disabled_tests \
        --gtest_filter=ItemPrintHelper.DISABLED_PrintFirstItem >/dev/null 2>&1 || true
    rm -rf "$home"
    if [ -s "$pdf" ]; then
        pdfinfo "$pdf" | grep -E '^(Pages|File size):' | tee "$OUT/reading-print-long.txt"
        pdftotext "$pdf" - >>"$OUT/reading-print-long.txt"
        pdftoppm -png -r 50 -f 1 -l 2 "$pdf" "$OUT/reading-print-long-page"
        ls "$OUT"/reading-print-long*
    else
        echo "the long item did not print" >&2
    fi
else
    echo "no $tests or poppler-utils: no printed PDF" >&2
fi
