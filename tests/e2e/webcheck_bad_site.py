#!/usr/bin/env python3
"""A deliberately misbehaving site for the web check's end-to-end test.

Listens on 127.0.0.1 on a free port and prints the port on its first output
line. The first path segment picks the behaviour, so one server covers every
case: the tool is given http://127.0.0.1:PORT/<mode> as its base address.
With a file name as its argument, it appends every path asked for to it.
"""
import http.server
import sys

TITLE = "Mirel君9x最新版確認ページ"
VERSION_PAGE = f"<HTML><TITLE>{TITLE}</TITLE><BODY>----------319 ++++++++++新版を公開しました**********</BODY></HTML>"
ADDRESS_PAGE = '<HTML><BODY><IMG SRC="c.gif" WIDTH="1"></BODY>203.0.113.9</HTML>'
GIF = b"GIF89a\x01\x00\x01\x00\x00\x00\x00;"
HUGE = 2 * 1024 * 1024

VERSION = "/cgi-bin/Mirel9xCgi/Mirel9xCheck/Mirel9xCheck.htm"
ADDRESS = "/cgi-bin/Mirel9xCgi/MirelCgi/dlcount.cgi"
ADDRESS_COUNTER = "/cgi-bin/Mirel9xCgi/Mirel3Cgi/dayx.cgi"


def cp932(text):
    return text.encode("cp932")


# mode -> {path: reply body, or a callable that answers itself}
MODES = {
    "good": {},
    "fine": {},
    "noend": {VERSION: cp932(VERSION_PAGE.replace("**********", ""))},
    "nohtml": {ADDRESS: cp932(ADDRESS_PAGE.replace("</HTML>", ""))},
    "lower": {
        VERSION: cp932(VERSION_PAGE.lower()),
        ADDRESS: cp932(ADDRESS_PAGE.lower()),
    },
    "counter500": {ADDRESS_COUNTER: 500},
    "bigdeclared": {VERSION: "bigdeclared"},
    "bigstream": {VERSION: "bigstream"},
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        if len(sys.argv) > 1:
            with open(sys.argv[1], "a", encoding="utf-8") as log:
                log.write(self.path + "\n")
        mode, _, rest = self.path.lstrip("/").partition("/")
        path = "/" + rest.split("?", 1)[0]
        if mode == "hang":
            # Accept, read the request, then say nothing until the client
            # gives up (or 30 s pass).
            self.connection.settimeout(30)
            try:
                self.connection.recv(1)
            except OSError:
                pass
            self.close_connection = True
            return
        if mode not in MODES:
            self.send_error(404)
            return
        body = MODES[mode].get(path)
        if body is None:
            body = {VERSION: cp932(VERSION_PAGE), ADDRESS: cp932(ADDRESS_PAGE)}.get(path, GIF)
        try:
            if body == 500:
                self.send_error(500)
            elif body == "bigdeclared":
                self.send_response(200)
                self.send_header("Content-Length", str(HUGE))
                self.end_headers()
                self.stream(HUGE)
            elif body == "bigstream":
                self.send_response(200)  # no length: the body ends when we close
                self.end_headers()
                self.stream(HUGE)
            else:
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=Shift_JIS")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client refused the rest, as it should

    def stream(self, size):
        chunk = b" " * 65536
        for _ in range(size // len(chunk)):
            self.wfile.write(chunk)


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
