#!/bin/bash
# mirel9x-tool sample on real kernel objects that change while it runs: in a
# private network and mount namespace of its own, with veth pairs to a peer
# namespace that echoes the traffic back. One sample follows the default
# route (automatic choice), one keeps a manual choice from a settings file.
# The default route moves, an address changes, an interface goes and comes
# back; the printed interface, rates and LAN address must follow.
set -u
skip() {
  echo "skipped: $*"
  exit 77
}
[ -x "${MIREL_TOOL:-}" ] || skip "MIREL_TOOL is not set"

if [ -z "${MIREL_NETNS_INSIDE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || skip "a private network namespace needs root"
  for c in unshare nsenter ip python3; do
    command -v "$c" >/dev/null || skip "$c is not installed"
  done
  unshare -n -m true 2>/dev/null || skip "unshare -n -m is not allowed here (a container without CAP_SYS_ADMIN?)"
  MIREL_NETNS_INSIDE=1 exec unshare -n -m bash "$0" "$@"
fi

# Inside: /sys mounted again shows this namespace's interfaces.
mount --make-rprivate / 2>/dev/null
mount -t sysfs sysfs /sys 2>/dev/null || skip "cannot mount sysfs in the namespace"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" TERM INT

ip link set lo up
ip link add va0 type veth peer name va1 2>/dev/null || skip "veth interfaces are not available"

# The peer: a process in a namespace of its own holds it.
unshare -n sleep 600 &
peer=$!
pids+=("$peer")
for _ in $(seq 50); do
  [ "$(readlink /proc/$peer/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break
  sleep 0.1
done
p() { nsenter -t "$peer" -n "$@"; }

fail=0
die() {
  echo "FAIL: $*"
  exit 1
}

# A container bridge's address on the lowest interface index, as docker0 has.
ip link add docker0 type veth peer name docker0p || die "docker0"
ip link set docker0p netns "$peer"
ip addr add 172.17.0.1/16 dev docker0
ip link set docker0 up
ip link set va1 netns "$peer"
ip link add vb0 type veth peer name vb1 || die "vb0"
ip link set vb1 netns "$peer"
ip addr add 10.1.0.1/24 dev va0
ip addr add 10.2.0.1/24 dev vb0
ip link set va0 up
ip link set vb0 up
p ip link set lo up
p ip addr add 203.0.113.7/32 dev lo
p ip addr add 10.9.9.9/32 dev lo
p ip addr add 10.1.0.2/24 dev va1
p ip addr add 10.2.0.2/24 dev vb1
p ip addr add 10.3.0.2/24 dev vb1
p ip link set va1 up
p ip link set vb1 up
ip route add default via 10.1.0.2 dev va0
ip route add 10.9.9.9/32 via 10.2.0.2 dev vb0

# Traffic: 1000-byte datagrams to an address behind the default route and to
# one always behind vb0; the peer sends every one back. (nsenter runs in the
# background itself, not a function's subshell, so that its id is the one
# killed at the end.)
nsenter -t "$peer" -n python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 7))
while True:
    d, a = s.recvfrom(2048)
    try:
        s.sendto(d, a)
    except OSError:
        pass
' &
pids+=($!)
python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setblocking(False)
data = b"x" * 1000
while True:
    for target in (("203.0.113.7", 7), ("10.9.9.9", 7)):
        try:
            s.sendto(data, target)
        except OSError:
            pass
    try:
        while True:
            s.recv(2048)
    except OSError:
        pass
    time.sleep(0.004)
' &
pids+=($!)

# The manual choice: "自動認識" off (line 7) and the position of vb0 (line 18)
# in this namespace's table: lo, docker0, va0, vb0.
LC_ALL=C sed -e '7s/.*/ 0 \r/' -e '18s/.*/3 \r/' "$MIREL_SOURCE_DIR/data/設定.ini" >"$work/manual.ini"
auto="$work/auto.txt"
manual="$work/manual.txt"
"$MIREL_TOOL" sample --ticks 100000 --interval-ms 250 >"$auto" 2>"$work/auto.err" &
pids+=($!)
"$MIREL_TOOL" sample --settings "$work/manual.ini" --ticks 100000 --interval-ms 250 \
  >"$manual" 2>"$work/manual.err" &
pids+=($!)

# Waits up to 30 s for a line matching the pattern in the file.
wait_for() {  # file pattern
  for _ in $(seq 300); do
    grep -qP -- "$2" "$1" && return 0
    sleep 0.1
  done
  echo "FAIL: no line '$2' in $(basename "$1"):"
  tail -40 "$1"
  exit 1
}
# Waits until two ticks after line number `from` read both rates at `min`
# Kbyte/秒 or more (at most min: 0 means both rates exactly 0).
wait_rates() {  # file from min what
  for _ in $(seq 300); do
    local n
    n=$(tail -n +"$2" "$1" | awk -v min="$3" -F'\t' '
      /^102\t/ { rx = $2 } /^103\t/ { tx = $2
        if (min > 0 ? (rx + 0 >= min && tx + 0 >= min) : (rx ~ /^0Kbyte/ && tx ~ /^0Kbyte/)) n++ }
      END { print n + 0 }')
    [ "$n" -ge 2 ] && return 0
    sleep 0.1
  done
  echo "FAIL: $4"
  tail -40 "$1"
  exit 1
}
line_of() { grep -nP -- "$2" "$1" | tail -1 | cut -d: -f1; }
lines() { wc -l <"$1"; }

# 1. The default route's interface and its traffic.
wait_for "$auto" '^interface: va0  LAN 10\.1\.0\.1$'
wait_rates "$auto" "$(line_of "$auto" '^interface: va0')" 20 "rates on va0"
wait_for "$manual" '^interface: vb0  LAN 10\.2\.0\.1$'
wait_rates "$manual" 1 20 "rates on the manually chosen vb0"

# 2. The default route moves to vb0.
ip route replace default via 10.2.0.2 dev vb0
wait_for "$auto" '^interface: vb0  LAN 10\.2\.0\.1$'
wait_rates "$auto" "$(line_of "$auto" '^interface: vb0')" 20 "rates after the route moved to vb0"

# 3. vb0's address changes (a new lease in another network).
ip addr add 10.3.0.5/24 dev vb0
ip addr del 10.2.0.1/24 dev vb0
ip route replace default via 10.3.0.2 dev vb0
ip route replace 10.9.9.9/32 via 10.3.0.2 dev vb0
wait_for "$auto" '^interface: vb0  LAN 10\.3\.0\.5$'
wait_for "$manual" '^interface: vb0  LAN 10\.3\.0\.5$'
wait_rates "$auto" "$(line_of "$auto" 'LAN 10\.3\.0\.5')" 20 "rates after the address changed"

# 4. The route goes back to va0, then vb0 goes: the manual choice stays on
# vb0 and reads 0, the LAN address is the default route's.
ip route replace default via 10.1.0.2 dev va0
wait_for "$auto" '^interface: va0  LAN 10\.1\.0\.1$'
ip link del vb0
wait_for "$manual" '^interface: vb0 \(gone\)  LAN 10\.1\.0\.1$'
wait_rates "$manual" "$(line_of "$manual" '^interface: vb0 \(gone\)')" 0 "zero rates while vb0 is gone"

# 5. vb0 comes back under a new index: read again, from a new baseline.
ip link add vb0 type veth peer name vb1
ip link set vb1 netns "$peer"
p ip addr add 10.3.0.2/24 dev vb1
p ip link set vb1 up
ip addr add 10.3.0.5/24 dev vb0
ip link set vb0 up
ip route add 10.9.9.9/32 via 10.3.0.2 dev vb0
wait_for "$manual" '^interface: vb0  LAN 10\.3\.0\.5$'
back=$(lines "$manual")
wait_rates "$manual" "$back" 20 "rates after vb0 came back"
wait_rates "$auto" "$(line_of "$auto" '^interface: va0')" 20 "rates on va0 again"

# Over the whole run: no negative rate and no spike (a difference of two
# interfaces' counters, or of a gone interface's, over one interval would be
# megabytes), never the container bridge's address, the manual choice never
# on another interface, and its received total never going back.
for f in "$auto" "$manual"; do
  bad=$(grep -P '^10[23]\t' "$f" | grep -vP '^10[23]\t(Now|\d+Kbyte/秒$)' | head -3)
  [ -z "$bad" ] || { echo "FAIL: malformed or negative rate in $(basename "$f"): $bad"; fail=1; }
  big=$(grep -P '^10[23]\t\d+Kbyte' "$f" | awk -F'\t' '$2 + 0 > 2000' | head -3)
  [ -z "$big" ] || { echo "FAIL: rate spike in $(basename "$f"): $big"; fail=1; }
  if grep -qP '^105\t172\.17\.0\.1$|LAN 172\.17\.0\.1$' "$f"; then
    echo "FAIL: the container bridge's address shown in $(basename "$f")"
    fail=1
  fi
done
if grep -P '^interface: ' "$manual" | grep -vqP '^interface: vb0[ ]'; then
  echo "FAIL: the manual choice moved:"
  grep -P '^interface: ' "$manual"
  fail=1
fi
if ! grep -P '^110\t' "$manual" | awk -F'\t' '{ v = $2 + 0; if (v < last) exit 1; last = v }'; then
  echo "FAIL: the received total went back"
  grep -P '^110\t' "$manual" | uniq | tail -20
  fail=1
fi
echo "auto: $(grep -c '^interface: ' "$auto") interface lines, manual: $(grep -c '^interface: ' "$manual")"
exit $fail
