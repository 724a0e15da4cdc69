#!/usr/bin/env bash
# On a KDE Plasma session both of its usual browsers follow a proxy switch
# made through the program's browser-settings store: Chromium reads
# kioslaverc there, Firefox ESR GNOME's settings (dconf on a session bus).
# Both run headless, in a private network namespace in which two logging
# proxies on 127.0.0.1 stand in for the user's proxies; each keeps reloading
# a page, so the proxy logs show which proxy each browser uses, and when.
# KDE's own programs are told on the session bus to read kioslaverc again.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
: "${MIREL_TOOL:?}" "${MIREL_SOURCE_DIR:?}"
require_tools chromium firefox-esr dbus-daemon dbus-monitor unshare ip python3 gsettings
if ! ls /usr/lib/*/gio/modules/libdconfsettings.so >/dev/null 2>&1; then
  echo "SKIP: the dconf GSettings backend is missing (scripts/install-deps installs it)"
  exit 77
fi
if [ -z "${MIREL_IN_NETNS:-}" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: a private network namespace needs root"
    exit 77
  fi
  exec env MIREL_IN_NETNS=1 unshare --net -- bash "${BASH_SOURCE[0]}"
fi
ip link set lo up

work=$(mktemp -d)
pids=()
bus_pid=""
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$work"/*.log; do [ -f "$f" ] && sed "s|^|$(basename "$f"): |" "$f" | tail -15; done
  exit 1
}

# The configuration folder as most users have it: Chromium reads
# ~/.config/kioslaverc whatever XDG_CONFIG_HOME says, KDE and the program
# $XDG_CONFIG_HOME/kioslaverc.
unset XDG_CONFIG_HOME
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
export XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 GSETTINGS_BACKEND=dconf
mkdir -p "$HOME/.config" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$out")
bus_pid=$(sed -n 2p <<<"$out")

for port in 3128 3129; do
  python3 "$MIREL_SOURCE_DIR/tests/e2e/logging_proxy.py" "$port" "$work/proxy-$port.log" &
  pids+=($!)
  : >"$work/proxy-$port.log"
done

inet='Software\Microsoft\Windows\CurrentVersion\Internet Settings'
switch_to() {
  "$MIREL_TOOL" browser set-string "$inet" ProxyServer "$1" || fail "switch to $1 refused"
}
"$MIREL_TOOL" browser set-dword "$inet" ProxyEnable 1 || fail "cannot switch the proxy on"
switch_to 127.0.0.1:3128
grep -qx 'ProxyType=1' "$HOME/.config/kioslaverc" || fail "kioslaverc not switched on"
[ "$(gsettings get org.gnome.system.proxy mode)" = "'manual'" ] || fail "GNOME's proxy not manual"

# seen BROWSER PORT SECONDS: whether the browser's requests reach that proxy
# within the time.
seen() {
  local n
  for n in $(seq 1 $(($3 * 10))); do
    grep -q "^$1 http://site.test/" "$work/proxy-$2.log" && return 0
    sleep 0.1
  done
  return 1
}

chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/chromium" http://site.test/ >"$work/chromium.log" 2>&1 &
pids+=($!)
mkdir -p "$work/firefox"
cat >"$work/firefox/user.js" <<'PREFS'
user_pref("network.proxy.type", 5);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
PREFS
firefox-esr --headless --no-remote --profile "$work/firefox" http://site.test/ \
  >"$work/firefox.log" 2>&1 &
pids+=($!)

seen Chrome 3128 60 || fail "Chromium does not use the first proxy (kioslaverc)"
seen Firefox 3128 90 || fail "Firefox does not use the first proxy (GNOME's settings)"

dbus-monitor "type='signal',interface='org.kde.KIO.Scheduler'" >"$work/kio-signal.log" 2>&1 &
pids+=($!)
sleep 0.3
start=$(date +%s%N)
switch_to 127.0.0.1:3129
seen Chrome 3129 15 || fail "Chromium did not follow the switch"
chrome_ms=$((($(date +%s%N) - start) / 1000000))
seen Firefox 3129 15 || fail "Firefox did not follow the switch"
firefox_ms=$((($(date +%s%N) - start) / 1000000))
grep -q reparseSlaveConfiguration "$work/kio-signal.log" || fail "KDE's programs were not told"
echo "ok: Chromium followed the switch within ${chrome_ms} ms, Firefox within ${firefox_ms} ms"
