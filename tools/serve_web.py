#!/usr/bin/env python3
"""Serves the web build (a static folder) on 127.0.0.1 until Ctrl-C; prints its address first.

usage: serve_web.py [--port N] [--forbid-fullscreen] [--missing NAME]... [--stall NAME]... [--compress] [--quiet]
                    FOLDER
The port is N (default 8000), or a free one when N is taken. --compress makes it a server that compresses, as
many hosts do: it gzips what it sends on the way (Content-Encoding), and serves a .gz file as the file inside
with its own Content-Encoding. --forbid-fullscreen sends the header that forbids
the page the browser's fullscreen, as a site may. --missing answers 404 for that file, as a site published
without it would, to see how the page says so ("" is the folder's own address, its index.html). --stall sends
that file's headers and half of it, then nothing more until the browser gives up (a minute at most), as a server
that hangs or a phone between cells does.
"""
import argparse
import functools
import gzip
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm",
                      ".webmanifest": "application/manifest+json"}
    forbid_fullscreen = False
    quiet = False
    missing = ()  # file names answered 404 (the set may change while serving)
    stalled = ()  # file names whose answers stop halfway (the set may change while serving)
    held = set()  # the paths of the stalled answers still held open
    compress = False
    sent = None  # a list to which each answer adds [path, bytes sent with its headers], when given

    def setup(self):
        super().setup()
        if self.sent is not None:
            self.wfile = Counted(self.wfile, self)

    def log_request(self, code="-", size="-"):
        if self.sent is not None:
            self.answer = [self.path, 0]
            self.sent.append(self.answer)
        super().log_request(code, size)

    def do_GET(self):
        if self.path.split("?")[0].rsplit("/", 1)[-1] in self.stalled:
            return self.stall()
        if not self.compress or "gzip" not in self.headers.get("Accept-Encoding", ""):
            return super().do_GET()
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        name = os.path.basename(path)
        if name in self.missing or not os.path.isfile(path):
            return super().do_GET()
        data = open(path, "rb").read()
        if name.endswith(".gz"):
            path = path[:-3]
        else:
            data = gzip.compress(data, 6)
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def stall(self):
        data = open(self.translate_path(self.path), "rb").read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data[:len(data) // 2])
        self.wfile.flush()
        self.held.add(self.path)
        self.close_connection = True
        self.connection.settimeout(60)
        try:
            self.connection.recv(1)  # nothing comes: it returns when the browser closes the connection
        except OSError:
            pass
        finally:
            self.held.discard(self.path)

    def send_head(self):
        if self.path.split("?")[0].rsplit("/", 1)[-1] in self.missing:
            self.send_error(404)
            return None
        return super().send_head()

    def end_headers(self):
        # Always fresh: a rebuilt program must not meet a cached page or package.
        self.send_header("Cache-Control", "no-store")
        if self.forbid_fullscreen:
            self.send_header("Permissions-Policy", "fullscreen=()")
        super().end_headers()

    def log_message(self, format, *args):
        if not self.quiet:
            super().log_message(format, *args)


class Counted:
    """A handler's output stream that counts the bytes of each answer."""
    def __init__(self, stream, handler):
        self.stream, self.handler = stream, handler

    def write(self, data):
        if hasattr(self.handler, "answer"):
            self.handler.answer[1] += len(data)
        return self.stream.write(data)

    def __getattr__(self, name):
        return getattr(self.stream, name)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A browser that closes mid-download is no fault of the site.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def open_server(folder, port, forbid_fullscreen=False, quiet=False, missing=(), compress=False, sent=None,
                stalled=()):
    """An HTTP server for folder on port, or on a free port when that one is taken; its `held` is the set of
    stalled answers still held open."""
    held = set()
    handler = type("SiteHandler", (Handler,), {"forbid_fullscreen": forbid_fullscreen, "quiet": quiet,
                                               "missing": missing, "compress": compress, "sent": sent,
                                               "stalled": stalled, "held": held})
    handler = functools.partial(handler, directory=folder)
    try:
        server = Server(("127.0.0.1", port), handler)
    except OSError:
        server = Server(("127.0.0.1", 0), handler)
    server.held = held
    return server


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=8000)
    parser.add_argument("--forbid-fullscreen", action="store_true")
    parser.add_argument("--missing", action="append", default=[])
    parser.add_argument("--stall", action="append", default=[])
    parser.add_argument("--compress", action="store_true")
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args()
    server = open_server(args.folder, args.port, args.forbid_fullscreen, args.quiet, set(args.missing), args.compress,
                         stalled=set(args.stall))
    print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
