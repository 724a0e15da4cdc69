#!/usr/bin/env bash
# The Windows program end to end under Wine, on a private Xvfb with jwm and a
# private prefix in the Japanese locale: silent install (with the start at
# logon) -> the installed program shows the strips of a fixture settings file
# pixel for pixel as the Linux build draws them -> the tray menu switches the
# proxy (the registry holds it, the mark moves, the strip follows) -> the
# dialog ticks an item, changes a colour and saves a file byte for byte as
# the Linux build writes it for the same changes -> "通信履歴" opens the
# history window over the file in the local application data -> "終了" (no
# tray icon left) -> silent uninstall (folder, shortcuts and Apps entry gone,
# the user's settings kept). Driven with xdotool for the mouse and the keyboard,
# and with a probe (probe.cpp) for what only Win32 tells: control places,
# list ticks, the status line, the registry.
set -uo pipefail

: "${MIREL_WINDOWS_BUILD:?}" "${MIREL_TOOL:?}" "${MIREL_SOURCE_DIR:?}"
. "$MIREL_SOURCE_DIR/tests/e2e/common.sh"
require_tools Xvfb jwm xdotool xwininfo import convert compare iconv wine wineserver python3
. "$MIREL_SOURCE_DIR/scripts/headless.sh"

installer=$MIREL_WINDOWS_BUILD/mirel9x-3.18-setup.exe
probe_exe=$MIREL_WINDOWS_BUILD/tests/mirel9x-probe.exe
[ -f "$installer" ] || { echo "FAIL: no installer $installer"; exit 1; }
# What the test saw, for a person to look at afterwards.
shots=$MIREL_WINDOWS_BUILD/e2e-screens
rm -rf "$shots"
mkdir -p "$shots"

work=$(mktemp -d)
chmod 755 "$work" # nginx serves from it as nobody
# The test's own prefix, kept in the build tree from one run to the next (a
# new one costs seconds): a run that passed leaves it as it found it but for
# the browser's two proxy values and the user's settings, which the next run
# clears; a run that failed removes it, so the next one starts afresh.
export WINEPREFIX=$MIREL_WINDOWS_BUILD/e2e-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=ja_JP.UTF-8
program_pid=""
passed=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "${WEBCHECK_PID:-}" ] && kill "$WEBCHECK_PID" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
  headless_stop
  rm -rf "$work"
  [ -n "$passed" ] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -n "${DISPLAY:-}" ] && import -window root "$shots/failure.png" 2>/dev/null &&
    echo "screen at the failure: $shots/failure.png"
  [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" | tail -20
  exit 1
}
ok() { echo "ok: $*"; }
# wait_until TENTHS COMMAND...: polls the command every 0.1 s.
wait_until() {
  local n=$1
  shift
  for _ in $(seq 1 "$n"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
quiet() { "$@" </dev/null >/dev/null 2>&1; }
probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

headless_start || fail "no X display"
# A server that outlives every Wine process of the test, its streams closed,
# so that no helper keeps ctest's pipe open.
quiet wineserver -p60
quiet wine wineboot --init || fail "wineboot failed"
c=$WINEPREFIX/drive_c
menu_dir="$c/ProgramData/Microsoft/Windows/Start Menu/Programs"
appdata="$c/users/$(id -un)/AppData/Roaming/mirel9x"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\mirel9x'
inet='Software\Microsoft\Windows\CurrentVersion\Internet Settings'
rm -rf "$appdata"
quiet wine reg delete "HKCU\\$inet" /v ProxyServer /f
quiet wine reg delete "HKCU\\$inet" /v ProxyEnable /f
[ ! -e "$c/Program Files/mirel9x" ] || fail "the prefix holds an installation from before"

# --- Install -------------------------------------------------------------------
quiet wine "$installer" /S /AUTOSTART || fail "the silent install failed"
inst="$c/Program Files/mirel9x"
for f in bin/mirel9x.exe bin/fonts/shnm6x12a.pcf.gz bin/fonts/b12.pcf.gz share/mirel9x/設定.ini \
  uninstall.exe; do
  [ -f "$inst/$f" ] || fail "the installer did not put $f in Program Files"
done
[ -f "$menu_dir/Mirel君9x.lnk" ] || fail "no Start-menu shortcut"
[ -f "$menu_dir/StartUp/Mirel君9x.lnk" ] || fail "/AUTOSTART made no Startup shortcut"
wine reg query "$uninstall_key" /v DisplayName </dev/null 2>/dev/null | iconv -f CP932 -t UTF-8 |
  grep -q 'Mirel君9x' || fail "the uninstaller is not registered in Apps"
ok "installed: program, fonts, default settings, shortcuts, Apps entry"

# The user's settings before the first start: the proxy switch, the two
# scripting strips, the global address and the proxy name; fixed size at
# 300,100, two proxies, the adapter kept.
mkdir -p "$appdata"
write_monitor_settings "$work/fixture.ini" 111000010100000 0 proxy.test:8080 "other.test:3128 remark"
LC_ALL=C sed -i '7s/.*/ 0 \r/' "$work/fixture.ini"
cp "$work/fixture.ini" "$appdata/設定.ini"

# --- The installed program's strips --------------------------------------------
# The web check asks the reference pages (through WinHTTP), which answer the
# caller's address.
start_webcheck_site "$work/site" || fail "nginx with the reference pages did not start"
wine "C:\\Program Files\\mirel9x\\bin\\mirel9x.exe" --webcheck-base "$WEBCHECK_BASE" \
  </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
monitor=""
find_monitor() {
  local w
  for w in $(xdotool search --onlyvisible --class mirel9x.exe 2>/dev/null); do
    if xwininfo -id "$w" | grep -q 'Absolute upper-left X:  300' &&
      xwininfo -id "$w" | grep -q 'Absolute upper-left Y:  100'; then
      monitor=$w
      return 0
    fi
  done
  return 1
}
wait_until 100 find_monitor || fail "the monitor window did not appear at 300,100"

# The same strips from the Linux build, for the registry of a fresh prefix (no
# proxy values, both scripting values 0) and the address the site answered.
render() { # render OUT PROXYSERVER-JSON
  printf '{"ticks": [{"registry": {"ProxyServer": %s, "ProxyEnable": null, "1400": 0, "1402": 0},
    "globalIp": "127.0.0.1"}, {}]}' "$2" >"$work/samples.json"
  "$MIREL_TOOL" render --settings "$work/fixture.ini" --samples "$work/samples.json" --out "$1" \
    >/dev/null || fail "the Linux build could not render the fixture"
}
same_pixels() { # same_pixels WANT.png GOT-NAME
  local size
  size=$(identify -format %wx%h "$1")
  import -window "$monitor" "$shots/$2.png"
  convert "$shots/$2.png" -crop "$size+0+0" +repage "$work/$2.png"
  [ "$(compare -metric AE "$1" "$work/$2.png" null: 2>&1)" = 0 ]
}
render "$work/want-start.png" null
# The strips show their readings from the first one-second tick on.
wait_until 40 same_pixels "$work/want-start.png" monitor ||
  fail "the monitor's strips differ from the Linux build's ($shots/monitor.png)"
ok "the monitor shows the Linux build's pixels, the global address from the web check"

# A second start asks the running monitor to come forward and ends with 0.
timeout 20 wine "C:\\Program Files\\mirel9x\\bin\\mirel9x.exe" </dev/null >"$work/second.log" 2>&1 ||
  fail "a second start ended with $? ($(cat "$work/second.log"))"
kill -0 "$program_pid" 2>/dev/null || fail "a second start ended the running monitor"
[ "$(xdotool search --onlyvisible --class mirel9x.exe | wc -l)" = 1 ] ||
  fail "a second start left a window of its own"
ok "a second start leaves the one monitor running and ends with 0"

# --- Tray menu: the proxy -----------------------------------------------------
tray=""
find_tray() {
  local w y
  for w in $(xdotool search --onlyvisible --class explorer.exe 2>/dev/null); do
    y=$(xwininfo -id "$w" | sed -n 's/.*Absolute upper-left Y: *//p')
    [ -n "$y" ] && [ "$y" -ge $((${HEADLESS_SIZE#*x} - 40)) ] && tray=$w && return 0
  done
  return 1
}
wait_until 50 find_tray || fail "no tray icon in the notification area"
# Menus are windows of their own; the mouse moves over them as a user's does.
# The newest visible one is the innermost.
menu_window() { xdotool search --onlyvisible --class mirel9x.exe 2>/dev/null | tail -1; }
menus_open() { xdotool search --onlyvisible --class mirel9x.exe 2>/dev/null | wc -l; }
open_tray_menu() {
  local before
  before=$(menus_open)
  xdotool mousemove --window "$tray" 12 12 click 3
  wait_until 30 sh -c "[ \$(xdotool search --onlyvisible --class mirel9x.exe | wc -l) -gt $before ]" ||
    fail "a click on the tray icon opened no menu"
  # Away from the icon, so that its tip does not cover the menu.
  xdotool mousemove 640 400
  sleep 0.2
}
# bands PNG [WIDTH X]: the top and bottom of every band of rows that holds
# dark pixels (within the columns X .. X+WIDTH-1): the entries of a menu.
bands() {
  local h
  h=$(identify -format %h "$1")
  convert "$1" -crop "${2:-10000}x$h+${3:-0}+0" +repage -colorspace gray -threshold 60% -negate \
    -scale "1x$h!" -depth 8 txt:- |
    awk -F'[(,:)]' 'NR > 1 { y = $2; v = $4 + 0
      if (v > 0 && !b) { top = y; b = 1 }
      if (v == 0 && b) { print top, y - 1; b = 0 } }
      END { if (b) print top, y }'
}
# at_entry MENU K [click]: the pointer on entry K (from 0; -1 the last).
at_entry() {
  import -window "$1" "$work/menu.png"
  local row
  if [ "$2" = -1 ]; then row=$(bands "$work/menu.png" | tail -1); else row=$(bands "$work/menu.png" | sed -n "$(($2 + 1))p"); fi
  [ -n "$row" ] || fail "the menu has no entry $2"
  local w
  w=$(identify -format %w "$work/menu.png")
  local before
  before=$(menus_open)
  xdotool mousemove --window "$1" $((w / 2)) $(((${row% *} + ${row#* }) / 2))
  if [ "${3:-}" = click ]; then
    xdotool click 1
  else
    # A submenu opens after the system's menu delay.
    wait_until 20 sh -c "[ \$(xdotool search --onlyvisible --class mirel9x.exe | wc -l) -gt $before ]"
    sleep 0.1
  fi
}
# marked_entries MENU NAME: the entries of the menu with a check mark (the
# only dark pixels left of the captions), saved as NAME.png.
marked_entries() {
  import -window "$1" "$shots/$2.png"
  local k=0 top bottom
  while read -r top bottom; do
    local mark
    mark=$(convert "$shots/$2.png" -crop "14x$((bottom - top + 1))+2+$top" +repage -colorspace gray \
      -threshold 60% -format '%[fx:mean < 1 ? 1 : 0]' info:)
    [ "$mark" = 1 ] && echo "$k"
    k=$((k + 1))
  done < <(bands "$shots/$2.png")
}
# The proxy submenu from the tray: 使用しない, proxy.test:8080, other.test:3128 remark.
open_proxy_menu() {
  open_tray_menu
  main=$(menu_window)
  at_entry "$main" 1 # プロキシ
  proxies=$(menu_window)
  [ "$proxies" != "$main" ] || fail "プロキシ opened no submenu"
}
open_proxy_menu
[ "$(marked_entries "$proxies" menu-before)" = 0 ] || fail "before the choice the mark is not on 使用しない"
import -window root "$shots/tray-menu.png"
at_entry "$proxies" 1 click
wait_until 30 sh -c "[ \"\$(wine '$probe_exe' reg '$inet' ProxyServer 2>/dev/null | tr -d '\r')\" = 'string proxy.test:8080' ]" ||
  fail "choosing proxy.test:8080 stored '$(probe reg "$inet" ProxyServer)'"
[ "$(probe reg "$inet" ProxyEnable)" = none ] || fail "choosing a proxy touched ProxyEnable"
open_proxy_menu
[ "$(marked_entries "$proxies" menu-after)" = 1 ] || fail "after the choice the mark is not on proxy.test:8080"
xdotool key Escape Escape
xdotool mousemove 640 400 click 1
render "$work/want-proxy.png" '"proxy.test:8080"'
# The proxy strip shows the new server at the next tick.
wait_until 30 same_pixels "$work/want-proxy.png" monitor-proxy ||
  fail "the proxy strip does not show the new server as the Linux build does"
ok "tray menu: ProxyServer stored, ProxyEnable left alone, the mark moved, the strip follows"

# A left click on the "変更" button of the proxy switch strip (found by its
# face colour in what the window shows) drags nothing and turns the proxy on.
spot=$(convert "$shots/monitor-proxy.png" -crop 40x13+95+0 +repage txt:- |
  grep -i '#D4CFC6' | head -1 | cut -d: -f1)
[ -n "$spot" ] || fail "no button face colour on the proxy switch strip"
xdotool mousemove --window "$monitor" $((95 + ${spot%,*})) "${spot#*,}" click 1
wait_until 30 sh -c "[ \"\$(wine '$probe_exe' reg '$inet' ProxyEnable 2>/dev/null | tr -d '\r')\" = 'dword 1' ]" ||
  fail "a click on the proxy switch button left ProxyEnable '$(probe reg "$inet" ProxyEnable)'"
find_monitor || fail "the click moved the monitor window"
ok "the switch button under the click turned the proxy on"

# --- The dialog ---------------------------------------------------------------
open_tray_menu
at_entry "$(menu_window)" 0 click # オプション
wait_until 50 probe rect ListView2 || fail "オプション opened no dialog"
sleep 0.3
import -window root "$shots/dialog-display.png"
# Tick 総受信量 (row 10 of the item list): a click selects the first row, the
# arrow keys go down, the space bar ticks.
read -r lx ly lw lh <<<"$(probe rect ListView2)"
xdotool mousemove $((lx + 80)) $((ly + 30)) click 1
sleep 0.3
[ "$(probe checked ListView2 0)" = 1 ] || fail "the click on the first row changed its tick"
xdotool key --repeat 10 --delay 20 Down
xdotool key space
sleep 0.3
[ "$(probe checked ListView2 10)" = 1 ] || fail "space did not tick 総受信量"
# The page その他の設定: the tab control takes the focus, four steps right.
read -r tx ty tw th <<<"$(probe rect TabStrip1)"
xdotool mousemove $((tx + 20)) $((ty + 10)) click 1
xdotool key Right Right Right Right
sleep 0.3
import -window root "$shots/dialog-other.png"
# 背景色 (color_0): the colour chooser answers 10, 20, 30.
read -r sx sy sw sh <<<"$(probe rect color_0)"
xdotool mousemove $((sx + sw / 2)) $((sy + sh / 2)) click 1
wait_until 50 probe colour 10 20 30 || fail "背景色 opened no colour chooser"
sleep 0.3
read -r bx by bw bh <<<"$(probe rect Command3)"
xdotool mousemove $((bx + bw / 2)) $((by + bh / 2)) click 1
wait_until 30 sh -c "wine '$probe_exe' status 2>/dev/null | grep -q 設定を保存しました" ||
  fail "設定保存 did not report the save (status '$(probe status)')"

# The Linux build, told the same changes, writes the same bytes.
# The machine's drives and where the window manager put the dialog are the
# Windows side's; the changes are the steps above.
drives=$(probe drives | tr '\n' ' ')
read -r dx dy _ <<<"$(probe rect dialog)"
# shellcheck disable=SC2086
"$MIREL_TOOL" dialog --settings "$work/fixture.ini" --out "$work/linux.ini" --drives $drives \
  --dialog "$dx" "$dy" --select ListView2 10 --tick ListView2 10 --colour color 0 1971210 \
  --press Command3 >/dev/null ||
  fail "the Linux build could not make the same changes"
cmp "$appdata/設定.ini" "$work/linux.ini" ||
  fail "the saved file differs from the Linux build's: $(diff <(iconv -f CP932 -t UTF-8 "$appdata/設定.ini") <(iconv -f CP932 -t UTF-8 "$work/linux.ini") | head -8)"
ok "dialog: an item ticked, a colour chosen, saved byte for byte as on Linux"

# --- 通信履歴 ---------------------------------------------------------------------
read -r bx by bw bh <<<"$(probe rect Command2)"
xdotool mousemove $((bx + bw / 2)) $((by + bh / 2)) click 1 # 閉じる
sleep 0.3
open_tray_menu
at_entry "$(menu_window)" 3 click # 通信履歴 (after プロキシ and プロキシを使う)
history_window() { xdotool search --onlyvisible --name '通信履歴 - ' 2>/dev/null | head -1; }
wait_until 50 sh -c "xdotool search --onlyvisible --name '通信履歴 - ' >/dev/null 2>&1" ||
  fail "通信履歴 opened no history window"
sleep 0.5
import -window "$(history_window)" "$shots/history.png"
# The history the program keeps in the local application data, shown as the
# core decides: today's line, a month of days in the figures, the run's totals.
[ -f "$c/users/$(id -un)/AppData/Local/mirel9x/history.sqlite" ] ||
  fail "no history file in the local application data"
today=$(probe history today)
case $today in 今日　受信\ *　送信\ *　合計\ *) ;; *) fail "the history window's today line: '$today'" ;; esac
rows=$(probe history rows)
[ "$rows" = 31 ] || fail "the history window shows $rows days, not 31"
case $(probe history totals) in この期間の計　受信\ *) ;; *) fail "no totals in the history window" ;; esac
xdotool key --window "$(history_window)" alt+F4
wait_until 30 sh -c "[ -z \"\$(xdotool search --onlyvisible --name '通信履歴 - ' 2>/dev/null)\" ]" ||
  fail "the history window did not close"
ok "通信履歴: the window opens over the history kept in the local application data ($today)"

# --- 終了 ------------------------------------------------------------------------
open_tray_menu
at_entry "$(menu_window)" -1 click # 終了
wait_until 50 sh -c "! kill -0 $program_pid" || fail "終了 did not end the program"
wait "$program_pid"
status=$?
program_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
wait_until 30 sh -c "! xwininfo -id $tray 2>/dev/null | grep -q IsViewable" ||
  fail "a tray icon is left in the notification area"
ok "終了: status 0, no tray icon left"

# --- Uninstall -------------------------------------------------------------------
# The uninstaller runs a copy of itself from the temporary folder and returns
# at once: the test waits for its work to be done.
quiet wine "C:\\Program Files\\mirel9x\\uninstall.exe" /S || fail "the silent uninstall failed"
wait_until 100 sh -c "[ ! -e '$inst' ]" || fail "the program's folder is left: $(find "$inst" | head -5)"
[ ! -e "$menu_dir/Mirel君9x.lnk" ] || fail "the Start-menu shortcut is left"
[ ! -e "$menu_dir/StartUp/Mirel君9x.lnk" ] || fail "the Startup shortcut is left"
if wine reg query "$uninstall_key" </dev/null >/dev/null 2>&1; then fail "the Apps entry is left"; fi
[ -f "$appdata/設定.ini" ] || fail "the uninstaller took the user's settings"
ok "uninstalled: folder, shortcuts and Apps entry gone, the user's settings kept"
passed=1
