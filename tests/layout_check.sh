#!/usr/bin/env bash
# The folders depend one way: platform at the ground, then settings, readings,
# drawing and behaviour, with the shells on top. A file may include from its
# own folder and the folders below it only; Qt is included only in shell/qt/
# (and its tests), Win32 headers only in platform/windows/ and the shells.
# Prints every include that breaks this and fails when there is one.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

rank() {
  case "$1" in
    platform/*) echo 0 ;;
    settings/*) echo 1 ;;
    readings/*) echo 2 ;;
    drawing/*) echo 3 ;;
    behaviour/*) echo 4 ;;
    shell/*) echo 5 ;;
    *) echo 9 ;;  # tools, tests, benchmarks, fuzzers: on top of everything
  esac
}

faults=0
fault() {
  echo "layout: $1" >&2
  faults=$((faults + 1))
}

while IFS= read -r file; do
  own=$(rank "$file")
  [ "$own" = 9 ] && continue
  while IFS= read -r line; do
    included=${line#*\"}
    included=${included%%\"*}
    their=$(rank "$included")
    if [ "$their" -gt "$own" ]; then
      fault "$file includes $included, a folder above its own"
    fi
    case "$file:$included" in
      platform/linux/*:platform/windows/* | platform/windows/*:platform/linux/*)
        fault "$file includes $included, the other operating system's layer" ;;
      shell/qt/*:shell/win32/* | shell/win32/*:shell/qt/*)
        fault "$file includes $included, the other shell" ;;
    esac
  done < <(grep -E '^#include "' "$file" || true)

  case "$file" in
    shell/qt/*) ;;
    *)
      if grep -qE '^#include <Q[A-Za-z]*>|^#include <Qt' "$file"; then
        fault "$file includes Qt outside shell/qt/"
      fi ;;
  esac
  case "$file" in
    platform/windows/* | shell/*) ;;
    *)
      if grep -qiE '^#include <(windows|winsock2|ws2tcpip|iphlpapi|wininet|winhttp|shlobj|shellapi|commctrl|commdlg)\.h>' "$file"; then
        fault "$file includes a Win32 header outside platform/windows/ and the shells"
      fi ;;
  esac
done < <(git ls-files '*.cpp' '*.h')

if [ "$faults" -gt 0 ]; then
  echo "layout: $faults include(s) against the folder order" >&2
  exit 1
fi
echo "layout: every include runs downwards"
