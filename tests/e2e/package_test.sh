#!/usr/bin/env bash
# The Debian package that CPack makes of the install rules: what it holds,
# what it depends on (every library the programs load, and the strip font
# packages), what Debian's package checker says of it, and the program
# started from the unpacked tree.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools cpack dpkg-deb dpkg-shlibdeps dpkg-query dpkg-parsechangelog file ldd readelf python3 cmp \
  lintian
: "${MIREL_BUILD_DIR:?}" "${MIREL_SOURCE_DIR:?}"
. "$MIREL_SOURCE_DIR/tests/e2e/installed_program.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A package of its own in the work folder, so `make package` and this test
# never write the same file.
if ! cpack --config "$MIREL_BUILD_DIR/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: not one .deb: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Contents: the programs and the data under /usr, owned by root, nothing else.
dpkg-deb -c "$deb" >"$work/contents" || fail "dpkg-deb -c"
paths=$(awk '{print $NF}' "$work/contents")
for want in ./usr/bin/mirel9x ./usr/bin/mirel9x-tool ./usr/share/mirel9x/設定.ini \
  ./usr/share/mirel9x/webcheck-pages/Mirel9xCheck.htm ./usr/share/mirel9x/webcheck-pages/nginx.conf.in \
  ./usr/share/man/man1/mirel9x.1.gz ./usr/share/man/man1/mirel9x-tool.1.gz \
  ./usr/share/doc/mirel9x/copyright ./usr/share/doc/mirel9x/changelog.Debian.gz; do
  grep -qxF "$want" <<<"$paths" || fail "the package lacks $want"
done
id=$(sed -n 's#^\./usr/share/applications/\(.*\)\.desktop$#\1#p' <<<"$paths")
[ -n "$id" ] || fail "the package has no desktop entry"
for want in "./usr/share/metainfo/$id.metainfo.xml" \
  "./usr/share/icons/hicolor/48x48/apps/$id.png" \
  "./usr/share/icons/hicolor/scalable/apps/$id.svg"; do
  grep -qxF "$want" <<<"$paths" || fail "the package lacks $want"
done
stray=$(grep -v -e '^\./usr/bin/' -e '^\./usr/share/' -e '^\./usr/$' <<<"$paths")
[ -z "$stray" ] || fail "files outside /usr/bin and /usr/share: $stray"
owners=$(awk '{print $2}' "$work/contents" | sort -u)
[ "$owners" = root/root ] || fail "owners in the package: $owners"
# No maintainer scripts: the triggers of the icon theme and the menu do the work.
dpkg-deb -e "$deb" "$work/control" || fail "dpkg-deb -e"
scripts=$(cd "$work/control" && ls | grep -v -x -e control -e md5sums)
[ -z "$scripts" ] || fail "unexpected control files: $scripts"

# Dependencies: the font packages, and for every library the two programs
# load, the package that holds it.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Alternatives ("a | b") are checked apart, below; names are the plain ones.
alternatives=$(tr ',' '\n' <<<"$depends" | grep '|' | sed 's/([^)]*)//g; s/ //g')
names=$(tr ',' '\n' <<<"$depends" | grep -v '|' | sed 's/^ *//; s/[ (].*//' | sort -u)
# libsqlite3-0: loaded by name for the history, so no scan finds it.
for needed in xfonts-shinonome xfonts-efont-unicode qt6-translations-l10n libsqlite3-0; do
  grep -qxF "$needed" <<<"$names" || fail "Depends lacks $needed"
done
grep -qxF 'default-dbus-session-bus|dbus-session-bus' <<<"$alternatives" ||
  fail "Depends lacks a session bus (GNOME's settings are written over it)"
provided=$(dpkg-query -W -f='${db:Status-Abbrev}|${Package},${Provides}\n' |
  sed -n 's/^ii *|//p' | tr ',' '\n' | sed 's/^ *//; s/[ (].*//')
for group in $alternatives; do
  met=""
  for name in ${group//|/ }; do grep -qxF "$name" <<<"$provided" && met=1; done
  [ -n "$met" ] || fail "no installed package here meets the dependency $group"
done
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
owner_of() {  # a library path -> its package, trying the merged /usr paths too
  local lib=$1 p
  for p in "$lib" "$(readlink -f "$lib")" "${lib#/usr}" "/usr${lib}"; do
    dpkg-query -S "$p" 2>/dev/null | sed -n '1s/:.*//p' | grep . && return 0
  done
  return 1
}
needed_paths() {  # the libraries a program names itself (not what they pull in), as loaded
  local binary=$1 soname
  for soname in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    ldd "$binary" | awk -v n="$soname" '$1 == n && $3 ~ /^\// {print $3}'
  done
}
for program in mirel9x mirel9x-tool; do
  while read -r lib; do
    [ -n "$lib" ] || continue
    package=$(owner_of "$lib") || {
      fail "$program loads $lib, which no package holds"
      continue
    }
    grep -qxF "$package" <<<"$names" || fail "$program loads $lib from $package, not in Depends"
  done < <(needed_paths "$work/root/usr/bin/$program")
done
for name in $names; do
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
    fail "Depends names $name, which is not an installed package here"
done

cmp -s "$work/root/usr/share/mirel9x/設定.ini" "$MIREL_SOURCE_DIR/data/設定.ini" ||
  fail "the package's 設定.ini is not data/設定.ini"
file -b "$work/root/usr/bin/mirel9x" | grep -q 'stripped' && ! file -b "$work/root/usr/bin/mirel9x" | grep -q 'not stripped' ||
  fail "the packaged program is not stripped: $(file -b "$work/root/usr/bin/mirel9x")"

# The changelog's newest entry is the package's version (a non-native
# package: upstream version and Debian revision).
version=$(dpkg-deb -f "$deb" Version)
zcat "$work/root/usr/share/doc/mirel9x/changelog.Debian.gz" >"$work/changelog" || fail "changelog"
logged=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>&1)
[ "$logged" = "$version" ] || fail "the changelog's newest entry is $logged, the package $version"

# Debian's package checker: no error, and no warning that the package's own
# overrides do not answer; each group of overrides has its reason above it.
lintian --fail-on error,warning --display-level '>=warning' "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian: $(grep -v 'root privileges' "$work/lintian.log")"
awk 'prev !~ /^#/ && prev !~ /^mirel9x:/ && /^mirel9x:/ {print}; {prev = $0}' \
  "$work/root/usr/share/lintian/overrides/mirel9x" >"$work/unexplained"
[ ! -s "$work/unexplained" ] || fail "lintian overrides without a reason: $(cat "$work/unexplained")"

problem=$(check_installed_start "$work/root/usr" "$work/start")
[ -z "$problem" ] || fail "program from the package: $problem"

[ "$failures" -eq 0 ] || exit 1
echo "ok: $(basename "$deb") for $id"
