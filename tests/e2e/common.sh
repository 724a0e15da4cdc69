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

# start_webcheck_site DIR: nginx on a free port of 127.0.0.1 with the
# reference configuration and pages (data/webcheck-pages/), its files in DIR.
# Sets WEBCHECK_BASE (the base address to give the program) and
# WEBCHECK_PID; returns 1 when nginx is missing or did not start.
start_webcheck_site() {
  local dir=$1 nginx=${NGINX:-/usr/sbin/nginx} port
  [ -x "$nginx" ] || return 1
  mkdir -p "$dir/pages" "$dir/run"
  chmod 755 "$dir"
  cp "$MIREL_SOURCE_DIR/data/webcheck-pages/Mirel9xCheck.htm" "$dir/pages/"
  # No privileges needed: as root, nginx runs as nobody.
  local as_user=()
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
    as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    chmod 777 "$dir/run"
  fi
  for _ in 1 2 3; do
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    sed -e "s|@ADDRESS@|127.0.0.1|g; s|@PORT@|$port|g; s|@PAGES@|$dir/pages|g; s|@RUNDIR@|$dir/run|g" \
      "$MIREL_SOURCE_DIR/data/webcheck-pages/nginx.conf.in" >"$dir/nginx.conf"
    "${as_user[@]}" "$nginx" -p "$dir/run" -c "$dir/nginx.conf" -e "$dir/run/error.log" \
      -g 'daemon off;' </dev/null >/dev/null 2>&1 &
    WEBCHECK_PID=$!
    for _ in $(seq 1 100); do
      if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        WEBCHECK_BASE="http://127.0.0.1:$port"
        return 0
      fi
      kill -0 "$WEBCHECK_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$WEBCHECK_PID" 2>/dev/null
    wait "$WEBCHECK_PID" 2>/dev/null
  done
  WEBCHECK_PID=""
  return 1
}
