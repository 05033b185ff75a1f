#!/usr/bin/env python3
"""FTP server for the transfer tests, on 127.0.0.1 at a port the system picks.

Prints "PORT <n>" once it listens, then serves until killed.

  --root DIR     DIR/alice is the home of alice (password "secret") and of the
                 firewall-style users; DIR/anon is the anonymous home.
  --control DIR  a file "drop" there makes the server close the next control
                 connection at once (and removes the file).

The user "slow" (password "slow", alice's home) gets its data connections at
4 bytes a second, 2 at a time.

Inside the homes, a file named "cut.log" breaks off after its first kilobyte,
and a folder named "odd" is listed with lines no client can parse, so that
clients fall back to NLST, SIZE and MDTM.
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class CutFile:
    """A file that fails after its first kilobyte has been read."""

    def __init__(self, f):
        self._f = f
        self.name = f.name
        self.closed = False
        self._served = False

    def read(self, size=-1):
        if self._served:
            raise OSError(5, "Input/output error")
        self._served = True
        return self._f.read(1024)

    def seek(self, *args):
        return self._f.seek(*args)

    def close(self):
        self.closed = True
        self._f.close()


class TestFS(AbstractedFS):
    def open(self, filename, mode):
        f = super().open(filename, mode)
        if os.path.basename(filename) == "cut.log":
            return CutFile(f)
        return f

    def format_list(self, basedir, listing, ignore_err=True):
        if os.path.basename(basedir.rstrip("/")) != "odd":
            yield from super().format_list(basedir, listing, ignore_err)
            return
        yield b"total 7\r\n"
        yield b"this line means nothing\r\n"
        for name in listing:
            yield ("?????????? ? ? ? ? ? %s\r\n" % name).encode("utf8")


class TrickleDTPHandler(ThrottledDTPHandler):
    ac_out_buffer_size = 2
    read_limit = 4
    write_limit = 4


class Handler(FTPHandler):
    abstracted_fs = TestFS
    auth_failed_timeout = 0
    control_dir = None

    def handle(self):
        drop = os.path.join(self.control_dir, "drop") if self.control_dir else None
        if drop and os.path.exists(drop):
            os.remove(drop)
            self.close()
            return
        super().handle()

    def on_login(self, username):
        if username == "slow":
            self.dtp_handler = TrickleDTPHandler


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--control")
    args = ap.parse_args()

    alice = os.path.join(args.root, "alice")
    anon = os.path.join(args.root, "anon")
    auth = DummyAuthorizer()
    auth.add_user("alice", "secret", alice, perm="elr")
    auth.add_user("slow", "slow", alice, perm="elr")
    auth.add_anonymous(anon)

    Handler.authorizer = auth
    Handler.control_dir = args.control
    Handler.banner = "test server ready"
    server = FTPServer(("127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]
    # Firewall-style users name the server they want behind the firewall.
    auth.add_user("fwuser@logs.example:2121", "fwpass", alice, perm="elr")
    auth.add_user("fwuser@logs.example", "fwpass", alice, perm="elr")
    auth.add_user("anonymous@logs.example", "", alice, perm="elr")

    logging.basicConfig(level=logging.CRITICAL)
    print("PORT %d" % port, flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
