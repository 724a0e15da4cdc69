#!/bin/bash
# mirel9x-tool dialog-shot: the dialog filled from the default settings file
# gives six page pictures of the dialog's size, each different from the others.
set -u
[ -x "${MIREL_TOOL:-}" ] || exit 77
command -v identify >/dev/null || exit 77
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

QT_QPA_PLATFORM=offscreen "$MIREL_TOOL" dialog-shot "$MIREL_SOURCE_DIR/data/設定.ini" "$out" \
  >/dev/null 2>&1 || { echo "tool failed"; exit 1; }

fail=0
for k in 0 1 2 3 4 5; do
  size=$(identify -format '%wx%h' "$out/page-$k.png" 2>/dev/null)
  [ "$size" = "425x329" ] || { echo "page $k: size '$size'"; fail=1; }
done
distinct=$(md5sum "$out"/page-*.png | cut -d' ' -f1 | sort -u | wc -l)
[ "$distinct" -eq 6 ] || { echo "only $distinct distinct pages"; fail=1; }

if QT_QPA_PLATFORM=offscreen "$MIREL_TOOL" dialog-shot "$out/none.ini" "$out" >/dev/null 2>&1; then
  echo "a missing settings file was accepted"; fail=1
fi
exit $fail
