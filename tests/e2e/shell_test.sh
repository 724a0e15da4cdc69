#!/usr/bin/env bash
# The real program under Xvfb and jwm, driven with xdotool: it starts with a
# test settings file, puts its icon in the tray and shows the monitor window;
# a right click opens the menu, a proxy entry switches the stored proxy, a
# click on a "変更" button flips the stored switch, and "終了" ends it with
# status 0 and no icon left.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools Xvfb jwm xdotool xwininfo import convert iconv
: "${MIREL_BIN:?}" "${MIREL_TOOL:?}" "${MIREL_SOURCE_DIR:?}"

. "$MIREL_SOURCE_DIR/scripts/headless.sh"

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  headless_stop
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -n "${DISPLAY:-}" ] && import -window root "${MIREL_BUILD_DIR:-$work}/shell_test_failure.png" 2>/dev/null &&
    echo "screen at the failure: ${MIREL_BUILD_DIR:-$work}/shell_test_failure.png"
  [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" | tail -20
  exit 1
}

# The program reads 設定.ini beside its executable: run a copy in a folder of
# its own with a settings file made for this test.
mkdir -p "$work/app" "$work/config"
cp "$MIREL_BIN" "$work/app/mirel9x"
# Items: the proxy switch, Active Scripting and Java applet strips first.
write_monitor_settings "$work/app/設定.ini" 111100000000000 0 proxy.test:8080 "other.test:3128 remark"

if ! headless_have; then
  echo "SKIP: Xvfb or jwm is missing"
  exit 77
fi
headless_start || fail "no X display"

# The browser settings of this test: the desktop proxy in a GSettings key
# file and the rest in the program's own store, all under a temporary
# XDG_CONFIG_HOME. The tool reads them through the same store.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" GSETTINGS_BACKEND=keyfile LC_ALL=C.UTF-8
inet='Software\Microsoft\Windows\CurrentVersion\Internet Settings'
zone3='Software\Microsoft\Windows\CurrentVersion\Internet Settings\Zones\3'
reg_get() { "$MIREL_TOOL" browser get "$1" "$2"; }
"$MIREL_TOOL" browser set-string "$inet" ProxyServer "" || fail "cannot prepare the proxy"
"$MIREL_TOOL" browser set-dword "$inet" ProxyEnable 0 || fail "cannot prepare the switch"
"$MIREL_TOOL" browser set-dword "$zone3" 1400 0 || fail "cannot prepare 1400"
proxy_server() { reg_get "$inet" ProxyServer; }
proxy_enable() { reg_get "$inet" ProxyEnable; }

"$work/app/mirel9x" >"$work/program.log" 2>&1 &
pid=$!

# The monitor window: the program's window at 300,100.
monitor=""
for _ in $(seq 1 100); do
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    if xwininfo -id "$w" | grep -q 'Absolute upper-left X:  300' &&
      xwininfo -id "$w" | grep -q 'Absolute upper-left Y:  100'; then
      monitor=$w
    fi
  done
  [ -n "$monitor" ] && break
  sleep 0.1
done
[ -n "$monitor" ] || fail "the monitor window did not appear at 300,100"
echo "ok: monitor window $monitor"

# The tray icon: a window of the program embedded in jwm's notification area,
# which sits in the tray at the bottom of the screen.
tray_icon=""
find_tray_icon() {
  for w in $(xdotool search --pid "$pid" 2>/dev/null); do
    local y map
    y=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/.*Absolute upper-left Y: *//p')
    map=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/.*Map State: *//p')
    if [ "$map" = IsViewable ] && [ -n "$y" ] && [ "$y" -ge $((${HEADLESS_SIZE#*x} - 40)) ]; then
      tray_icon=$w
      return 0
    fi
  done
  return 1
}
for _ in $(seq 1 50); do find_tray_icon && break; sleep 0.1; done
[ -n "$tray_icon" ] || fail "no tray icon in the notification area"
# And it shows a picture, not an empty square of the tray's colour.
sleep 0.5
colours=$(import -window "$tray_icon" png:- | convert - -format %k info:)
[ "$colours" -ge 8 ] || fail "the tray icon shows $colours colours: no picture"
echo "ok: tray icon ($colours colours)"
sleep 2.5 # a few ticks, so the strips show their states

visible_count() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }

# Right click on the monitor window opens the menu.
before=$(visible_count)
xdotool mousemove --window "$monitor" 20 5 click 3
opened=""
for _ in $(seq 1 30); do
  [ "$(visible_count)" -gt "$before" ] && opened=1 && break
  sleep 0.1
done
[ -n "$opened" ] || fail "a right click on the monitor window opened no menu"
echo "ok: menu opened"
import -window root "$work/menu.png" 2>/dev/null || true

# Menu: オプション, プロキシ, 終了 (the IP copy entry is off). The proxy
# submenu: 使用しない, proxy.test:8080, other.test:3128 remark.
xdotool key Down Down Right Down Return
for _ in $(seq 1 30); do [ "$(proxy_server)" = proxy.test:8080 ] && break; sleep 0.1; done
[ "$(proxy_server)" = proxy.test:8080 ] || fail "choosing proxy.test:8080 stored '$(proxy_server)'"
[ "$(proxy_enable)" = 0 ] || fail "choosing a proxy changed the proxy switch to $(proxy_enable)"
echo "ok: proxy entry stored"

# The "変更" button of the proxy switch strip: find its face colour in what
# the window shows and click there.
sleep 1.5
import -window "$monitor" "$work/monitor.png"
spot=$(convert "$work/monitor.png" -crop 40x13+95+0 +repage txt:- |
  grep -i '#D4CFC6' | head -1 | cut -d: -f1)
[ -n "$spot" ] || fail "no button face colour on the proxy switch strip"
bx=$((95 + ${spot%,*}))
by=${spot#*,}
xdotool mousemove --window "$monitor" "$bx" "$by" click 1
for _ in $(seq 1 30); do [ "$(proxy_enable)" = 1 ] && break; sleep 0.1; done
[ "$(proxy_enable)" = 1 ] || fail "a click on the proxy switch button left ProxyEnable $(proxy_enable)"
echo "ok: the switch button turned the proxy on"
sleep 1.5 # the strip shows ON now; a second click turns it off again
xdotool mousemove --window "$monitor" "$bx" "$by" click 1
for _ in $(seq 1 30); do [ "$(proxy_enable)" = 0 ] && break; sleep 0.1; done
[ "$(proxy_enable)" = 0 ] || fail "a second click left ProxyEnable $(proxy_enable)"
echo "ok: and off again"

# The Active Scripting button on the second strip (rows 14 to 26): the
# readout is "ON" for 0, so a click writes 3.
spot=$(convert "$work/monitor.png" -crop 40x13+95+14 +repage txt:- |
  grep -i '#D8D0C4' | head -1 | cut -d: -f1)
[ -n "$spot" ] || fail "no button face colour on the Active Scripting strip"
xdotool mousemove --window "$monitor" $((95 + ${spot%,*})) $((14 + ${spot#*,})) click 1
for _ in $(seq 1 30); do [ "$(reg_get "$zone3" 1400)" = 3 ] && break; sleep 0.1; done
[ "$(reg_get "$zone3" 1400)" = 3 ] || fail "the Active Scripting button left 1400 at $(reg_get "$zone3" 1400)"
echo "ok: the Active Scripting button wrote 3"

# オプション opens the dialog; minimised, it has no task-bar entry, so
# オプション brings it back restored and active.
open_options() {
  xdotool mousemove --window "$monitor" 20 5 click 3
  sleep 0.5
  xdotool key Down Return
}
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: *//p'; }
open_options
dialog=""
for _ in $(seq 1 50); do
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    xwininfo -id "$w" | grep -q 'Width: 425' && xwininfo -id "$w" | grep -q 'Height: 329' && dialog=$w
  done
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "オプション showed no dialog"
xdotool windowminimize "$dialog"
for _ in $(seq 1 30); do [ "$(wm_state "$dialog")" = Iconic ] && break; sleep 0.1; done
[ "$(wm_state "$dialog")" = Iconic ] || fail "the dialog did not minimise (state '$(wm_state "$dialog")')"
open_options
for _ in $(seq 1 30); do [ "$(wm_state "$dialog")" = Normal ] && break; sleep 0.1; done
[ "$(wm_state "$dialog")" = Normal ] || fail "オプション left the dialog $(wm_state "$dialog")"
xwininfo -id "$dialog" | grep -q 'Map State: IsViewable' || fail "the restored dialog is not viewable"
active=""
for _ in $(seq 1 30); do
  active=$(xprop -root _NET_ACTIVE_WINDOW | sed -n 's/.*# *//p')
  [ "$((active))" -eq "$dialog" ] && break
  sleep 0.1
done
[ "$((active))" -eq "$dialog" ] || fail "the restored dialog is not the active window ($active)"
echo "ok: オプション restores a minimised dialog"
# 閉じる, so the dialog does not cover the monitor.
xdotool mousemove --window "$dialog" 340 296 click 1
for _ in $(seq 1 30); do xwininfo -id "$dialog" | grep -q 'IsViewable' || break; sleep 0.1; done
xwininfo -id "$dialog" | grep -q 'IsViewable' && fail "閉じる left the dialog open"

# 終了 from the menu.
xdotool mousemove --window "$monitor" 20 5 click 3
sleep 0.5
xdotool key Up Return
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then fail "終了 did not end the program"; fi
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
# Nothing of the program is left in the notification area.
[ -z "$(xwininfo -root -tree | grep -i 'mirel\|QSystemTrayIconSys')" ] || fail "a window is left behind"
echo "ok: 終了 ended the program with status 0"
echo "2 passed, 0 failed"
