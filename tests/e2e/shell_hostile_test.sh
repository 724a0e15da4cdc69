#!/usr/bin/env bash
# The real program against what is left or done to it from outside, under
# Xvfb and jwm: lock files of every shape under its lock's name, no
# XDG_RUNTIME_DIR, a low descriptor limit with hundreds of idle connections
# on its socket, a FIFO in the settings file's place; and SIGTERM, which
# ends it as its menu does (status 0, tray icon, lock and socket gone).
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools Xvfb jwm xdotool xwininfo iconv python3
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
  for log in "$work"/*.log; do [ -f "$log" ] && sed "s|^|$(basename "$log"): |" "$log" | tail -5; done
  exit 1
}

mkdir -p "$work/app" "$work/config" "$work/run" "$work/tmp"
chmod 700 "$work/run"
cp "$MIREL_BIN" "$work/app/mirel9x"
bin="$work/app/mirel9x"
write_monitor_settings "$work/app/設定.ini" 000100000000000 0

if ! headless_have; then
  echo "SKIP: Xvfb or jwm is missing"
  exit 77
fi
headless_start || fail "no X display"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp"
export GSETTINGS_BACKEND=memory LC_ALL=C.UTF-8
name="mirel9x-$(id -u)-${DISPLAY//:/_}"

shown() { xdotool search --onlyvisible --pid "$1" >/dev/null 2>&1; }
# Starts the program (through `env ARGS...` when given) and waits for a window.
start_first() {  # log [env args...]
  local log=$1
  shift
  env "$@" "$bin" >"$work/$log" 2>&1 &
  pid=$!
  pids+=("$pid")
  for _ in $(seq 1 100); do shown "$pid" && return 0; sleep 0.1; done
  fail "[$log] no window"
}
# A second start ends with 0 within 3 s: the first one answered.
second_start_forwards() {  # what [env args...]
  local what=$1 started status
  shift
  started=$(date +%s%N)
  timeout 20 env "$@" "$bin" >"$work/second.log" 2>&1
  status=$?
  [ "$status" -eq 0 ] || fail "[$what] the second start ended with $status"
  [ $((($(date +%s%N) - started) / 1000000)) -lt 3000 ] || fail "[$what] the second start waited"
  kill -0 "$pid" 2>/dev/null || fail "[$what] the first monitor ended"
}
# SIGTERM ends it as 終了 does: status 0, nothing left in the tray, no lock
# or socket left in its folder.
terminate() {  # what folder [status]
  kill -TERM "$pid"
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "[$1] SIGTERM did not end the program"
  wait "$pid"
  local status=$?
  [ "$status" -eq "${3:-0}" ] || fail "[$1] the program ended with $status after SIGTERM"
  [ -z "$(xwininfo -root -tree | grep -i 'QSystemTrayIconSys')" ] || fail "[$1] the tray icon was left"
  [ -z "$(ls -A "$2" | grep "^$name")" ] || fail "[$1] left behind: $(ls -A "$2")"
}

# --- What a lock file can be ----------------------------------------------------
lock="$work/run/$name.lock"
echo "outside" >"$work/elsewhere"
for shape in empty junk "another user's" link; do
  rm -f "$lock"
  case "$shape" in
    empty) : >"$lock" ;;
    junk) printf '\001garbage\nmore' >"$lock" ;;
    "another user's") echo 4242 >"$lock" && chmod 600 "$lock" && { chown 65534 "$lock" 2>/dev/null || true; } ;;
    link) ln -s "$work/elsewhere" "$lock" ;;
  esac
  start_first "first.log"
  second_start_forwards "$shape lock"
  terminate "$shape lock" "$work/run"
done
[ "$(cat "$work/elsewhere")" = outside ] || fail "the link's target was written"
echo "ok: an empty, junk, foreign or linked lock file does not block a start; SIGTERM cleans up"

# --- Out of descriptors ------------------------------------------------------------
# 286 idle connections to a monitor with 256 descriptors: the next start
# still gets through.
env bash -c "ulimit -n 256 && exec \"$bin\"" >"$work/low.log" 2>&1 &
pid=$!
pids+=("$pid")
for _ in $(seq 1 100); do shown "$pid" && break; sleep 0.1; done
python3 - "$work/run/$name.socket" "$work/idle-ready" <<'PY' &
import socket, sys, time
kept = []
for _ in range(286):
    s = socket.socket(socket.AF_UNIX)
    for _ in range(50):
        try:
            s.connect(sys.argv[1])
            kept.append(s)
            break
        except OSError:
            time.sleep(0.01)
open(sys.argv[2], "w").write(str(len(kept)))
time.sleep(600)
PY
pids+=($!)
for _ in $(seq 1 300); do [ -s "$work/idle-ready" ] && break; sleep 0.1; done
[ -s "$work/idle-ready" ] || fail "the idle connections were not made"
second_start_forwards "286 idle connections"
second_start_forwards "286 idle connections, again"
terminate "low descriptor limit" "$work/run"
echo "ok: idle connections do not shut out the next start"

# --- No XDG_RUNTIME_DIR (a plain su) ------------------------------------------------
start_first "unset.log" -u XDG_RUNTIME_DIR
second_start_forwards "no runtime folder" -u XDG_RUNTIME_DIR
[ "$(stat -c %a "$work/tmp/mirel9x-$(id -u)")" = 700 ] || fail "the lock's folder is not private"
terminate "no runtime folder" "$work/tmp/mirel9x-$(id -u)"
echo "ok: without XDG_RUNTIME_DIR the guard holds, in a folder of mode 0700"

# --- A FIFO as the settings file ----------------------------------------------------
# The start says what is wrong at once (its message box is up) instead of
# hanging before its first window with the lock taken.
mv "$work/app/設定.ini" "$work/settings.ini"
mkfifo "$work/app/設定.ini"
start_first "fifo.log"
second_start_forwards "settings file is a FIFO"
# (Its status stays that of a settings file that could not be read.)
terminate "settings file is a FIFO" "$work/run" 1
echo "ok: a FIFO in the settings file's place does not hang the start"
echo "4 passed, 0 failed"
