#!/usr/bin/env python3
"""A loopback HTTP/HTTPS server for the tests: serves one file at any path.

    http_server.py FILE [--live] [--tls CERT KEY] [--cut BYTES]
                   [--tail BYTES] [--stall BYTES] [--silent]
                   [--header "Name: value"]... [--fold] [--trickle SECONDS]

It listens on 127.0.0.1 with a free port, prints "PORT PID" on one line and
serves until it is terminated (or after 120 s, whichever comes first).
  --live   no Content-Length and no ranges, like an internet radio stream
  --cut N  stop every response at body offset N and drop the connection
           without a TLS close_notify
  --tail T with --cut or --stall, requests that start within the last T bytes are
           served in full (so that a client can still find the end)
  --stall N  send the first N bytes of the body, then keep the connection
           open and send nothing more
  --silent   accept connections but never answer
  --fold     answer with a folded header line (a continuation starting with a
             blank) before the body
  --trickle S  send the response head one byte every S seconds
  --record F append to F every line the client sent that was not a request
Without --live, Range requests are answered with 206 and Content-Range.
"""
import argparse
import os
import re
import socket
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("--live", action="store_true")
    ap.add_argument("--tls", nargs=2)
    ap.add_argument("--cut", type=int)
    ap.add_argument("--tail", type=int, default=0)
    ap.add_argument("--stall", type=int)
    ap.add_argument("--silent", action="store_true")
    ap.add_argument("--header", action="append", default=[])
    ap.add_argument("--fold", action="store_true")
    ap.add_argument("--trickle", type=float)
    ap.add_argument("--record")
    opts = ap.parse_args()
    with open(opts.file, "rb") as f:
        body = f.read()

    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0" if opts.live else "HTTP/1.1"

        def log_message(self, *args):
            pass

        def send_error(self, code, message=None, explain=None):
            if opts.record:
                with open(opts.record, "ab") as f:
                    f.write(self.raw_requestline or b"?")
            super().send_error(code, message, explain)

        def version_string(self):
            return "o2w-test-server/1.0"

        def do_GET(self):
            if opts.silent:
                time.sleep(120)
                return
            if opts.fold or opts.trickle:
                head = b"HTTP/1.0 200 OK\r\nContent-Type: audio/ogg\r\n"
                if opts.fold:
                    head += b"icy-name: a\r\n b\r\n"
                head += b"\r\n"
                try:
                    if opts.trickle:
                        for i in range(len(head)):
                            self.wfile.write(head[i:i + 1])
                            self.wfile.flush()
                            time.sleep(opts.trickle)
                    self.wfile.write(head + body)
                except OSError:
                    pass
                return
            start, end = 0, len(body)
            ranged = None if opts.live else self.headers.get("Range")
            match = re.match(r"bytes=(\d+)-(\d*)", ranged or "")
            if match:
                start = int(match.group(1))
                if match.group(2):
                    end = min(end, int(match.group(2)) + 1)
                if start >= len(body):
                    self.send_response(416)
                    self.send_header("Content-Range", "bytes */%d" % len(body))
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                self.send_response(206)
                self.send_header("Content-Range",
                                 "bytes %d-%d/%d" % (start, end - 1, len(body)))
            else:
                self.send_response(200)
            self.send_header("Content-Type", "audio/ogg")
            if not opts.live:
                self.send_header("Accept-Ranges", "bytes")
                self.send_header("Content-Length", str(end - start))
            for line in opts.header:
                name, _, value = line.partition(":")
                # The bytes as given on the command line, whatever they are.
                raw = value.strip().encode("utf-8", "surrogateescape").decode("latin-1")
                self.send_header(name.strip(), raw)
            self.end_headers()
            stop = end
            if opts.stall is not None and start < len(body) - opts.tail:
                stop = max(start, min(end, opts.stall))
            if opts.cut is not None and start < len(body) - opts.tail:
                stop = max(start, min(end, opts.cut))
            try:
                self.wfile.write(body[start:stop])
                self.wfile.flush()
            except OSError:
                return
            if opts.stall is not None and stop < end:
                time.sleep(120)
                return
            if opts.cut is not None and stop < end:
                # Drop the connection under TLS, so no close_notify is sent.
                socket.socket.shutdown(self.connection, socket.SHUT_RDWR)
                self.close_connection = True

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if opts.tls:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(opts.tls[0], opts.tls[1])
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], os.getpid(), flush=True)
    threading.Timer(120, os._exit, args=(0,)).start()
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
