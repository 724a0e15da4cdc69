#!/usr/bin/env bash
# `cmake --install` into a temporary DESTDIR with prefix /usr: the program,
# the tool, the default settings, the desktop entry, the icons and the
# AppStream data where a desktop looks for them, all under one application
# id, checked with the Debian tools; then the installed program starts from
# there with an empty configuration folder.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools desktop-file-validate appstreamcli file python3 cmp
: "${MIREL_BUILD_DIR:?}" "${MIREL_SOURCE_DIR:?}"
. "$MIREL_SOURCE_DIR/tests/e2e/installed_program.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! DESTDIR="$work/root" cmake --install "$MIREL_BUILD_DIR" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
usr="$work/root/usr"
# Nothing lands outside the prefix.
outside=$(cd "$work/root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

for program in mirel9x mirel9x-tool; do
  [ -x "$usr/bin/$program" ] || fail "no executable bin/$program"
done
cmp -s "$usr/share/mirel9x/設定.ini" "$MIREL_SOURCE_DIR/data/設定.ini" ||
  fail "share/mirel9x/設定.ini is not the default data/設定.ini"

# One desktop entry; its name is the application id used everywhere else.
entries=("$usr"/share/applications/*.desktop)
[ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ] || fail "not one desktop entry: ${entries[*]}"
entry=${entries[0]}
id=$(basename "$entry" .desktop)
echo "application id: $id"
[[ $id =~ ^[a-z]+(\.[A-Za-z0-9_-]+){2,}$ ]] || fail "'$id' is not a reverse-DNS id"

report=$(desktop-file-validate "$entry" 2>&1)
[ -z "$report" ] || fail "desktop-file-validate: $report"
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Icon)" = "$id" ] || fail "Icon=$(key Icon), not $id"
[ "$(key 'Categories')" = "System;Monitor;" ] || fail "Categories=$(key Categories)"
[ -n "$(key 'Name\[ja\]')" ] && [ -n "$(key Name)" ] || fail "no English and Japanese Name"
[ -n "$(key 'Comment\[ja\]')" ] && [ -n "$(key Comment)" ] || fail "no English and Japanese Comment"
[ -x "$usr/bin/$(key Exec)" ] || fail "Exec=$(key Exec) is not the installed program"

metainfo="$usr/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
  report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
  # The whole tree: the launchable entry and the icon must be there too.
  report=$(appstreamcli validate-tree --no-net "$work/root" 2>&1) ||
    fail "appstreamcli validate-tree: $report"
  python3 - "$metainfo" "$id" <<'PY' || fail "AppStream data incomplete"
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
app_id = sys.argv[2]
problems = []
def need(cond, what):
    if not cond: problems.append(what)
need(root.findtext("id") == app_id, "id")
need(root.findtext("launchable") == app_id + ".desktop", "launchable")
need(root.findtext("summary"), "summary")
need(root.find("description/p") is not None, "description")
need(root.find("screenshots/screenshot/image") is not None, "screenshot")
need(root.find("content_rating") is not None, "content rating")
need([r.get("version") for r in root.findall("releases/release")][:1] == ["3.18"], "release 3.18")
for p in problems: print("metainfo lacks:", p)
sys.exit(1 if problems else 0)
PY
else
  fail "no share/metainfo/$id.metainfo.xml"
fi

# Icons: each PNG as large as its folder says, and the scalable one a
# well-formed SVG.
sizes=0
for png in "$usr"/share/icons/hicolor/*x*/apps/"$id".png; do
  [ -f "$png" ] || continue
  size=$(basename "$(dirname "$(dirname "$png")")")
  file -b "$png" | grep -q "PNG image data, ${size/x/ x }," || fail "$png: $(file -b "$png")"
  sizes=$((sizes + 1))
done
[ "$sizes" -ge 4 ] || fail "only $sizes PNG icon sizes"
[ -f "$usr/share/icons/hicolor/48x48/apps/$id.png" ] || fail "no 48x48 icon"
svg="$usr/share/icons/hicolor/scalable/apps/$id.svg"
python3 -c 'import sys, xml.etree.ElementTree as ET; sys.exit(ET.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' "$svg" ||
  fail "$svg is not an SVG"
cmp -s "$usr/share/icons/hicolor/64x64/apps/$id.png" "$MIREL_SOURCE_DIR/data/icons/mirel9x.png" ||
  fail "the 64x64 icon is not the tray icon"

problem=$(check_installed_start "$usr" "$work/start")
[ -z "$problem" ] || fail "installed program: $problem"

[ "$failures" -eq 0 ] || exit 1
echo "ok: installed tree for $id ($sizes PNG sizes) starts"
