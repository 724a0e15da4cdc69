# Sourced by scripts/run and the end-to-end tests: a private X display (Xvfb
# on a free display number) with jwm, whose tray holds a task list and a
# notification area. Call headless_start, then headless_stop when done.

# Screen size of the private display.
HEADLESS_SIZE=${HEADLESS_SIZE:-1280x800}
# The tray clock's format; empty for a tray without a clock (pictures that
# must come out the same at any time).
HEADLESS_CLOCK=${HEADLESS_CLOCK-%H:%M}

headless_have() {
  command -v Xvfb >/dev/null 2>&1 && command -v jwm >/dev/null 2>&1
}

headless_start() {
  HEADLESS_DIR=$(mktemp -d)
  local clock=""
  [ -n "$HEADLESS_CLOCK" ] && clock="<Clock format=\"$HEADLESS_CLOCK\"/>"
  cat >"$HEADLESS_DIR/jwmrc" <<JWM
<?xml version="1.0"?>
<JWM>
  <Tray x="0" y="-1" height="28" autohide="off">
    <TaskList maxwidth="220"/>
    <Dock/>
    $clock
  </Tray>
  <Desktops width="1" height="1"/>
  <FocusModel>click</FocusModel>
</JWM>
JWM
  exec 9>"$HEADLESS_DIR/display"
  Xvfb -displayfd 9 -screen 0 "${HEADLESS_SIZE}x24" -nolisten tcp >"$HEADLESS_DIR/xvfb.log" 2>&1 &
  HEADLESS_XVFB_PID=$!
  exec 9>&-
  local n=""
  for _ in $(seq 1 100); do
    n=$(cat "$HEADLESS_DIR/display" 2>/dev/null || true)
    [ -n "$n" ] && break
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "headless: Xvfb did not start:" >&2
    cat "$HEADLESS_DIR/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$n"
  # The server may take a moment before it accepts clients.
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  # jwm's tray (a bar as wide as the screen) with its notification area. A
  # jwm that lost a race with the server's start-up is started again.
  local width=${HEADLESS_SIZE%x*}
  for _ in 1 2 3; do
    jwm -f "$HEADLESS_DIR/jwmrc" >>"$HEADLESS_DIR/jwm.log" 2>&1 &
    HEADLESS_JWM_PID=$!
    for _ in $(seq 1 50); do
      if xwininfo -root -tree 2>/dev/null | grep -q " ${width}x28+"; then
        sleep 0.3
        return 0
      fi
      kill -0 "$HEADLESS_JWM_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$HEADLESS_JWM_PID" 2>/dev/null || true
    wait "$HEADLESS_JWM_PID" 2>/dev/null || true
  done
  echo "headless: jwm did not show its tray:" >&2
  cat "$HEADLESS_DIR/jwm.log" >&2
  return 1
}

headless_stop() {
  [ -n "${HEADLESS_JWM_PID:-}" ] && kill "$HEADLESS_JWM_PID" 2>/dev/null || true
  [ -n "${HEADLESS_XVFB_PID:-}" ] && kill "$HEADLESS_XVFB_PID" 2>/dev/null || true
  wait "${HEADLESS_JWM_PID:-}" "${HEADLESS_XVFB_PID:-}" 2>/dev/null || true
  [ -n "${HEADLESS_DIR:-}" ] && rm -rf "$HEADLESS_DIR"
  HEADLESS_JWM_PID="" HEADLESS_XVFB_PID="" HEADLESS_DIR=""
}
