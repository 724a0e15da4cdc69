#!/bin/bash
# Drive rows against real mounts. In a private mount namespace of its own,
# the test runs mirel9x-tool sample on two paths: one with a tmpfs mounted
# that is unmounted while the tool runs, and one mounted only while it runs.
# A row shows figures exactly while its path is mounted, and its name alone
# otherwise: never the figures of the file system the path lies on.
set -u
[ -x "${MIREL_TOOL:-}" ] || exit 77
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: a private mount namespace needs root"
  exit 77
fi
if ! unshare -m --propagation private true 2>/dev/null; then
  echo "skipped: unshare -m is not allowed here"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/gone" "$work/late"

# Everything that mounts runs inside the namespace; nothing leaks out of it.
unshare -m --propagation private bash -s "$work" "$MIREL_TOOL" <<'INSIDE'
set -u
work=$1 tool=$2
if ! mount -t tmpfs -o size=64m mirel9x-gone "$work/gone"; then
  echo "skipped: tmpfs cannot be mounted here"
  exit 77
fi
# 40 of 64 MB used: 62.5%, shown as 62% (halves to even).
dd if=/dev/zero of="$work/gone/fill" bs=1M count=40 status=none

"$tool" sample --ticks 8 --interval-ms 300 --drive "$work/gone" --drive "$work/late" \
  >"$work/out" 2>/dev/null &
pid=$!
ticks() {
  local n
  n=$(grep -c '^$' "$work/out" 2>/dev/null)
  echo "${n:-0}"
}
wait_ticks() {  # until N ticks are printed, at most 20 s
  for _ in $(seq 200); do [ "$(ticks)" -ge "$1" ] && return 0; sleep 0.1; done
  echo "the tool printed only $(ticks) ticks"
  return 1
}
wait_ticks 2 || exit 1
umount "$work/gone"
mount -t tmpfs -o size=32m mirel9x-late "$work/late"
wait_ticks 5 || exit 1
wait $pid || { echo "the tool failed"; exit 1; }
INSIDE
rc=$?
[ $rc -eq 0 ] || exit $rc

out="$work/out"
fail=0
# One line per drive and tick: "112:<path>\t <path>[ free/total percent]".
gone=$(grep -P "^112:\Q$work/gone\E\t" "$out")
late=$(grep -P "^112:\Q$work/late\E\t" "$out")
[ "$(printf '%s\n' "$gone" | wc -l)" -eq 8 ] || { echo "expected 8 rows of the unmounted drive"; fail=1; }
[ "$(printf '%s\n' "$late" | wc -l)" -eq 8 ] || { echo "expected 8 rows of the late drive"; fail=1; }

# Each row of a drive as one letter: F its own figures (figures given as a
# pattern), N its name alone, ? anything else (another file system's figures).
shape() {  # path figures-pattern
  local line path=$1 tab=$'\t'
  while IFS= read -r line; do
    if [ "$line" = "112:$path$tab $path" ]; then
      printf N
    elif [[ "$line" == "112:$path$tab $path "* && "${line##* $path }" =~ ^$2$ ]]; then
      printf F
    else
      printf '?'
    fi
  done
}

# While mounted: its own figures, then (unmounted) its name alone, and never
# figures again.
got=$(printf '%s\n' "$gone" | shape "$work/gone" '0\.0GB/0\.0GB 6[23]%')
if ! [[ "$got" =~ ^F{2,}N{2,}$ ]]; then
  echo "unmounted drive: expected figures, then its name alone; got $got"
  printf '%s\n' "$gone"
  fail=1
fi
# Not mounted at the start: its name alone (the figures there are those of
# the file system below), then the new tmpfs's own (0 of 32 MB used).
got=$(printf '%s\n' "$late" | shape "$work/late" '0\.0GB/0\.0GB 0%')
if ! [[ "$got" =~ ^N{2,}F{2,}$ ]]; then
  echo "late drive: expected its name alone, then figures; got $got"
  printf '%s\n' "$late"
  fail=1
fi
exit $fail
