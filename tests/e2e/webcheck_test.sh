#!/usr/bin/env bash
# mirel9x-tool webcheck against real HTTP servers on 127.0.0.1: nginx with the
# reference configuration and pages, and a misbehaving site of our own for the
# failure cases.
set -u

tool=${MIREL_TOOL:?MIREL_TOOL not set}
src=${MIREL_SOURCE_DIR:?MIREL_SOURCE_DIR not set}
nginx=${NGINX:-/usr/sbin/nginx}
if [ ! -x "$nginx" ]; then
  echo "SKIP: nginx not found at $nginx (Debian nginx-light, see scripts/install-deps)"
  exit 77
fi
if ! command -v python3 >/dev/null; then
  echo "SKIP: python3 not found (see scripts/install-deps)"
  exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for_port() {  # port
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# A complete settings file (CP932, CR LF): line 1 item checks, line 2 item
# order, line 21 versionCheckAuto; the rest plausible defaults.
write_settings() {  # file versionCheckAuto itemChecks
  local lines=(
    "$3" "100101102103104105106107108109110111112113114" "" "" ""
    " 1 " " 1 " " 0 " " 0 " " 0 " " 0 " " 0 " " 0 "
    "0" "1" "3" "0" "-1" "0" "0" " $2 " "" ""
    "0" "16777215" "255" "65280" "16711680" "8421504" "65280" "0"
    " 12 " " 2 " " 4 " " 0 " " 0 " " 900 " " 2430 " " 60 " " 0 " " 0 " " 0 "
  )
  printf '%s\r\n' "${lines[@]}" > "$1"
}
write_settings "$work/all.ini" 1 111111111111111
write_settings "$work/noversion.ini" 0 111111111111111
write_settings "$work/noip.ini" 1 111101111111111

run_tool() {  # base settings [extra args]
  "$tool" webcheck --base "$1" --settings "$2" "${@:3}" 2>"$work/stderr"
}

expect_output() {  # name actual expected
  if [ "$2" != "$3" ]; then
    fail "$1"
    diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed 's/^/    /'
    sed 's/^/    stderr: /' "$work/stderr"
  fi
}

version_page=/cgi-bin/Mirel9xCgi/Mirel9xCheck/Mirel9xCheck.htm
version_counter=/cgi-bin/Mirel9xCgi/Mirel9xCheck/dayx.cgi?gif
version_log="/cgi-bin/Mirel9xCgi/Mirel9xCheck/hana/hana_page.cgi?id=318&type=main"
address_page=/cgi-bin/Mirel9xCgi/MirelCgi/dlcount.cgi?f=1_1
address_counter=/cgi-bin/Mirel9xCgi/Mirel3Cgi/dayx.cgi?gif
all_requests="$version_page $version_counter $version_log $address_page $address_counter"

# --- nginx with the reference configuration --------------------------------
pages="$work/pages"
run="$work/run"  # pid, logs and temporary files of this nginx only
mkdir -p "$pages" "$run"
cp "$src/data/webcheck-pages/Mirel9xCheck.htm" "$pages/"
# The server needs no privileges: when the test runs as root, nginx runs as
# nobody (setpriv execs, so $! stays nginx's own pid).
as_user=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
  as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
  chmod 777 "$run"
fi
started=""
for attempt in 1 2 3; do
  port=$(free_port)
  sed -e "s|@ADDRESS@|127.0.0.1|g; s|@PORT@|$port|g; s|@PAGES@|$pages|g; s|@RUNDIR@|$run|g" \
    "$src/data/webcheck-pages/nginx.conf.in" > "$work/nginx.conf"
  "${as_user[@]}" "$nginx" -p "$run" -c "$work/nginx.conf" -e "$run/error.log" -g 'daemon off;' &
  nginx_pid=$!
  if wait_for_port "$port" && kill -0 "$nginx_pid" 2>/dev/null; then
    pids+=("$nginx_pid")
    started=yes
    break
  fi
  kill "$nginx_pid" 2>/dev/null
  wait "$nginx_pid" 2>/dev/null
done
if [ -z "$started" ]; then
  echo "FAIL: nginx did not start"
  cat "$run/error.log"
  exit 1
fi
base="http://127.0.0.1:$port"

out=$(run_tool "$base" "$work/all.ini")
expect_output "reference page, current version" "$out" "globalIp=127.0.0.1
pageState=ok
latestVersion=318
notice=Mirel君9x Ver3.18 が最新版です
requests=$all_requests"
# The server saw the same requests in the same order, with the answers the
# configuration gives.
expect_output "nginx access log" "$(cat "$run/access.log")" "GET $version_page 200
GET $version_counter 200
GET $version_log 204
GET $address_page 200
GET $address_counter 200"

# A page offering 319 carries its notice; built from the reference page so
# the file's layout and encoding are what a host would serve.
iconv -f CP932 -t UTF-8 "$src/data/webcheck-pages/Mirel9xCheck.htm" |
  sed -e 's/----------318/----------319/' \
    -e 's/++++++++++[^*]*\*\*\*\*\*\*\*\*\*\*/++++++++++Ver3.19 を公開しました**********/' |
  iconv -f UTF-8 -t CP932 > "$pages/Mirel9xCheck.htm"
out=$(run_tool "$base/" "$work/all.ini")
expect_output "newer version (base with a trailing slash)" "$out" "globalIp=127.0.0.1
pageState=ok
latestVersion=319
notice=Ver3.19 を公開しました
requests=$all_requests"

out=$(run_tool "$base" "$work/noversion.ini")
expect_output "versionCheckAuto 0" "$out" "globalIp=127.0.0.1
pageState=no
latestVersion=999
notice=Text7
requests=$address_page $address_counter"

out=$(run_tool "$base" "$work/noip.ini")
expect_output "IP item not shown" "$out" "globalIp=再起動後に表示
pageState=ok
latestVersion=319
notice=Ver3.19 を公開しました
requests=$version_page $version_counter $version_log"

# --- failures ---------------------------------------------------------------
ms_now() { date +%s%3N; }

closed=$(free_port)
t0=$(ms_now)
out=$(run_tool "http://127.0.0.1:$closed" "$work/all.ini")
elapsed=$(($(ms_now) - t0))
expect_output "closed port" "$out" "globalIp=接続不能
pageState=no
latestVersion=999
notice=Text7
requests=$version_page"
[ "$elapsed" -lt 1000 ] || fail "closed port took $elapsed ms (want < 1000)"

python3 "$src/tests/e2e/webcheck_bad_site.py" > "$work/bad_site.port" &
pids+=($!)
for _ in $(seq 1 100); do
  bad_port=$(head -n1 "$work/bad_site.port" 2>/dev/null)
  [ -n "$bad_port" ] && break
  sleep 0.05
done
[ -n "$bad_port" ] || { echo "FAIL: the test site did not start"; exit 1; }
bad="http://127.0.0.1:$bad_port"

out=$(run_tool "$bad/lower" "$work/all.ini")
expect_output "lower-case title and tags" "$out" "globalIp=203.0.113.9
pageState=ok
latestVersion=319
notice=新版を公開しました
requests=$all_requests"

t0=$(ms_now)
out=$(run_tool "$bad/hang" "$work/all.ini" --timeout-ms 400)
elapsed=$(($(ms_now) - t0))
expect_output "server that never answers" "$(head -n1 <<<"$out"; tail -n1 <<<"$out")" \
  "globalIp=接続不能
requests=$version_page"
[ "$elapsed" -ge 400 ] && [ "$elapsed" -lt 3000 ] ||
  fail "time-out of 400 ms took $elapsed ms"
grep -q '400 ms' "$work/stderr" || fail "time-out not reported: $(cat "$work/stderr")"

# Broken version pages stop before the address; broken address pages after
# it. Each must fail for its own reason, not for a time-out.
for case in "noend:missing or before the notice" "bigdeclared:larger than 1 MiB" \
  "bigstream:larger than 1 MiB"; do
  mode=${case%%:*}
  out=$(run_tool "$bad/$mode" "$work/all.ini")
  expect_output "$mode" "$(head -n1 <<<"$out"; tail -n1 <<<"$out")" "globalIp=接続不能
requests=$version_page"
  grep -q "${case#*:}" "$work/stderr" || fail "$mode: reason \"${case#*:}\" not in: $(cat "$work/stderr")"
done
for case in "nohtml:no </HTML>" "counter500:Internal Server Error"; do
  mode=${case%%:*}
  expected_requests="$version_page $version_counter $version_log $address_page"
  [ "$mode" = counter500 ] && expected_requests=$all_requests
  out=$(run_tool "$bad/$mode" "$work/all.ini")
  expect_output "$mode" "$out" "globalIp=接続不能
pageState=ok
latestVersion=319
notice=新版を公開しました
requests=$expected_requests"
  grep -q "${case#*:}" "$work/stderr" || fail "$mode: reason \"${case#*:}\" not in: $(cat "$work/stderr")"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all web check end-to-end checks passed"
