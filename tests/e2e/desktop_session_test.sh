#!/usr/bin/env bash
# The real program in real Wayland compositors, started headless, checked
# from each compositor's own view of its windows:
# - sway: started as a desktop entry starts it (WAYLAND_DISPLAY and DISPLAY
#   set, no Qt platform chosen) it runs through XWayland and floats without a
#   frame; its StatusNotifierItem is on swaybar's tray, and the menu opens
#   where the host asks (ContextMenu(x, y), as swaybar calls it), as a popup
#   at that point, not at a stale pointer; natively, with "マウスオーバーで
#   表示", it appears, floats, and clears while the pointer rests on it
#   (grim shows what is on the screen).
# - KWin: through XWayland it keeps its position and stays on top without a
#   frame, and the mouse-over mode clears it while the pointer is on it; with no tray host it says once that the right click opens the
#   menu, and a tray that starts later gets the icon; natively, with the
#   mouse-over mode, it appears.
# - weston: with the mouse-over mode it appears, through XWayland and natively.
# Run as an ordinary user (sway refuses root): as root, the test runs itself
# again as nobody in a folder that user owns.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/common.sh"
: "${MIREL_BIN:?}"

if [ "$(id -u)" -eq 0 ] && [ -z "${MIREL_AS_USER:-}" ]; then
  require_tools setpriv
  work=$(mktemp -d)
  mkdir -p "$work/e2e" "$work/app"
  cp "$here/common.sh" "$here/compositors.sh" "$here/desktop_session_test.sh" \
    "$here/sni_watcher.py" "$work/e2e/"
  cp "$MIREL_BIN" "$work/app/mirel9x"
  chown -R nobody:nogroup "$work" && chmod 755 "$work"
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env MIREL_AS_USER=1 MIREL_WORK="$work" MIREL_BIN="$work/app/mirel9x" \
    HOME="$work" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    bash "$work/e2e/desktop_session_test.sh"
  status=$?
  [ -n "${MIREL_BUILD_DIR:-}" ] && cp "$work"/desktop_*.png "$MIREL_BUILD_DIR/" 2>/dev/null
  rm -rf "$work"
  exit $status
fi

. "$here/compositors.sh"
require_tools dbus-daemon gdbus xdotool xwininfo xprop iconv convert import display Xvfb
work=${MIREL_WORK:-$(mktemp -d)}
export HOME=${HOME:-$work} XDG_CONFIG_HOME="$work/config" LC_ALL=C.UTF-8
pid=""
failures=0
skipped=0
ran=0
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  comp_stop
}
trap cleanup EXIT
# A last bound under ctest's: if all the bounded waits together still run
# long, the test ends with what it has found instead of being killed blind.
limit=${MIREL_DESKTOP_SECONDS:-240}
(
  sleep "$limit" </dev/null >/dev/null 2>&1 || exit 0  # ended early: all went in time
  echo "FAIL: the desktop sessions took over $limit s"
  kill -TERM $$
) 2>/dev/null &
watchdog=$!
trap 'pkill -P "$watchdog" 2>/dev/null; cleanup' EXIT
trap 'exit 1' TERM
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
  [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" | tail -10
}

# The monitor at 300,100, on top, fixed size; mouse-over as asked ($1: 0/1).
settings() {
  write_monitor_settings "$work/settings.tmp" 111100000000000 0 "192.0.2.1:3128"
  awk -v m="$1" 'BEGIN {RS = "\r\n"; ORS = "\r\n"} NR == 15 {$0 = "0"} NR == 17 {$0 = m} {print}' \
    "$work/settings.tmp" >"$(dirname "$MIREL_BIN")/設定.ini"
}

# start [ENV...]: the program in the current session.
start() {
  env "$@" "$MIREL_BIN" >"$work/program.log" 2>&1 &
  pid=$!
}
stop() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  pid=""
}
# grab FILE: what the compositor shows, for the build folder.
grab() { comp_bounded grim "$1" 2>/dev/null || echo "note: grim took no picture ($1)"; }
# The tray item's first registration, or none.
first_item() { comp_sni_items | head -1; }
# until SECONDS COMMAND...: retries until the command succeeds, for at most
# SECONDS of wall time (each try is bounded too, see comp_bounded).
until_ok() {
  local end=$((SECONDS + $1))
  while :; do
    "${@:2}" && return 0
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}
monitor_line() { "$1" | grep 'Mirel君9x$' | head -1; }
# Where the pointer goes when it leaves the monitor: 1200,700, onto the
# desktop. KWin without Plasma has no desktop surface there and tells an
# XWayland window nothing when the pointer moves onto bare background, so the
# KWin check puts a window there, as Plasma's desktop would be.
# veil_check LABEL X Y: with the mouse-over mode, the monitor at X,Y clears
# while the pointer rests on it (the desktop shows through) and comes back
# when the pointer leaves. Looked at on the first strip's "変更" button, whose
# face no desktop background has.
veil_check() {
  local label=$1 cx=$(($2 + 110)) cy=$(($3 + 5)) shown over back
  sleep 1.5  # drawn
  shown=$(comp_pixel "$cx" "$cy")
  comp_pointer $((cx - 3)) "$cy"  # onto it, and a move over it
  comp_pointer "$cx" "$cy"
  sleep 0.8
  over=$(comp_pixel "$cx" "$cy")
  comp_pointer 1200 700
  sleep 0.8
  back=$(comp_pixel "$cx" "$cy")
  echo "$label, pixel at $cx,$cy: shown $shown, pointer on it $over, pointer gone $back"
  case $shown in 212,207,198 | 8,8,8) ;; *) fail "$label: the monitor is not drawn ($shown)" ;; esac
  [ "$over" != "$shown" ] || fail "$label: the monitor stays while the pointer is on it"
  [ "$back" = "$shown" ] || fail "$label: the monitor did not come back ($back)"
}

# --- sway ------------------------------------------------------------------------
# Each check_* stops at the first failure that leaves nothing to look at.
check_sway() {
  export XDG_CURRENT_DESKTOP=sway
  # Told before: the word about a native session would cover the monitor.
  mkdir -p "$XDG_CONFIG_HOME/mirel9x"
  echo "desktop.told.native-wayland = sway" >"$XDG_CONFIG_HOME/mirel9x/preferences.conf"
  settings 0
  start
  until_ok 10 eval 'monitor_line sway_windows | grep -q .' || { fail "sway: no monitor window"; return; }
  line=$(monitor_line sway_windows)
  echo "sway, as started from the menu: $line"
  read -r shell floating x y w h border _ <<<"$line"
  [ "$shell" = xwayland ] || fail "sway: runs as $shell, not through XWayland"
  [ "$floating" = floating ] || fail "sway: the monitor is tiled"
  [ "$border" = csd ] || [ "$border" = none ] || fail "sway: the monitor has a $border frame"
  [ "${w:-0}" -le 160 ] || fail "sway: the monitor is ${w}px wide"

  until_ok 10 eval 'first_item | grep -q .' || { fail "sway: no StatusNotifierItem on the tray"; return; }
  item=$(first_item)
  comp_sni_call "$item" ContextMenu 1100 30 || fail "sway: ContextMenu was refused"
  menu_at() { x_windows "$pid" | awk '$5 == 1 && $1 == 1100 && $2 == 30' | grep -q .; }
  until_ok 5 menu_at || fail "sway: the menu is not at the host's 1100,30: $(x_windows "$pid" | tr '\n' ';')"
  sleep 0.3
  grab "$work/desktop_sway_menu.png"
  comp_bounded xdotool key --clearmodifiers Escape 2>/dev/null
  stop

  # Mouse-over on, through XWayland and natively: shown, floating without a
  # frame, clear while the pointer rests on it, back when it leaves.
  settings 1
  for mode in xwayland native; do
    comp_pointer 1200 700
    if [ "$mode" = native ]; then start QT_QPA_PLATFORM=wayland; else start; fi
    until_ok 10 eval 'monitor_line sway_windows | grep -q .' ||
      { fail "sway $mode: the monitor vanished"; return; }
    line=$(monitor_line sway_windows)
    echo "sway, $mode with mouse-over: $line"
    read -r shell floating x y w h border _ <<<"$line"
    [ "$floating" = floating ] || fail "sway $mode: the monitor is tiled"
    [ "$border" = csd ] || [ "$border" = none ] || fail "sway $mode: a $border frame"
    [ -n "${x:-}" ] && veil_check "sway $mode" "$x" "$y"
    cx=$((x + w / 2)) cy=$((y + h / 2))
    [ "$mode" = native ] || stop
  done
  # Natively a tray click opens the menu as a popup below the monitor (once
  # the program has had a press: a right click, closed again), never as a
  # window of its own.
  comp_pointer "$cx" "$cy"
  DISPLAY=$COMP_XVFB comp_bounded xdotool click 3
  sleep 0.5
  DISPLAY=$COMP_XVFB comp_bounded xdotool key Escape
  comp_pointer 1200 700
  item=$(first_item)
  [ -n "$item" ] || { fail "sway native: no StatusNotifierItem on the tray"; return; }
  comp_sni_call "$item" ContextMenu 1100 30
  sleep 0.8
  grab "$work/desktop_sway_native_menu.png"
  [ "$(sway_windows | grep -c .)" -eq 1 ] || fail "sway native: the menu opened as a window: $(sway_windows)"
  below=$(comp_pixel $((x + 30)) $((y + h + 12)))
  [ "$below" != "63,63,63" ] || fail "sway native: no menu below the monitor"
}

if ! command -v sway >/dev/null || ! command -v grim >/dev/null || ! command -v Xwayland >/dev/null; then
  echo "SKIP (sway): sway, grim or Xwayland is missing (scripts/install-deps installs them)"
  skipped=$((skipped + 1))
elif ! (f=$(mktemp /dev/shm/mirel9x.XXXXXX) && rm -f "$f") 2>/dev/null; then
  # Seen in a bare chroot: sway starts, but shows no client's window.
  echo "SKIP (sway): no writable /dev/shm here, and sway shows no windows without it"
  skipped=$((skipped + 1))
elif ! sway_start; then
  echo "SKIP (sway): sway does not start here"
  skipped=$((skipped + 1))
else
  ran=$((ran + 1))
  check_sway
  stop
  unset XDG_CURRENT_DESKTOP
  comp_stop
fi

# --- KWin ------------------------------------------------------------------------
check_kwin() {
  export XDG_CURRENT_DESKTOP=KDE
  settings 0
  rm -f "$XDG_CONFIG_HOME/mirel9x/preferences.conf"
  start
  until_ok 10 eval 'monitor_line kwin_windows | grep -q .' || { fail "KWin: no monitor window"; return; }
  line=$(monitor_line kwin_windows)
  echo "KWin, as started from the menu: $line"
  read -r x y w h above noborder class _ <<<"$line"
  [ "$class" = mirel9x ] || fail "KWin: not through XWayland ($class)"
  [ "$x,$y" = "300,100" ] || fail "KWin: at $x,$y, not at 300,100"
  [ "$above" = true ] || fail "KWin: not kept above"
  [ "$noborder" = true ] || fail "KWin: framed"
  # No tray host: a message (a second window) says where the menu is, once.
  until_ok 5 eval '[ "$(kwin_windows | grep -c .)" -ge 2 ]' ||
    fail "KWin: no word that there is no tray: $(kwin_windows | tr '\n' ';')"
  # A tray that starts later gets the icon.
  /usr/bin/python3 "$here/sni_watcher.py" >"$work/watcher.log" 2>&1 &
  watcher=$!
  until_ok 5 grep -q 'StatusNotifierItem' "$work/watcher.log" ||
    fail "KWin: the icon did not come to a tray that started later: $(cat "$work/watcher.log")"
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  stop
  start
  sleep 2
  [ "$(kwin_windows | grep -c .)" -eq 1 ] || fail "KWin: the no-tray word came twice: $(kwin_windows)"
  stop

  # Plasma's usual path: through XWayland, with the mouse-over mode.
  display -geometry 400x300+1000+500 -size 400x300 xc:gray >/dev/null 2>&1 &
  desk=$!
  settings 1
  comp_pointer 1200 700
  start
  if until_ok 10 eval 'monitor_line kwin_windows | grep -q .'; then
    read -r x y w h _ <<<"$(monitor_line kwin_windows)"
    [ -n "${x:-}" ] && veil_check "KWin, through XWayland" "$x" "$y"
  else
    fail "KWin: the monitor vanished"
  fi
  stop
  kill "$desk" 2>/dev/null

  settings 1
  start QT_QPA_PLATFORM=wayland
  until_ok 10 eval 'monitor_line kwin_windows | grep -q .' ||
    { fail "KWin native: the monitor vanished"; return; }
  line=$(monitor_line kwin_windows)
  echo "KWin, native with mouse-over: $line"
  read -r x y w h above noborder class dialog minimized _ <<<"$line"
  [ "$minimized" = false ] || fail "KWin native: minimised"
}

if ! command -v kwin_wayland >/dev/null || ! command -v Xwayland >/dev/null; then
  echo "SKIP (KWin): kwin_wayland or Xwayland is missing (scripts/install-deps installs them)"
  skipped=$((skipped + 1))
elif ! kwin_start; then
  echo "SKIP (KWin): kwin_wayland does not start here"
  skipped=$((skipped + 1))
else
  ran=$((ran + 1))
  check_kwin
  stop
  unset XDG_CURRENT_DESKTOP
  comp_stop
fi

# --- weston: no tray, XWayland windows framed by weston itself ----------------------
if ! command -v weston >/dev/null || ! command -v weston-debug >/dev/null; then
  echo "SKIP (weston): weston is missing (scripts/install-deps installs it)"
  skipped=$((skipped + 1))
elif ! weston_start; then
  echo "SKIP (weston): weston does not start here"
  skipped=$((skipped + 1))
else
  ran=$((ran + 1))
  settings 1
  for mode in xwayland native; do
    if [ "$mode" = native ]; then start QT_QPA_PLATFORM=wayland; else start; fi
    if [ "$mode" = native ]; then
      until_ok 10 eval 'monitor_line weston_windows | grep -q .' ||
        fail "weston native: the monitor vanished"
      echo "weston, native with mouse-over: $(monitor_line weston_windows)"
    else
      until_ok 10 eval 'x_windows "$pid" | awk "\$3 == 158" | grep -q .' ||
        fail "weston: no monitor through XWayland"
      echo "weston, through XWayland with mouse-over: $(x_windows "$pid" | awk '$3 == 158')"
    fi
    stop
  done
  comp_stop
fi

echo "desktop sessions: $ran compositors checked, $skipped skipped, $failures failures"
[ "$failures" -eq 0 ] || exit 1
[ "$ran" -gt 0 ] || exit 77
exit 0
