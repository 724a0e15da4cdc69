#!/usr/bin/env bash
# `mirel9x --autostart on|off` without a display: the per-user autostart
# entry is written (and passes desktop-file-validate, also for a program in a
# folder whose name needs quoting), carries the names of the installed
# desktop entry, starts the program from GLib's and systemd's launchers, and
# is removed again; an address given with it is stored, and the program that
# the entry starts asks it.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if ! command -v desktop-file-validate >/dev/null 2>&1; then
  echo "SKIP: desktop-file-validate is missing (scripts/install-deps installs it)"
  exit 77
fi
: "${MIREL_BIN:?}" "${MIREL_BUILD_DIR:?}" "${MIREL_SOURCE_DIR:?}"

work=$(mktemp -d)
site="" monitor=""
trap 'kill $site $monitor 2>/dev/null; rm -rf "$work"' EXIT
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

# The launchers that start autostart entries: GLib's (gio launch, as GNOME
# and Xfce use it) and, where systemd is installed, its generator of the
# session's units. They check the Exec line's program before they expand
# "%%", so a path with a % only starts as an argument. The program is swapped
# for a stand-in that says where it was started from.
generator=/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator
launched_by() {  # folder program
  local saved="$work/saved-program" marker="$work/launched"
  mv "$2" "$saved"
  printf '#!/bin/sh\nprintf %%s "$0" >"%s"\n' "$marker" >"$2"
  chmod +x "$2"
  rm -f "$marker"
  if command -v gio >/dev/null; then
    gio launch "$entry" >"$work/gio.out" 2>&1 || fail "[$1] gio launch: $(cat "$work/gio.out")"
    for _ in $(seq 50); do [ -s "$marker" ] && break; sleep 0.1; done
    [ "$(cat "$marker" 2>/dev/null)" = "$2" ] || fail "[$1] gio launch did not start $2"
  else
    echo "note: gio is missing (scripts/install-deps installs libglib2.0-bin)"
  fi
  if [ -x "$generator" ]; then
    rm -rf "$work/units"
    mkdir -p "$work/units"
    XDG_CONFIG_HOME="$config" XDG_CONFIG_DIRS="$work/none" "$generator" \
      "$work/units" "$work/units" "$work/units" >"$work/generator.out" 2>&1
    ls "$work/units"/app-*@autostart.service >/dev/null 2>&1 ||
      fail "[$1] systemd's generator made no unit: $(cat "$work/generator.out")"
    # Where nothing needs quoting, the unit's command is the path as such
    # (% doubled, as unit files write it). (systemd reads a backslash in a
    # quoted argument once too often, which no entry can avoid.)
    if [[ $2 != *[\ \'\"\$]* ]]; then
      local command=$2
      [[ $2 == *%* ]] && command="/usr/bin/env ${2//%/%%}"
      grep -qxF "ExecStart=:$command" "$work/units"/app-*@autostart.service ||
        fail "[$1] the unit runs: $(grep ExecStart "$work/units"/app-*@autostart.service)"
    fi
  fi
  mv "$saved" "$2"
}

for folder in "plain" "100%" "with space 'quote' \$dollar \"double\" 100% back\\slash"; do
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
    launched_by "$folder" "$program"
  else
    fail "[$folder] no $entry"
  fi

  run "$program" --autostart off || fail "[$folder] --autostart off ended with $?: $(cat "$work/out")"
  [ ! -e "$entry" ] || fail "[$folder] the entry is still there after off"
done

# An address given with --autostart on is stored beside the settings, so
# the entry, which carries no options, starts a monitor that asks it.
python3 "$MIREL_SOURCE_DIR/tests/e2e/webcheck_bad_site.py" "$work/requests" >"$work/port" 2>/dev/null &
site=$!
for _ in $(seq 1 50); do [ -s "$work/port" ] && break; sleep 0.1; done
base="http://127.0.0.1:$(head -1 "$work/port")/good"
program="$work/plain/mirel9x"
write_monitor_settings "$work/plain/設定.ini" 000000010000000 0  # the address item only
run "$program" --webcheck-base "$base" --autostart on || fail "--webcheck-base with --autostart on: $(cat "$work/out")"
grep -qxF "webcheck.base = $base" "$config/mirel9x/preferences.conf" ||
  fail "the address was not stored: $(cat "$config/mirel9x/preferences.conf" 2>&1)"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec_line" = "$program" ] || fail "the entry starts '$exec_line', not the program alone"
mkdir -p "$work/run" && chmod 700 "$work/run"
env -u DISPLAY -u WAYLAND_DISPLAY -u MIREL9X_WEBCHECK_BASE QT_QPA_PLATFORM=offscreen \
  XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$work/run" HOME="$work/home" LC_ALL=C.UTF-8 \
  GSETTINGS_BACKEND=memory "$exec_line" >"$work/monitor.log" 2>&1 &
monitor=$!
asked=""
for _ in $(seq 1 100); do
  grep -qF "/good/cgi-bin/Mirel9xCgi/MirelCgi/dlcount.cgi" "$work/requests" 2>/dev/null && asked=1 && break
  sleep 0.1
done
[ -n "$asked" ] || fail "the monitor started from the entry did not ask $base: $(cat "$work/monitor.log")"
kill "$monitor" "$site" 2>/dev/null
wait "$monitor" "$site" 2>/dev/null
run "$program" --autostart off

run "$MIREL_BIN" --autostart off || fail "off without an entry ended with $?"
run "$MIREL_BIN" --autostart maybe
status=$?
[ "$status" -eq 2 ] || fail "--autostart maybe ended with $status"
grep -q 'on か off' "$work/out" || fail "--autostart maybe: $(cat "$work/out")"
[ ! -e "$entry" ] || fail "a bad value wrote an entry"

[ "$failures" -eq 0 ] || exit 1
echo "ok: autostart entry $id.desktop written, valid and removed"
