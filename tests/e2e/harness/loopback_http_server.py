#!/usr/bin/env python3
"""A small HTTP/1.0 server on 127.0.0.1 for the end-to-end tests.

Started by LoopbackHttpServer (http_server.h). It binds a free port on the
loopback address only, prints "PORT <n>" on standard output once it accepts
connections, and appends "<method> <path> TAB <User-Agent> TAB <Range>" to
the --log file for every request before answering it (and TAB <If-Range>
when the request has one). Every answer closes its connection. With
--tls-cert and --tls-key, a connection that opens with a TLS handshake is
served over TLS with that certificate, any other one as plain HTTP, on the
same port. HEAD gets the headers a GET would (200 for /files/REL, else 404).

Routes (REL is a path below --root, "/" separated):
  /files/REL           the file, with its Content-Length
  /slow/REL?bps=N      the file, sent at about N bytes per second
  /html                a 200 HTML page
  /stallhead           nothing at all: the connection stays open, silent
  /stallbody/REL       Content-Length of the file, its first half, then silence
  /drop/REL?at=P,Q     the file, the connection closed after P % of it and
                       again after Q %; a request with "Range: bytes=N-" gets
                       206 and the rest from N on (up to the next drop), unless
                       its If-Range is not the file's ETag (then 200 and all)
  /redirect/N/REL      302 to /redirect/N-1/REL, and /redirect/0/REL to /files/REL
  /loop                302 to itself
  /to?location=L       302 with Location L, whatever it is
  anything else        404 with an HTML page
"""

import argparse
import os
import posixpath
import re
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HTML = b"<!DOCTYPE html><html><body><h1>Not an installer</h1></body></html>\n"
CHUNK = 64 * 1024


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "ZevrinoTestServer/1.0"

    def log_message(self, format, *args):  # no stderr noise per request
        pass

    def record(self):
        with self.server.log_lock, open(self.server.log_path, "a") as log:
            agent = self.headers.get("User-Agent", "")
            if_range = self.headers.get("If-Range")
            log.write("%s %s\t%s\t%s%s\n" % (self.command, self.path, agent,
                                              self.headers.get("Range", ""),
                                              "" if if_range is None else "\t" + if_range))

    def file_for(self, rel):
        rel = posixpath.normpath(urllib.parse.unquote(rel)).lstrip("/")
        if rel.startswith(".."):
            return None
        path = os.path.join(self.server.root, *rel.split("/"))
        return path if os.path.isfile(path) else None

    def head(self, status, length=None, content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()

    def not_found(self):
        self.head(404, len(HTML), "text/html")
        self.wfile.write(HTML)

    def send_file(self, path, announced, send, bps=None):
        self.head(200, announced)
        with open(path, "rb") as source:
            if bps is None and send == os.path.getsize(path):
                self.wfile.flush()
                self.connection.sendfile(source)
                return
            start = time.monotonic()
            sent = 0
            while sent < send:
                block = source.read(min(CHUNK, send - sent))
                if not block:
                    break
                self.wfile.write(block)
                sent += len(block)
                if bps:
                    ahead = sent / bps - (time.monotonic() - start)
                    if ahead > 0:
                        time.sleep(ahead)

    def send_dropping(self, path, size, percents):
        etag = '"%d-%d"' % (size, int(os.path.getmtime(path)))
        match = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", ""))
        if match and self.headers.get("If-Range", etag) != etag:
            match = None
        start = int(match.group(1)) if match else 0
        stop = next((p for p in sorted(size * q // 100 for q in percents) if p > start), size)
        self.send_response(206 if match else 200)
        if match:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
        self.send_header("Content-Length", str(size - start))
        self.send_header("ETag", etag)
        self.end_headers()
        with open(path, "rb") as source:
            source.seek(start)
            self.wfile.write(source.read(stop - start))
        self.connection.shutdown(socket.SHUT_WR)  # orderly: every byte sent arrives

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def silence(self):
        # Until the client gives up (or the server is stopped).
        self.wfile.flush()
        while self.connection.recv(1024):
            pass

    def do_HEAD(self):
        self.record()
        route, _, rel = urllib.parse.urlsplit(self.path).path.lstrip("/").partition("/")
        path = self.file_for(rel) if rel and route == "files" else None
        self.head(200 if path else 404, os.path.getsize(path) if path else 0)

    def do_GET(self):
        self.record()
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        route, _, rel = url.path.lstrip("/").partition("/")
        try:
            if route == "stallhead" and not rel:
                self.silence()
                return
            if route == "loop" and not rel:
                self.redirect("/loop")
                return
            if route == "to" and not rel:
                self.redirect(query.get("location", [""])[0])
                return
            if route == "redirect":
                count, _, rest = rel.partition("/")
                count = int(count) if count.isdigit() else 0
                self.redirect("/redirect/%d/%s" % (count - 1, rest) if count > 0 else "/files/" + rest)
                return
            if route == "html" and not rel:
                self.head(200, len(HTML), "text/html")
                self.wfile.write(HTML)
                return
            path = self.file_for(rel) if rel else None
            if path is None or route not in ("files", "slow", "stallbody", "drop"):
                self.not_found()
                return
            size = os.path.getsize(path)
            if route == "files":
                self.send_file(path, size, size)
            elif route == "slow":
                self.send_file(path, size, size, int(query.get("bps", ["65536"])[0]))
            elif route == "drop":
                self.send_dropping(path, size, [int(p) for p in query.get("at", ["50"])[0].split(",")])
            else:  # stallbody
                self.send_file(path, size, size // 2)
                self.silence()
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client gave up; nothing to answer


class Server(ThreadingHTTPServer):
    tls = None  # an ssl.SSLContext, or None for plain HTTP only

    def finish_request(self, request, client_address):
        if self.tls is not None and request.recv(1, socket.MSG_PEEK) == b"\x16":
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return  # the client refused the certificate
        Handler(request, client_address, self)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    args = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    if args.tls_cert:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(args.tls_cert, args.tls_key)
    server.daemon_threads = True
    server.root = os.path.abspath(args.root)
    server.log_path = args.log
    server.log_lock = threading.Lock()
    open(args.log, "a").close()
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
