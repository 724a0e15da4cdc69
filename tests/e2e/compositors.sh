# Sourced by the desktop session test: real Wayland compositors from Debian
# started headless for one ordinary user, each with XWayland and a private
# session bus, and their own views of the windows.
#
#   sway_start, kwin_start, weston_start   start one (comp_stop ends it)
#   comp_run ENV... PROGRAM ARGS...         runs a program in that session
# After a start: WAYLAND_DISPLAY, DISPLAY (XWayland) and
# DBUS_SESSION_BUS_ADDRESS name the session; COMP_DIR holds its files.

COMP_PIDS=()

# Every call into a session is bounded: a compositor that cannot draw (no
# shared memory, no GPU fallback) may leave a client waiting for ever, and a
# test that hangs tells nobody what went wrong.
comp_bounded() { timeout -k 2 "${COMP_CALL_SECONDS:-10}" "$@"; }

# A private session bus; swaybar's tray and KWin register on it.
comp_bus() {
  local out
  out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || return 1
  export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$out")
  COMP_PIDS+=("$(sed -n 2p <<<"$out")")
}

# The session program writes the environment the compositor gives its
# clients; comp_wait_session waits for it.
comp_session_script() {
  cat >"$COMP_DIR/session.sh" <<EOF
#!/bin/bash
env | grep -E '^(WAYLAND_DISPLAY|DISPLAY|SWAYSOCK)=' >"$COMP_DIR/session.env.tmp"
mv "$COMP_DIR/session.env.tmp" "$COMP_DIR/session.env"
exec sleep 100000
EOF
  chmod +x "$COMP_DIR/session.sh"
}

comp_wait_session() {
  local n
  for n in $(seq 1 150); do
    if [ -s "$COMP_DIR/session.env" ]; then
      set -a
      . "$COMP_DIR/session.env"
      set +a
      return 0
    fi
    sleep 0.1
  done
  echo "the compositor did not start its session:"
  tail -20 "$COMP_DIR/compositor.log"
  return 1
}

comp_prepare() {
  COMP_DIR=$(mktemp -d "${MIREL_WORK:-/tmp}/comp.XXXXXX")
  export XDG_RUNTIME_DIR="$COMP_DIR/run"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  unset WAYLAND_DISPLAY DISPLAY SWAYSOCK
  comp_bus || return 1
  comp_session_script
}

# sway with its bar (whose tray is a StatusNotifierItem host) on one
# 1280x800 output, software rendering. Its headless backend has no input
# devices, so no client would ever see the pointer enter or leave: sway runs
# on its X11 backend inside a private Xvfb instead, whose pointer
# (comp_pointer) is sway's. KWin likewise.
# A private Xvfb for a compositor to run in (COMP_XVFB names it).
comp_xvfb() {
  exec 9>"$COMP_DIR/xvfb.display"
  Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp >"$COMP_DIR/xvfb.log" 2>&1 &
  COMP_PIDS+=($!)
  exec 9>&-
  local n
  for n in $(seq 1 100); do
    COMP_XVFB=$(cat "$COMP_DIR/xvfb.display" 2>/dev/null)
    [ -n "$COMP_XVFB" ] && break
    sleep 0.1
  done
  [ -n "$COMP_XVFB" ] || { echo "Xvfb did not start"; return 1; }
  COMP_XVFB=":$COMP_XVFB"
}

sway_start() {
  comp_prepare || return 1
  comp_xvfb || return 1
  local n
  cat >"$COMP_DIR/sway.conf" <<EOF
output X11-1 resolution 1280x800 position 0 0
xwayland enable
bar {
  position top
  status_command sleep 100000
}
exec $COMP_DIR/session.sh
EOF
  DISPLAY=$COMP_XVFB WLR_BACKENDS=x11 WLR_X11_OUTPUTS=1 WLR_RENDERER=pixman \
    sway -c "$COMP_DIR/sway.conf" >"$COMP_DIR/compositor.log" 2>&1 &
  COMP_PIDS+=($!)
  comp_wait_session || return 1
  # The bar's tray registers the host a moment after the bar maps.
  for n in $(seq 1 50); do
    comp_sni_host && return 0
    sleep 0.1
  done
  echo "swaybar registered no tray host"
  return 1
}

# Moves the compositor's pointer to X,Y (its output fills the Xvfb screen).
comp_pointer() {
  DISPLAY=$COMP_XVFB comp_bounded xdotool mousemove "$1" "$2"
}

# The colour of one pixel of the compositor's output, as "r,g,b".
comp_pixel() {
  comp_bounded import -display "$COMP_XVFB" -window root -crop "1x1+$1+$2" png:- 2>/dev/null |
    convert - -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}

# KWin in a window of a private Xvfb (its virtual backend has no pointer).
# The binary carries a file capability that a container's bounding set may
# refuse (exec then fails with EPERM), so a copy without it runs; it must
# keep its name, or KWin's own platform plugin declines to load.
kwin_start() {
  comp_prepare || return 1
  comp_xvfb || return 1
  mkdir -p "$COMP_DIR/kwin"
  cp "$(command -v kwin_wayland)" "$COMP_DIR/kwin/kwin_wayland" || return 1
  DISPLAY=$COMP_XVFB "$COMP_DIR/kwin/kwin_wayland" --x11-display "$COMP_XVFB" --xwayland \
    --width 1280 --height 800 \
    --socket "wayland-mirel" --no-lockscreen --exit-with-session "$COMP_DIR/session.sh" \
    >"$COMP_DIR/compositor.log" 2>&1 &
  COMP_PIDS+=($!)
  comp_wait_session
}

weston_start() {
  comp_prepare || return 1
  weston --backend=headless-backend.so --xwayland --socket=wayland-mirel --width=1280 \
    --height=800 --debug --idle-time=0 >"$COMP_DIR/compositor.log" 2>&1 &
  COMP_PIDS+=($!)
  local n display=""
  for n in $(seq 1 100); do
    display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$COMP_DIR/compositor.log")
    [ -n "$display" ] && [ -S "$XDG_RUNTIME_DIR/wayland-mirel" ] && break
    sleep 0.1
  done
  [ -n "$display" ] || { tail -20 "$COMP_DIR/compositor.log"; return 1; }
  export WAYLAND_DISPLAY=wayland-mirel DISPLAY=$display
}

comp_stop() {
  local p
  for p in "${COMP_PIDS[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${COMP_PIDS[@]}"; do wait "$p" 2>/dev/null; done
  COMP_PIDS=()
  unset WAYLAND_DISPLAY DISPLAY SWAYSOCK DBUS_SESSION_BUS_ADDRESS COMP_XVFB
}

# --- Views of the windows ------------------------------------------------------

# sway: one line per client window: "shell floating x y w h border title".
sway_windows() {
  comp_bounded swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n, floating):
    if n.get("pid"):
        r = n["rect"]
        print(n.get("shell"), "floating" if floating else "tiled", r["x"], r["y"],
              r["width"], r["height"], n.get("border"), n.get("name"))
    for c in n.get("nodes", []): walk(c, floating)
    for c in n.get("floating_nodes", []): walk(c, True)
walk(json.load(sys.stdin), False)'
}

# KWin: one line per client, from a script KWin runs: "x y w h keepAbove
# noBorder class dialog minimized caption" (the class of an XWayland client
# is the program's, a native one's its application id).
kwin_windows() {
  local name="mirel$RANDOM" lines
  cat >"$COMP_DIR/list.js" <<'EOF'
var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i) {
  var c = cs[i];
  print("MIRELWIN " + c.x + " " + c.y + " " + c.width + " " + c.height + " " + c.keepAbove +
        " " + c.noBorder + " " + c.resourceClass + " " + c.dialog + " " + c.minimized +
        " " + c.caption);
}
EOF
  lines=$(wc -l <"$COMP_DIR/compositor.log")
  comp_bounded gdbus call --session --timeout 5 -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
    "$COMP_DIR/list.js" "$name" >/dev/null || return 1
  comp_bounded gdbus call --session --timeout 5 -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start >/dev/null
  sleep 0.3
  tail -n +$((lines + 1)) "$COMP_DIR/compositor.log" | sed -n 's/^js: MIRELWIN //p'
  comp_bounded gdbus call --session --timeout 5 -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.unloadScript \
    "$name" >/dev/null
}

# weston: the scene graph's top-level windows, "x y x2 y2 title".
weston_windows() {
  timeout 3 weston-debug scene-graph 2>/dev/null | /usr/bin/python3 -c '
import re, sys
title = None
for line in sys.stdin:
    m = re.search(r"top-level window .(.*). of ", line)
    if m: title = m.group(1); continue
    m = re.search(r"position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)", line)
    if m and title is not None:
        print(*m.groups(), title); title = None'
}

# X windows of a process, mapped: "x y w h override-redirect(0/1) id".
x_windows() {
  local pid=$1 w
  for w in $(comp_bounded xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    comp_bounded xwininfo -id "$w" 2>/dev/null | awk -v id="$w" '
      /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
      /Width:/ {wd=$2} /Height:/ {h=$2} /Override Redirect State/ {o=($4=="yes")}
      END {print x, y, wd, h, o, id}'
  done
}

# --- The tray ------------------------------------------------------------------

# Whether a StatusNotifierItem host is registered with the watcher.
comp_sni_host() {
  comp_bounded gdbus call --session --timeout 5 -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    IsStatusNotifierHostRegistered 2>/dev/null | grep -q true
}

# The registered items, one "service/path" a line.
comp_sni_items() {
  comp_bounded gdbus call --session --timeout 5 -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*'" | tr -d "'"
}

# comp_sni_call ITEM METHOD X Y: what a tray host does on a click.
comp_sni_call() {
  local item=$1 service path=/StatusNotifierItem
  service=${item%%/*}
  [ "$service" != "$item" ] && path=/${item#*/}
  comp_bounded gdbus call --session --timeout 5 -d "$service" -o "$path" -m "org.kde.StatusNotifierItem.$2" "$3" "$4" \
    >/dev/null
}
