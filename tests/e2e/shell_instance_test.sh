#!/usr/bin/env bash
# The real program's command line and its one-monitor-per-session rule,
# under Xvfb and jwm: --help and --version without a display, bad addresses
# refused, the web-check address taken from the environment and from the
# command line, a second start bringing the running monitor in front of a
# window that covers it and ending with 0, and a monitor killed outright not
# blocking the next start.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools Xvfb jwm xdotool xwininfo xprop xmessage iconv python3
: "${MIREL_BIN:?}" "${MIREL_SOURCE_DIR:?}"

. "$MIREL_SOURCE_DIR/scripts/headless.sh"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  headless_stop
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -n "${DISPLAY:-}" ] && import -window root "${MIREL_BUILD_DIR:-$work}/shell_instance_failure.png" 2>/dev/null &&
    echo "screen at the failure: ${MIREL_BUILD_DIR:-$work}/shell_instance_failure.png"
  for log in "$work"/*.log; do [ -f "$log" ] && sed "s|^|$(basename "$log"): |" "$log" | tail -10; done
  exit 1
}

mkdir -p "$work/app" "$work/config" "$work/run"
chmod 700 "$work/run"
cp "$MIREL_BIN" "$work/app/mirel9x"
bin="$work/app/mirel9x"

# --- The command line, without a display ----------------------------------
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin" --version 2>&1) || fail "--version ended with $?"
[[ $out == *Ver3.18* ]] || fail "--version printed '$out'"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin" --help 2>&1) || fail "--help ended with $?"
for text in --webcheck-base --version --help MIREL9X_WEBCHECK_BASE; do
  [[ $out == *"$text"* ]] || fail "--help does not mention $text"
done
env -u DISPLAY "$bin" --webcheck-base ftp://host.test >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 2 ] || fail "a bad --webcheck-base ended with $status"
grep -q -- '--webcheck-base' "$work/err" || fail "the error does not name the option: $(cat "$work/err")"
env -u DISPLAY MIREL9X_WEBCHECK_BASE=host.test "$bin" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 2 ] || fail "a bad MIREL9X_WEBCHECK_BASE ended with $status"
grep -q MIREL9X_WEBCHECK_BASE "$work/err" || fail "the error does not name the variable"
env -u DISPLAY "$bin" --no-such-option >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown option was accepted"
echo "ok: --help, --version and bad addresses"

# --- The running program ----------------------------------------------------
# Not always on top, the address item shown, the version check on, the
# monitor at 300,100.
write_monitor_settings "$work/app/設定.ini" 111100010000000 1

python3 "$MIREL_SOURCE_DIR/tests/e2e/webcheck_bad_site.py" "$work/requests" >"$work/port" 2>"$work/site.log" &
pids+=($!)
for _ in $(seq 1 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
[ -n "$port" ] || fail "the test site did not start"

if ! headless_have; then
  echo "SKIP: Xvfb or jwm is missing"
  exit 77
fi
headless_start || fail "no X display"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" GSETTINGS_BACKEND=memory LC_ALL=C.UTF-8

# The program's visible window at 300,100.
find_monitor() {  # pid
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    if xwininfo -id "$w" | grep -q 'Absolute upper-left X:  300' &&
      xwininfo -id "$w" | grep -q 'Absolute upper-left Y:  100'; then
      echo "$w"
      return 0
    fi
  done
  return 1
}
start_monitor() {  # log, args...
  local log=$1
  shift
  "$bin" "$@" >"$work/$log" 2>&1 &
  pid=$!
  pids+=("$pid")
  monitor=""
  for _ in $(seq 1 100); do
    monitor=$(find_monitor "$pid") && break
    sleep 0.1
  done
  [ -n "$monitor" ] || fail "the monitor window did not appear at 300,100"
}
# Waits until the test site was asked for the address page below a prefix.
expect_request() {  # prefix
  for _ in $(seq 1 100); do
    grep -q "^$1/cgi-bin/Mirel9xCgi/MirelCgi/dlcount.cgi?f=1_1$" "$work/requests" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the site was not asked for $1/cgi-bin/...; it saw: $(tr '\n' ' ' <"$work/requests" 2>/dev/null)"
}
# Window ids as X prints them: xdotool gives decimals, xwininfo hex.
hex() { printf '0x%x' "$1"; }
root_id=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
# The child of the root that holds a window: its frame, if the window
# manager gave it one.
top_level() {  # window (decimal)
  local w parent
  w=$(hex "$1")
  for _ in $(seq 1 10); do
    parent=$(xwininfo -id "$w" -children | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p')
    [ "$parent" = "$root_id" ] && echo "$w" && return 0
    w=$parent
  done
  return 1
}
# The root's children, topmost first.
stacking() { xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | tr '\n' ' '; }
# Whether window $1 is above window $2.
above() {
  local a b i=0 ia=-1 ib=-1
  a=$(top_level "$1")
  b=$(top_level "$2")
  for w in $(stacking); do
    [ "$w" = "$a" ] && ia=$i
    [ "$w" = "$b" ] && ib=$i
    i=$((i + 1))
  done
  [ "$ia" -ge 0 ] && [ "$ib" -ge 0 ] && [ "$ia" -lt "$ib" ]
}

MIREL9X_WEBCHECK_BASE="http://127.0.0.1:$port/good" start_monitor first.log
first=$pid
expect_request /good
echo "ok: the web check asked the address from the environment"

# A window over the monitor.
xmessage -geometry 300x200+250+60 "covering the monitor" >/dev/null 2>&1 &
pids+=($!)
cover=""
for _ in $(seq 1 50); do
  cover=$(xdotool search --onlyvisible --class Xmessage 2>/dev/null | head -1) && [ -n "$cover" ] && break
  sleep 0.1
done
[ -n "$cover" ] || fail "xmessage did not show"
for _ in $(seq 1 30); do above "$cover" "$monitor" && break; sleep 0.1; done
above "$cover" "$monitor" || fail "the covering window $(hex "$cover") is not above the monitor $(hex "$monitor"): $(stacking)"

# A second start: the first monitor comes in front, the second ends with 0.
timeout 20 "$bin" >"$work/second.log" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the second start ended with $status"
for _ in $(seq 1 30); do above "$monitor" "$cover" && break; sleep 0.1; done
above "$monitor" "$cover" || fail "the monitor $(hex "$monitor") did not come in front of $(hex "$cover"): $(stacking)"
kill -0 "$first" 2>/dev/null || fail "the first monitor ended"
[ "$(pgrep -x -f "$bin" | wc -l)" -eq 1 ] || fail "more than one monitor runs: $(pgrep -a -f "$bin")"
echo "ok: a second start brought the monitor to the front and ended with 0"
[ -n "${MIREL_SHOT_DIR:-}" ] && import -window root "$MIREL_SHOT_DIR/second-start-front.png"

# Killed outright, the monitor leaves its lock and socket behind.
kill -9 "$first"
wait "$first" 2>/dev/null
ls "$work/run"/mirel9x-*.socket >/dev/null 2>&1 || fail "no socket file was left to test with"
: >"$work/requests"
start_monitor third.log -display "$DISPLAY" --webcheck-base "http://127.0.0.1:$port/fine"
third=$pid
expect_request /fine
sleep 0.5
kill -0 "$third" 2>/dev/null || fail "the start after a crash ended"
echo "ok: a start after a crash runs, with the address from the command line"

# And it answers the next start in its turn.
timeout 20 "$bin" >"$work/fourth.log" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the start after that ended with $status"
kill -0 "$third" 2>/dev/null || fail "the running monitor ended"
echo "ok: and it takes the next start's request"
echo "4 passed, 0 failed"
