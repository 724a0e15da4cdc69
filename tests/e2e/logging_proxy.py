#!/usr/bin/env python3
"""A plain HTTP proxy stand-in for the browser tests: answers every request
itself (nothing is forwarded) with a page that reloads after a second, and
logs one line per request: the browser (Chrome or Firefox, from its
User-Agent) and the address asked for.

usage: logging_proxy.py PORT LOGFILE  (listens on 127.0.0.1 only)
"""
import http.server
import sys

PAGE = (b"<!doctype html><html><head><meta http-equiv='refresh' content='1'>"
        b"<title>proxied</title></head><body>proxied</body></html>")


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        agent = self.headers.get("User-Agent", "")
        browser = "Firefox" if "Firefox" in agent else "Chrome" if "Chrome" in agent else "other"
        with open(LOG, "a") as log:
            log.write(f"{browser} {self.path}\n")
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(PAGE)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(PAGE)

    def log_message(self, *args):
        pass


if __name__ == "__main__":
    LOG = sys.argv[2]
    http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
