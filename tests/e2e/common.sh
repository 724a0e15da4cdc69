# Sourced by the end-to-end tests.

# require_tools TOOL...: the test is skipped (status 77, which ctest reports
# as skipped) when one of them is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is missing (scripts/install-deps installs it)"
      exit 77
    fi
  done
}

# write_monitor_settings FILE ITEMS VERSIONCHECK [PROXY...]: a settings file
# for the real program. Every item in catalogue order 107 108 109 100 ...,
# ITEMS the flag string of line 1 ("1111..." shows the proxy switch, Active
# Scripting and Java applet strips first); VERSIONCHECK 0 or 1 for line 21;
# the PROXY entries after line 42. Not always on top, fixed size, a 1 s
# refresh, the monitor at 300,100 pixels.
write_monitor_settings() {
  local file=$1 items=$2 versionCheck=$3
  shift 3
  {
    printf '%s\r\n' "$items"
    printf '107108109100101102103104105106110111112113114\r\n'
    for _ in $(seq 15); do printf '%-12s' 16777215; done; printf '\r\n'
    for _ in $(seq 15); do printf '%-12s' 8421376; done; printf '\r\n'
    printf '\r\n'                       # 5 drive end colours
    printf ' 0 \r\n 1 \r\n 1 \r\n'      # 6-8 IP copy, auto adapter, proxy menu
    printf ' 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n'  # 9-13 toolbar
    printf '0\r\n1\r\n0\r\n0\r\n'       # 14-17 Kbyte, not topmost, no graph, no mouse-over
    printf ' 0 \r\n'                    # 18 adapter index
    printf '0\r\n1\r\n'                 # 19-20 GB, fixed size (fitted to the stack)
    printf ' %s \r\n' "$versionCheck"   # 21 version check
    printf '\r\n\r\n'                   # 22-23 drives
    printf '0\r\n16777215\r\n0\r\n0\r\n0\r\n0\r\n65280\r\n0\r\n'  # 24-31 colours
    printf ' 24 \r\n 2 \r\n 8 \r\n'     # 32-34 sliders: 1 s refresh
    printf ' 4500 \r\n 1500 \r\n 758 \r\n 2496 \r\n 42 \r\n'  # 35-39 at 300,100 px
    printf ' 0 \r\n 0 \r\n'             # 40-41 dialog
    printf ' %d \r\n' $#                # 42 proxy count
    local entry
    for entry in "$@"; do printf '%s\r\n' "$entry"; done
  } | iconv -f UTF-8 -t CP932 >"$file"
}
