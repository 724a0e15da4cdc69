#!/usr/bin/env bash
# `mirel9x --autostart on|off` without a display: the per-user autostart
# entry is written (and passes desktop-file-validate, also for a program in a
# folder whose name needs quoting), carries the names of the installed
# desktop entry, and is removed again.
set -uo pipefail

if ! command -v desktop-file-validate >/dev/null 2>&1; then
  echo "SKIP: desktop-file-validate is missing (scripts/install-deps installs it)"
  exit 77
fi
: "${MIREL_BIN:?}" "${MIREL_BUILD_DIR:?}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The desktop entry the build makes for installing: its name is the id.
menu_entries=("$MIREL_BUILD_DIR"/data/*.desktop)
menu_entry=${menu_entries[0]}
[ -f "$menu_entry" ] || { echo "FAIL: no desktop entry in $MIREL_BUILD_DIR/data"; exit 1; }
id=$(basename "$menu_entry" .desktop)

config="$work/config"
entry="$config/autostart/$id.desktop"
run() {  # program args...: the program without a display, output in $work/out
  local program=$1
  shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$config" \
    HOME="$work/home" LC_ALL=C.UTF-8 "$program" "$@" >"$work/out" 2>&1
}

"$MIREL_BIN" --help >"$work/help" 2>&1
grep -q -- '--autostart on|off' "$work/help" || fail "--help does not mention --autostart: $(cat "$work/help")"

for folder in "plain" "with space 'quote' \$dollar \"double\" 100% back\\slash"; do
  mkdir -p "$work/$folder"
  program="$work/$folder/mirel9x"
  cp "$MIREL_BIN" "$program"

  run "$program" --autostart on || fail "[$folder] --autostart on ended with $?: $(cat "$work/out")"
  grep -qF "$entry" "$work/out" || fail "[$folder] the message does not name the entry: $(cat "$work/out")"
  if [ -f "$entry" ]; then
    report=$(desktop-file-validate "$entry" 2>&1)
    [ -z "$report" ] || fail "[$folder] desktop-file-validate: $report"
    # TryExec is a plain string: only backslashes are escaped.
    tryexec=$(sed -n 's/^TryExec=//p' "$entry")
    [ "$tryexec" = "${program//\\/\\\\}" ] || fail "[$folder] TryExec=$tryexec"
    for key in Name 'Name\[ja\]' Comment 'Comment\[ja\]' Icon; do
      [ "$(grep "^$key=" "$entry")" = "$(grep "^$key=" "$menu_entry")" ] ||
        fail "[$folder] $key differs from the installed desktop entry"
    done
  else
    fail "[$folder] no $entry"
  fi

  run "$program" --autostart off || fail "[$folder] --autostart off ended with $?: $(cat "$work/out")"
  [ ! -e "$entry" ] || fail "[$folder] the entry is still there after off"
done

run "$MIREL_BIN" --autostart off || fail "off without an entry ended with $?"
run "$MIREL_BIN" --autostart maybe
status=$?
[ "$status" -eq 2 ] || fail "--autostart maybe ended with $status"
grep -q 'on か off' "$work/out" || fail "--autostart maybe: $(cat "$work/out")"
[ ! -e "$entry" ] || fail "a bad value wrote an entry"

[ "$failures" -eq 0 ] || exit 1
echo "ok: autostart entry $id.desktop written, valid and removed"
