#!/usr/bin/env python3
"""HTTP server for the transfer tests, on 127.0.0.1 at a port the system picks.

Prints "PORT <n>" once it listens, then serves until killed. Paths:

  /access.log    a log with Content-Length and Last-Modified
  /nolength.log  a body ended by closing the connection, no Last-Modified
  /private.log   needs Basic auth as bob / s3cret, else 401
  /moved.log     302 to /access.log
  /slow.log      a long body sent in small pieces with pauses
  /cut.log       announces 4000 bytes, sends 1000 and closes
  /broken.log    500 with an error page
  /loop.log      302 to itself
  /trickle.log   announces 100000 bytes and sends 2 every half second, for
                 at most 30 seconds
  anything else  with --root DIR, the file of that path under DIR when there
                 is one; else 404 with an error page

A request line with an absolute URL is answered as a proxy would: the body is
"proxied <url>\n", so a test can tell a proxied request from a direct one.
"""
import argparse
import base64
import os
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ACCESS = b"".join(b"127.0.0.1 - - [07/Mar/2023:10:20:%02d +0000] \"GET /p%d HTTP/1.0\" 200 12\n"
                  % (i % 60, i) for i in range(200))
LAST_MODIFIED = "Tue, 07 Mar 2023 10:20:30 GMT"
ROOT = None


def root_file(path):
    """The file under ROOT that the request path names, or None."""
    if ROOT is None:
        return None
    rel = path.split("?", 1)[0].lstrip("/")
    full = os.path.realpath(os.path.join(ROOT, rel))
    if not full.startswith(ROOT + os.sep) or not os.path.isfile(full):
        return None
    return full


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, body, status=200, headers=()):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path
        if path.startswith("http://"):
            self.send_body(b"proxied " + path.encode() + b"\n")
            return
        if path == "/access.log":
            self.send_body(ACCESS, headers=[("Last-Modified", LAST_MODIFIED)])
        elif path == "/nolength.log":
            self.close_connection = True
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"no length here\n" * 100)
        elif path == "/private.log":
            want = "Basic " + base64.b64encode(b"bob:s3cret").decode()
            if self.headers.get("Authorization") != want:
                self.send_body(b"who are you?\n", 401,
                               [("WWW-Authenticate", 'Basic realm="logs"')])
            else:
                self.send_body(b"private log\n")
        elif path == "/moved.log":
            self.send_body(b"moved\n", 302, [("Location", "/access.log")])
        elif path == "/slow.log":
            self.send_response(200)
            self.send_header("Content-Length", str(100 * 1000))
            self.end_headers()
            try:
                for _ in range(1000):
                    self.wfile.write(b"x" * 100)
                    self.wfile.flush()
                    time.sleep(0.02)
            except OSError:
                pass
        elif path == "/broken.log":
            self.send_body(b"<html>server trouble</html>\n", 500)
        elif path == "/loop.log":
            self.send_body(b"again\n", 302, [("Location", "/loop.log")])
        elif path == "/trickle.log":
            self.close_connection = True
            self.send_response(200)
            self.send_header("Content-Length", str(100 * 1000))
            self.end_headers()
            try:
                for _ in range(60):
                    self.wfile.write(b"zz")
                    self.wfile.flush()
                    time.sleep(0.5)
            except OSError:
                pass
        elif path == "/cut.log":
            self.close_connection = True
            self.send_response(200)
            self.send_header("Content-Length", "4000")
            self.end_headers()
            self.wfile.write(b"y" * 1000)
            self.wfile.flush()
        elif root_file(path):
            with open(root_file(path), "rb") as f:
                self.send_body(f.read())
        else:
            self.send_body(b"<html>not here</html>\n", 404)


def main():
    global ROOT
    parser = argparse.ArgumentParser()
    parser.add_argument("--root")
    args = parser.parse_args()
    if args.root:
        ROOT = os.path.realpath(args.root)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
