# Sourced by the install and package tests: starts the program of an
# installed tree (PREFIX/bin/mirel9x) as a user would on first start, on the
# offscreen platform with an empty configuration folder, and checks that it
# made its per-user 設定.ini from the installed default and got through the
# start-up.
#
# The web check is the last step of the start-up; it asks only where an
# address is set, so the test gives one. Its requests go through a proxy of
# the test's own (http_proxy, which Qt follows), so the test sees when the
# start-up has reached it, and the check never waits on the network.

# check_installed_start PREFIX WORK: "" on success, else what went wrong.
check_installed_start() {
  local prefix=$1 work=$2
  local config="$work/config" log="$work/program.log" requests="$work/requests.log"
  mkdir -p "$config" "$work/home"
  # A runtime folder of its own: the install and package tests run at the
  # same time, and without a display both would be the same session, whose
  # second start only asks the first to come forward.
  mkdir -p -m 700 "$work/run"
  : >"$requests"

  python3 - "$requests" >"$work/proxy.port" 2>"$work/proxy.log" <<'PY' &
import http.server, sys
log = open(sys.argv[1], "a", buffering=1)
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        log.write(self.path + "\n")
        self.send_error(404)
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
  local proxy_pid=$!
  local port=""
  for _ in $(seq 1 100); do
    port=$(cat "$work/proxy.port" 2>/dev/null)
    [ -n "$port" ] && break
    sleep 0.05
  done
  if [ -z "$port" ]; then
    kill "$proxy_pid" 2>/dev/null
    echo "the test's proxy did not start: $(cat "$work/proxy.log")"
    return
  fi

  env -u DISPLAY -u WAYLAND_DISPLAY -u no_proxy -u NO_PROXY \
    HOME="$work/home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen \
    GSETTINGS_BACKEND=memory LC_ALL=C.UTF-8 http_proxy="http://127.0.0.1:$port" \
    MIREL9X_WEBCHECK_BASE=http://webcheck.test \
    "$prefix/bin/mirel9x" >"$log" 2>&1 &
  local pid=$!

  local problem="" reached=""
  for _ in $(seq 1 300); do
    if grep -q '/cgi-bin/' "$requests"; then
      reached=1
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$reached" ]; then
    if kill -0 "$pid" 2>/dev/null; then
      problem="the start-up did not reach the web check within 30 s"
    else
      wait "$pid"
      problem="the program ended during the start-up with status $?"
    fi
  else
    # Past the start-up: the program keeps running.
    sleep 1
    kill -0 "$pid" 2>/dev/null || problem="the program ended after the start-up"
  fi

  local copy="$config/mirel9x/設定.ini"
  if [ -z "$problem" ]; then
    if [ ! -f "$copy" ]; then
      problem="no per-user 設定.ini in $config/mirel9x"
    elif ! cmp -s "$copy" "$prefix/share/mirel9x/設定.ini"; then
      problem="the per-user 設定.ini differs from the installed default"
    elif [ -e "$prefix/bin/設定.ini" ]; then
      problem="a 設定.ini was written into the program's folder"
    fi
  fi

  kill "$pid" "$proxy_pid" 2>/dev/null
  wait "$pid" "$proxy_pid" 2>/dev/null
  if [ -n "$problem" ]; then
    echo "$problem"
    sed 's/^/program: /' "$log" | tail -20
  fi
}
