#!/bin/bash
# mirel9x-tool sample on this machine: every item's line in its format, one
# block per tick.
set -u
[ -x "${MIREL_TOOL:-}" ] || exit 77
out=$("$MIREL_TOOL" sample --ticks 2 --interval-ms 200 2>/dev/null) || { echo "tool failed"; exit 1; }

fail=0
expect() {  # count pattern description
  local n
  n=$(printf '%s\n' "$out" | grep -cP -- "$2")
  if [ "$n" -ne "$1" ]; then echo "expected $1 line(s) of $3, got $n"; fail=1; fi
}
expect 2 '^100\t\d{1,3}%$' "processor percent"
expect 2 '^101\tメモリ使用率\d+MB/\d+MB$' "memory"
expect 1 '^102\tNow　Loading・・・$' "receive rate before a baseline"
expect 1 '^102\t\d+Kbyte/秒$' "receive rate"
expect 1 '^103\t\d+Kbyte/秒$' "send rate"
expect 2 '^105\t\d+\.\d+\.\d+\.\d+$' "LAN address"
expect 2 '^107\t(ON|OFF)$' "proxy switch"
expect 2 '^110\t(0|\d+\.\d{3}MB)$' "received total"
expect 2 '^114\t\S+ \S+  \S+' "date line"
expect 0 '^113\t' "graph line"
expect 1 '^$' "blank line between the ticks"  # $(...) drops the last one
drives=$(printf '%s\n' "$out" | grep -cP '^112:\S.*\t \S.* \d+\.\dGB/\d+\.\dGB \d+%$')
[ $((drives % 2)) -eq 0 ] || { echo "disk lines differ between ticks"; fail=1; }

if "$MIREL_TOOL" sample --ticks 0 >/dev/null 2>&1; then echo "--ticks 0 accepted"; fail=1; fi
exit $fail
