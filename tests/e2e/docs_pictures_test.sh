#!/usr/bin/env bash
# The pictures in docs/ are what the program and its tools make now from
# docs/src/: a change that alters one fails here until
# scripts/docs-pictures has made it again.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
require_tools Xvfb jwm xdotool xwininfo import compare
: "${MIREL_BUILD_DIR:?}" "${MIREL_SOURCE_DIR:?}"
[ -f /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf ] ||
  { echo "SKIP: fonts-ipafont-gothic is missing"; exit 77; }

bash "$MIREL_SOURCE_DIR/scripts/docs-pictures" --check "$MIREL_BUILD_DIR"
