#!/usr/bin/env bash
# Pictures of the program under a virtual screen: the main window at 800x480 and on a full
# 1920x1080 screen, the settings dialog, the About box, the report window (also after a real
# run with errors, with the main window's notice before it is opened), the new channel
# wizard on both pages (with the shipped list), asked for a channel the tree has already and
# failing to reach a server (the box with its cause),
# the tree with a channel whose update failed, the reading menu and the tree's menu, and the
# channel properties dialog (also on the small screen, and for a channel with an update
# interval of its own), the restore dialog with its copies, channels with their sites' icons
# and the view menu on a light and a dark desktop, and
# (scripts/reading_shots.sh) items as channels send them and a printed
# long item; the settings dialog's Synchronizacja page and, when tt-rss is installed, a tree
# synchronised with a throw-away Tiny Tiny RSS server. SHOTS="name,name" takes only those.
# Each run uses a temporary home with a small sample channel tree, so the real
# per-user folder is never touched.
# Usage: scripts/screenshots.sh [build folder]  ->  <build>/screenshots/*.png
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-build}" && pwd)
BIN="$BUILD/kolvani"
OUT="$BUILD/screenshots"
WAIT=${SCREENSHOT_WAIT:-8}
[ -x "$BIN" ] || { echo "no $BIN: build first" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run missing (package xvfb)" >&2; exit 1; }
command -v import >/dev/null || { echo "import missing (package imagemagick)" >&2; exit 1; }
mkdir -p "$OUT"

# A per-user folder as after a few days of use: the shipped files and a tree of channels.
make_home() {
    local home=$1 width=$2 height=$3
    local app="$home/share/Kolvani"
    mkdir -p "$app/data" "$app/temp" "$home/config/Velmar" "$home/run"
    chmod 700 "$home/run"
    cp -r "$BUILD/data/." "$app/data/"
    python3 - "$app/data/tvChannels.xml" <<'EOF'
import sys
def group(name, parent=None):
    lines = ["<node>", f"  <name>{name}</name>", "  <type>0</type>"]
    if parent is not None:
        lines.append(f"  <parent>{parent}</parent>")
    return "\r\n".join(lines + ["</node>", ""])
def channel(name, parent, url, guid):
    fields = [("name", name), ("type", "1"), ("parent", str(parent)), ("url", url),
              ("link", url.rsplit("/", 1)[0] + "/"), ("image", "archive.jpg"),
              ("copyright", "(c) 2004-2026 Wydawnictwo Przykładowe Sp. z o.o., wszelkie prawa zastrzeżone"),
              ("description", name), ("username", ""), ("GUID", guid), ("password", ""),
              ("alerts", "True"), ("enabled", "True"), ("lastbuild", ""), ("lastupdate", "")]
    return "\r\n".join(["<node>"] + [f"  <{k}>{v}</{k}>" for k, v in fields] + ["</node>"])
blocks = [group("Moje kanały"), group("Wiadomości", 0),
          channel("Kraj", 1, "http://127.0.0.1:9/kraj.xml", "{0B7C3D2E-1111-4A5B-9C8D-000000000001}"),
          channel("Świat", 1, "http://127.0.0.1:9/swiat.xml", "{0B7C3D2E-1111-4A5B-9C8D-000000000002}"),
          group("Technologia", 0),
          channel("Nauka", 4, "http://127.0.0.1:9/nauka.xml", "{0B7C3D2E-1111-4A5B-9C8D-000000000003}"),
          channel("Programowanie", 4, "http://127.0.0.1:9/prog.xml", "{0B7C3D2E-1111-4A5B-9C8D-000000000004}")]
lines = ['<?xml version="1.0"?>', "<tree>", '<treenodes name="tvChannels">'] + blocks + ["</treenodes>", "</tree>"]
open(sys.argv[1], "wb").write(b"\xff\xfe" + "".join(l + "\r\n" for l in lines).encode("utf-16-le"))
EOF
    python3 "$HERE/sample_channels.py" "$app/data" "http://127.0.0.1:$PICS_PORT"
    cat >"$home/config/Velmar/RSS Quorrel 1.0.conf" <<EOF
[fmMainFrm]
ShowCmd=1
NormPos="0,0,$width,$height"
EOF
}

# Pictures of the sample items come from a small web server on this machine, as an item's
# pictures come from its site.
PICS=$(mktemp -d)
convert -size 960x540 gradient:'#3f6fb0-#d6e2f2' -fill white -pointsize 54 -gravity center \
    -annotate 0 'Zdjęcie z konferencji' "$PICS/photo.jpg"
convert -size 400x300 plasma:fractal -blur 0x2 "$PICS/small.jpg"
convert -size 120x40 xc:'#c0392b' -fill white -pointsize 22 -gravity center -annotate 0 'RADIO' \
    "$PICS/logo.png"
PICS_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$PICS_PORT" --bind 127.0.0.1 --directory "$PICS" >/dev/null 2>&1 &
PICS_PID=$!
trap 'kill "$PICS_PID" 2>/dev/null || true; rm -rf "$PICS"' EXIT

# shot NAME SCREEN(WxH) WINDOW(WxH) [KOLVANI_SCREENSHOT value]
# SHOTS="a,b" takes only those pictures.
wanted() { [ -z "${SHOTS:-}" ] || [[ ",$SHOTS," == *",$1,"* ]]; }

shot() {
    local name=$1 screen=$2 window=$3 which=${4:-}
    wanted "$name" || return 0
    local home
    home=$(mktemp -d)
    make_home "$home" "${window%x*}" "${window#*x}"
    [ -n "${PREPARE:-}" ] && "$PREPARE" "$home"
    HOME="$home" XDG_DATA_HOME="$home/share" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" \
    KOLVANI_SCREENSHOT="$which" QT_QPA_PLATFORM=xcb \
    QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}" \
        xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
            # A window manager, as on a desktop: it draws the frames the placement allows for.
            wm=
            if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & wm=$!; sleep 1; fi
            "$1" & pid=$!
            sleep "$2"
            import -window root "$3"
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            [ -n "$wm" ] && kill "$wm" 2>/dev/null || true' _ "$BIN" "$WAIT" "$OUT/$name.png"
    rm -rf "$home"
    echo "$OUT/$name.png"
}

shot main-800x480 800x480 800x480
shot main-fullscreen 1920x1080 1920x1080
shot settings 1024x768 1024x768 config
shot about 1024x768 1024x768 about
shot report 1024x768 1024x768 report
# After a real run whose every channel failed: the notice, then the report it leads to.
WAIT=$((WAIT + 20)) shot run-errors 1024x768 1024x768 run-errors
WAIT=$((WAIT + 20)) shot report-run 1024x768 1024x768 report-run
shot wizard-list 1024x768 1024x768 wizard-list
shot wizard-address 1024x768 1024x768 wizard-address
shot wizard-duplicate 1024x768 1024x768 wizard-duplicate
shot wizard-error 1024x768 1024x768 wizard-error
shot tree-failing 1024x768 1024x768 tree-failing
shot menu-reading 1024x768 1024x768 menu-reading
shot tree-menu 1024x768 1024x768 tree-menu
shot channel 1024x768 1024x768 channel
shot channel-800x480 800x480 800x480 channel
# The properties of a channel that has an update interval of its own.
own_interval_home() {
    python3 - "$1/share/Kolvani/data/tvChannels.xml" <<'EOF'
import sys
path = sys.argv[1]
text = open(path, "rb").read()[2:].decode("utf-16-le")
kraj = text.index("<name>Kraj</name>")
end = text.index("</node>", kraj)
text = text[:end] + "  <interval>45</interval>\r\n" + text[end:]
open(path, "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
EOF
}
PREPARE=own_interval_home shot channel-interval 1024x768 1024x768 channel
PREPARE=
shot settings-account 1024x768 1024x768 config-account
# The restore dialog: the copy the start made today and an older one left unfinished.
unfinished_copy() { mkdir -p "$1/share/Kolvani/data/backup/2026-12-01"; cp "$1/share/Kolvani/data/tvChannels.xml" "$1/share/Kolvani/data/backup/2026-12-01/"; }
PREPARE=unfinished_copy shot restore 1024x768 1024x768 restore
PREPARE=

# Channels drawn with their sites' icons (kept in data/icons/ as an earlier run left them),
# on a light and on a dark desktop, the view menu with its zoom entries open.
with_icons() {
    local icons="$1/share/Kolvani/data/icons"
    mkdir -p "$icons"
    convert -size 16x16 xc:'#c0392b' -fill white -pointsize 12 -gravity center -annotate 0 'K' \
        "$icons/{0B7C3D2E-1111-4A5B-9C8D-000000000001}.ico"
    convert -size 32x32 radial-gradient:'#2e86de-#0b3d91' "$icons/{0B7C3D2E-1111-4A5B-9C8D-000000000002}.ico"
    convert -size 16x16 xc:'#27ae60' -fill '#f1c40f' -draw 'circle 8,8 8,3' \
        "$icons/{0B7C3D2E-1111-4A5B-9C8D-000000000003}.ico"
    # A broken file: the channel keeps its picture.
    printf 'not an icon' >"$icons/{0B7C3D2E-1111-4A5B-9C8D-000000000004}.ico"
}
PREPARE=with_icons shot tree-icons 1024x768 1024x768 menu-view
PREPARE=with_icons shot dark 1024x768 1024x768 dark
PREPARE=
shot group-items 1024x768 1024x768 group-items
shot unread-view 1024x768 1024x768 unread-view
shot search-results 1024x768 1024x768 search-results

# A tree synchronised with a Tiny Tiny RSS account, when tt-rss is installed: a throw-away
# server seeded by SQL (two categories, four feeds), then `kolvani --sync` before the shot.
if [ -d /usr/share/tt-rss/www ] && wanted main-synchronised; then
    TTRSS_DIR=$(mktemp -d /tmp/kvshot-XXXXXX)
    trap 'kill "$PICS_PID" 2>/dev/null || true; rm -rf "$PICS"; "$HERE/ttrss-test-server.sh" stop "$TTRSS_DIR" >/dev/null 2>&1 || true' EXIT
    TTRSS_OUT=$("$HERE/ttrss-test-server.sh" start "$TTRSS_DIR")
    TTRSS_API=$(sed -n 's/^TTRSS_API=//p' <<<"$TTRSS_OUT")
    TTRSS_PSQL=$(sed -n 's/^TTRSS_PSQL=//p' <<<"$TTRSS_OUT")
    "$HERE/ttrss-test-server.sh" adduser "$TTRSS_DIR" anna tajne
    (cd / && $TTRSS_PSQL -tA >/dev/null) <<'SQL'
with u as (select id from ttrss_users where login = 'anna'),
c1 as (insert into ttrss_feed_categories (owner_uid, title) select id, 'Nauka' from u returning id),
c2 as (insert into ttrss_feed_categories (owner_uid, title) select id, 'Kultura' from u returning id),
f as (insert into ttrss_feeds (owner_uid, title, feed_url, cat_id)
      select u.id, t.title, t.url, case t.cat when 1 then (select id from c1) when 2 then (select id from c2) end
      from u, (values ('Astronomia dziś', 'http://[::1]/astro.xml', 1), ('Fizyka', 'http://[::1]/fiz.xml', 1),
                      ('Teatr i film', 'http://[::1]/teatr.xml', 2), ('Wiadomości lokalne', 'http://[::1]/lok.xml', 0))
           as t(title, url, cat) returning id, title),
e as (insert into ttrss_entries (title, guid, link, updated, content, content_hash, date_entered, date_updated)
      select f.title || ': wiadomość ' || n, f.id || '-' || n, 'http://example.org/' || f.id || '/' || n,
             now() - n * interval '3 hours', '<p>Treść wiadomości numer ' || n || '.</p>', 'h' || f.id || n, now(), now()
      from f, generate_series(1, 6) n returning id, guid)
insert into ttrss_user_entries (ref_id, uuid, owner_uid, feed_id, unread, tag_cache, label_cache)
select e.id, '', (select id from u), split_part(e.guid, '-', 1)::int, split_part(e.guid, '-', 2)::int > 2, '', ''
from e;
SQL
    synchronised_home() {
        local data="$1/share/Kolvani/data"
        printf '{"server":"%s","user":"anna","password":"tajne"}' "${TTRSS_API%api/}" >"$data/ttrss_account.json"
        chmod 600 "$data/ttrss_account.json"
        XDG_DATA_HOME="$1/share" "$BIN" --sync >/dev/null 2>&1 || true
    }
    PREPARE=synchronised_home shot main-synchronised 1024x768 1024x768
    PREPARE=
fi

# The new-item pop-up over another application's window, under a real window manager, at
# the first and at the last of three alerts.
alert_shot() {
    local name=$1 next=$2
    wanted "$name" || return 0
    local tests="$BUILD/tests/test_forms"
    [ -x "$tests" ] || { echo "no $tests: build the tests first" >&2; return; }
    command -v openbox >/dev/null || { echo "openbox missing" >&2; return; }
    QT_QPA_PLATFORM=xcb KV_ALERT_NEXT="$next" \
    QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}" \
        xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
            openbox & wm=$!
            sleep 1
            "$1" --gtest_also_run_disabled_tests --gtest_filter=NotifyFrmDesktopHelper.DISABLED_OtherApplication >/dev/null & other=$!
            sleep 2
            "$1" --gtest_also_run_disabled_tests --gtest_filter=NotifyFrmDesktopHelper.DISABLED_ShowAlerts >/dev/null & alert=$!
            sleep 3
            import -window root "$2"
            kill "$alert" "$other" "$wm" 2>/dev/null || true
            wait 2>/dev/null || true' _ "$tests" "$OUT/$name.png"
    echo "$OUT/$name.png"
}

alert_shot alert-first 0
alert_shot alert-last 2

# Items as channels send them, and a printed long item.
if [ -z "${SHOTS:-}" ]; then
    "$HERE/reading_shots.sh" "$BUILD"
fi
