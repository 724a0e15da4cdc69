#!/bin/bash
# What a storm of virtual interfaces costs (containers starting and
# stopping: 40 veth pairs a second, each with an address and a route) to
# mirel9x-tool sample, which follows the network as the program does, in a
# network namespace of its own. A benchmark-style check with a generous
# bound: the sample's processor time over the storm (from /proc) stays
# under 4 % of a core (one re-read per burst makes it about 1 %; one per
# notice made it 20 %), and afterwards it still follows the default route.
set -u
skip() {
  echo "skipped: $*"
  exit 77
}
[ -x "${MIREL_TOOL:-}" ] || skip "MIREL_TOOL is not set"

if [ -z "${MIREL_NETNS_INSIDE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || skip "a private network namespace needs root"
  for c in unshare ip; do
    command -v "$c" >/dev/null || skip "$c is not installed"
  done
  unshare -n -m true 2>/dev/null || skip "unshare -n -m is not allowed here"
  MIREL_NETNS_INSIDE=1 exec unshare -n -m bash "$0" "$@"
fi

mount --make-rprivate / 2>/dev/null
mount -t sysfs sysfs /sys 2>/dev/null || skip "cannot mount sysfs in the namespace"
work=$(mktemp -d)
sample=""
cleanup() {
  [ -n "$sample" ] && kill "$sample" 2>/dev/null && wait "$sample" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
die() {
  echo "FAIL: $*"
  tail -20 "$work/sample.txt"
  exit 1
}

ip link set lo up
ip link add up0 type veth peer name up1 2>/dev/null || skip "veth interfaces are not available"
ip addr add 10.1.0.1/24 dev up0
ip link set up0 up
ip link set up1 up
ip route add default via 10.1.0.2 dev up0

"$MIREL_TOOL" sample --ticks 100000 --interval-ms 250 >"$work/sample.txt" 2>"$work/sample.err" &
sample=$!
for _ in $(seq 50); do grep -q '^interface: up0  LAN 10\.1\.0\.1$' "$work/sample.txt" && break; sleep 0.1; done
grep -q '^interface: up0  LAN 10\.1\.0\.1$' "$work/sample.txt" || die "the sample did not start on up0"

cpu_ns() { cat /proc/"$sample"/task/*/schedstat | awk '{s += $1} END {printf "%d", s}'; }
now_ns() { date +%s%N; }

# The storm: every 100 ms four new pairs (address, route, both ends up),
# and the pairs older than a second go.
seconds=5
c0=$(cpu_ns)
t0=$(now_ns)
n=0
slot=0
while [ $(($(now_ns) - t0)) -lt $((seconds * 1000000000)) ]; do
  commands=""
  for _ in 1 2 3 4; do
    n=$((n + 1))
    k=$((n % 200))
    commands+="link add s$n type veth peer name s${n}p"$'\n'
    commands+="addr add 10.$((100 + k / 250)).$((k % 250)).1/24 dev s$n"$'\n'
    commands+="link set s$n up"$'\n'
    commands+="link set s${n}p up"$'\n'
    commands+="route add 10.$((50 + k / 250)).$((k % 250)).0/24 dev s$n"$'\n'
    [ "$n" -gt 40 ] && commands+="link del s$((n - 40))"$'\n'
  done
  printf '%s' "$commands" | ip -batch - 2>/dev/null
  slot=$((slot + 100000000))
  ahead=$((t0 + slot - $(now_ns)))
  [ "$ahead" -gt 0 ] && sleep "$(awk -v ns="$ahead" 'BEGIN { print ns / 1e9 }')"
done
c1=$(cpu_ns)
t1=$(now_ns)
read -r percent rate < <(awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) -v n="$n" \
  'BEGIN { printf "%.2f %.0f\n", 100 * c / t, n / (t / 1e9) }')
echo "storm: $n veth pairs in $(((t1 - t0) / 1000000)) ms ($rate a second); the sample used $percent % of a core"
awk -v p="$percent" 'BEGIN { exit !(p < 4) }' || die "the storm cost $percent % of a core"

# Afterwards: still on up0 with its address, and a moved default route is
# followed at once.
for i in $(seq "$((n > 40 ? n - 39 : 1))" "$n"); do echo "link del s$i"; done | ip -batch - 2>/dev/null
sleep 1
last=$(grep '^interface: ' "$work/sample.txt" | tail -1)
[ "$last" = "interface: up0  LAN 10.1.0.1" ] || die "after the storm: '$last'"
ip link add dn0 type veth peer name dn1
ip addr add 10.2.0.1/24 dev dn0
ip link set dn0 up
ip link set dn1 up
moved=$(now_ns)
ip route replace default via 10.2.0.2 dev dn0
for _ in $(seq 30); do grep -q '^interface: dn0  LAN 10\.2\.0\.1$' "$work/sample.txt" && break; sleep 0.1; done
grep -q '^interface: dn0  LAN 10\.2\.0\.1$' "$work/sample.txt" || die "the moved route was not followed"
echo "ok: the moved route was followed after $((($(now_ns) - moved) / 1000000)) ms"
