#!/bin/bash
# The desktop proxy through the real dconf backend, as a user's session has
# it: writes that dconf does not keep (no session bus, a configuration folder
# it cannot write) are errors, and kept texts read back exactly as written.
set -u
[ -x "${MIREL_TOOL:-}" ] || exit 77
if ! [ -e /usr/lib/x86_64-linux-gnu/gio/modules/libdconfsettings.so ] &&
   ! ls /usr/lib/*/gio/modules/libdconfsettings.so >/dev/null 2>&1; then
  echo "dconf GSettings backend missing (scripts/install-deps installs it)"; exit 77
fi
command -v dbus-daemon >/dev/null || { echo "dbus-daemon missing"; exit 77; }

work=$(mktemp -d)
bus_pid=""
cleanup() {
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

key='Software\Microsoft\Windows\CurrentVersion\Internet Settings'
export GSETTINGS_BACKEND=dconf XDG_RUNTIME_DIR="$work/run"
mkdir -p "$work/run" && chmod 700 "$work/run"
fail=0

# start_bus CONFIG_HOME: a private session bus whose dconf-service (started on
# demand) writes under CONFIG_HOME.
start_bus() {
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  local out
  out=$(XDG_CONFIG_HOME="$1" dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
    { echo "cannot start a session bus"; exit 1; }
  export DBUS_SESSION_BUS_ADDRESS=$(printf '%s\n' "$out" | sed -n 1p)
  bus_pid=$(printf '%s\n' "$out" | sed -n 2p)
}

# check LABEL WANT_STATUS WANT_OUTPUT COMMAND...: runs the tool, compares its
# status and (for get) what it prints; a failure must say エラー.
check() {
  local label=$1 want_status=$2 want_out=$3 out status
  shift 3
  out=$("$MIREL_TOOL" browser "$@" 2>"$work/err")
  status=$?
  if [ "$status" -ne "$want_status" ]; then
    echo "$label: status $status, expected $want_status"; cat "$work/err"; fail=1
  fi
  if [ "$want_status" -ne 0 ] && ! grep -q 'エラー' "$work/err"; then
    echo "$label: no エラー on failure"; fail=1
  fi
  if [ "$1" = get ] && [ "$out" != "$want_out" ]; then
    echo "$label: read '$out', expected '$want_out'"; fail=1
  fi
}

# No session bus: GLib only warns, so the tool must find out by reading back.
export XDG_CONFIG_HOME="$work/nobus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
check "no bus: server" 1 "" set-string "$key" ProxyServer "192.0.2.10:3128"
check "no bus: server reads" 0 "" get "$key" ProxyServer
check "no bus: switch" 1 "" set-dword "$key" ProxyEnable 1
check "no bus: switch reads" 0 "0" get "$key" ProxyEnable

# A working session: kept, and read back as written.
export XDG_CONFIG_HOME="$work/cfg"
start_bus "$XDG_CONFIG_HOME"
for text in "http=192.0.2.10:3128;https=192.0.2.10:3128" "socks=192.0.2.1:1080" \
            "http://192.0.2.20:8080/" "192.0.2.30"; do
  check "bus: set $text" 0 "" set-string "$key" ProxyServer "$text"
  check "bus: read $text" 0 "$text" get "$key" ProxyServer
done
[ -f "$XDG_CONFIG_HOME/dconf/user" ] || { echo "dconf wrote no database"; fail=1; }
check "bus: switch on" 0 "" set-dword "$key" ProxyEnable 1
check "bus: switch reads" 0 "1" get "$key" ProxyEnable
check "bus: unknown protocol" 1 "" set-string "$key" ProxyServer "gopher=192.0.2.9:70"
check "bus: unchanged" 0 "192.0.2.30" get "$key" ProxyServer

# A configuration folder dconf cannot write into.
export XDG_CONFIG_HOME="$work/readonly"
mkdir -p "$XDG_CONFIG_HOME" && : >"$XDG_CONFIG_HOME/dconf"  # a file where its folder goes
start_bus "$XDG_CONFIG_HOME"
check "read-only: server" 1 "" set-string "$key" ProxyServer "192.0.2.10:3128"
check "read-only: server reads" 0 "" get "$key" ProxyServer
check "read-only: switch" 1 "" set-dword "$key" ProxyEnable 1
check "read-only: switch reads" 0 "0" get "$key" ProxyEnable
exit $fail
