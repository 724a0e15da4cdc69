#!/bin/bash
# The real program records the traffic history: in a private network and
# mount namespace with a veth pair to a peer namespace that echoes UDP
# traffic back (TEST-NET-1 addresses), it runs for over a minute under Xvfb
# and jwm and ends with SIGTERM. The history then holds, to the byte, the
# octets the kernel's counters moved by meanwhile, in every table; the tool
# reads the history while the program writes it; and a data folder that
# cannot be written leaves the monitor running without history.
set -u
skip() {
  echo "skipped: $*"
  exit 77
}
[ -x "${MIREL_BIN:-}" ] && [ -x "${MIREL_TOOL:-}" ] || skip "MIREL_BIN or MIREL_TOOL is not set"
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools Xvfb jwm xdotool xwininfo python3 ip unshare nsenter iconv

if [ -z "${MIREL_NETNS_INSIDE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || skip "a private network namespace needs root"
  unshare -n -m true 2>/dev/null || skip "unshare -n -m is not allowed here"
  MIREL_NETNS_INSIDE=1 exec unshare -n -m bash "$0" "$@"
fi

mount --make-rprivate / 2>/dev/null
mount -t sysfs sysfs /sys 2>/dev/null || skip "cannot mount sysfs in the namespace"
. "$MIREL_SOURCE_DIR/scripts/headless.sh"
work=$(mktemp -d)
pids=()
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  headless_stop
  umount "$work/ro" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" TERM INT
fail() {
  echo "FAIL: $*"
  [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" | tail -20
  exit 1
}

# No traffic but the test's own: no IPv6 (router and neighbour solicitations)
# and fixed neighbours (no ARP) on both sides.
noipv6() { for f in all default; do echo 1 >"/proc/sys/net/ipv6/conf/$f/disable_ipv6"; done; }
noipv6 2>/dev/null
ip link set lo up
unshare -n sleep 600 &
peer=$!
pids+=("$peer")
for _ in $(seq 50); do
  [ "$(readlink /proc/$peer/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break
  sleep 0.1
done
p() { nsenter -t "$peer" -n "$@"; }
p bash -c "$(declare -f noipv6); noipv6" 2>/dev/null
ip link add va0 type veth peer name va1 2>/dev/null || skip "veth interfaces are not available"
mac0=$(cat /sys/class/net/va0/address)
mac1=$(cat /sys/class/net/va1/address)
ip link set va1 netns "$peer"
ip addr add 192.0.2.1/24 dev va0
p ip addr add 192.0.2.2/24 dev va1
ip neigh add 192.0.2.2 lladdr "$mac1" dev va0 nud permanent
p ip neigh add 192.0.2.1 lladdr "$mac0" dev va1 nud permanent
ip link set va0 up
p ip link set va1 up
p ip link set lo up
nsenter -t "$peer" -n python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("192.0.2.2", 7))
while True:
    d, a = s.recvfrom(2048)
    s.sendto(d[:700], a)
' &
pids+=($!)

counters() { echo "$(cat /sys/class/net/va0/statistics/rx_bytes) $(cat /sys/class/net/va0/statistics/tx_bytes)"; }

headless_have || skip "Xvfb or jwm is missing"
headless_start || fail "no X display"
mkdir -p "$work/app" "$work/config" "$work/run"
chmod 700 "$work/run"
cp "$MIREL_BIN" "$work/app/mirel9x"
write_monitor_settings "$work/app/設定.ini" 000000000111000 0
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" \
  GSETTINGS_BACKEND=memory LC_ALL=C.UTF-8
history="$work/data/mirel9x/history.sqlite"

read -r rx0 tx0 < <(counters)
"$work/app/mirel9x" >"$work/program.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ -f "$history" ] && break
  sleep 0.1
done
[ -f "$history" ] || fail "no history file at $history"
sleep 1  # the start's reading is taken before the traffic

# A minute and a bit of traffic: 1000-byte datagrams out, 700 back.
python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setblocking(False)
end = time.time() + 70
while time.time() < end:
    try:
        s.sendto(b"x" * 1000, ("192.0.2.2", 7))
        while True:
            s.recv(2048)
    except OSError:
        pass
    time.sleep(0.005)
' &
sender=$!
pids+=("$sender")
# SQLite is loaded for the minute's batch and let go of a few seconds after.
mapped=0 unmapped=0
for _ in $(seq 132); do
  if grep -q libsqlite3 "/proc/$pid/maps" 2>/dev/null; then mapped=$((mapped + 1)); else unmapped=$((unmapped + 1)); fi
  sleep 0.5
done
echo "SQLite mapped in $mapped of $((mapped + unmapped)) looks"
[ "$mapped" -gt 0 ] && [ "$mapped" -lt 40 ] ||
  fail "SQLite was mapped in $mapped of $((mapped + unmapped)) looks, not only around the batch"
# The tool reads what the running program wrote at the last minute.
"$MIREL_TOOL" history --json --iface va0 >"$work/running.json" 2>"$work/running.err" ||
  fail "the tool cannot read the history while the program runs: $(cat "$work/running.err")"
wait "$sender"
sleep 2
read -r rx1 tx1 < <(counters)
kill -TERM "$pid"
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end on SIGTERM"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status on SIGTERM"
read -r rx2 tx2 < <(counters)
[ "$rx1 $tx1" = "$rx2 $tx2" ] || echo "note: the counters moved after the traffic: $rx1 $tx1 -> $rx2 $tx2"

"$MIREL_TOOL" history --json --iface va0 >"$work/after.json" || fail "the tool cannot read the history"
python3 - "$work/running.json" "$work/after.json" $((rx2 - rx0)) $((tx2 - tx0)) "$rx0" "$tx0" <<'PY' || fail "the history does not match the counters"
import json, sys
running, after = (json.load(open(f)) for f in sys.argv[1:3])
rx, tx, rx0, tx0 = (int(v) for v in sys.argv[3:7])
ok = True
def sums(doc):
    (iface,) = doc["interfaces"]
    assert iface["name"] == "va0", iface["name"]
    return {t: (sum(b["rx"] for b in iface[t]), sum(b["tx"] for b in iface[t]))
            for t in ("fiveminutes", "hours", "days", "months", "years")}
r = sums(running)
print("while running, 5-minute sums:", r["fiveminutes"], "of", (rx, tx))
if not (0 < r["fiveminutes"][0] < rx):
    print("FAIL: the minute's batch was not there while the program ran"); ok = False
s = sums(after)
print("kernel: rx", rx, "tx", tx, "(before the start:", rx0, tx0, ")")
for table, (hrx, htx) in s.items():
    # What the counters held at the start counts since the interface was
    # made: it can only go to a table that holds the whole time since the boot.
    extra = (rx0, tx0) if table in ("months", "years") else (0, 0)
    print(f"{table}: rx {hrx} tx {htx}")
    if table in ("fiveminutes", "hours", "days") and (hrx, htx) != (rx, tx):
        print(f"FAIL: {table} differ from the kernel's counters"); ok = False
    if table in ("months", "years") and not (rx <= hrx <= rx + extra[0] and tx <= htx <= tx + extra[1]):
        print(f"FAIL: {table} differ from the kernel's counters"); ok = False
import re
for b in json.load(open(sys.argv[2]))["interfaces"][0]["fiveminutes"]:
    if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d[05]:00[+-]\d\d:\d\d", b["start"]):
        print("FAIL: not a 5-minute start in local time with its offset:", b["start"]); ok = False
sys.exit(0 if ok else 1)
PY
(( rx2 - rx0 > 1000000 )) || fail "too little traffic went through: $((rx2 - rx0)) octets"

# A data folder that cannot be written: one message, and the monitor runs on.
mkdir -p "$work/ro"
mount -t tmpfs -o ro,size=64k tmpfs "$work/ro" || skip "cannot mount a read-only folder"
XDG_DATA_HOME="$work/ro" "$work/app/mirel9x" >"$work/ro.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q "履歴なしで続けます" "$work/ro.log" && break
  sleep 0.1
done
grep -q "通信履歴.*履歴なしで続けます" "$work/ro.log" || fail "no message about the history: $(cat "$work/ro.log")"
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the monitor ended without a writable data folder"
xdotool search --onlyvisible --pid "$pid" --name Mirel >/dev/null || fail "no monitor window"
kill -TERM "$pid"
wait "$pid"
pid=""
echo "history matches the kernel's counters: rx $((rx2 - rx0)) tx $((tx2 - tx0))"
exit 0
