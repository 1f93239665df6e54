#!/usr/bin/env python3
"""The local demo server: serves a sample release (tools/make_sample_release.py) for the installer.

Usage: demo_server.py --root OUT [--port-file FILE] [--port N] [--log FILE] [--nodelay] [--fault RULE]...

It listens on 127.0.0.1 only (port 0 picks a free one; --port-file receives the chosen port once the
server accepts connections) and answers HTTP/1.1 GET requests with keep-alive and a Content-Length, never
chunked. It routes by host name, so one server stands for the maker's web site and every mirror:
  - an absolute-URI request line ("GET http://mirror1.test/pub/... HTTP/1.1", what a client sends to a
    proxy) names the host; otherwise the Host header does. A ":port" after the host is dropped, so the
    forms tinyproxy sends to an upstream ("http://mirror1.test:80/...") route alike.
  - OUT/hosts.json (or --config FILE) maps each host to a folder under OUT, its document root:
      {"hosts": {"www.aerivon.example": "maker", "mirror1.test": "mirror", ...},
       "control_host": "control.test"}
    A host that is not listed gets 404. Paths are %-decoded and never leave the document root.
An answer's body goes out after its headers as the client acknowledges them (Nagle's algorithm: about 40 ms
a request against a client that delays its acknowledgements); with --nodelay it goes at once, for runs of
thousands of packages.
Every request is logged as one JSON line (time, host, path, status, bytes of body sent) to --log FILE
(appended) or to standard output.

Faults make a host misbehave, optionally only for paths ending in a suffix. On the command line:
  --fault HOST[/SUFFIX]=MODE[@LIMIT]     (repeatable)
and while running, through the reserved control host (default control.test):
  GET http://control.test/fault?rule=HOST[/SUFFIX]=MODE[@LIMIT]   add or replace a fault (200)
  GET http://control.test/clear[?host=HOST[&suffix=SUFFIX]]        remove faults (all without host)
  GET http://control.test/faults                                    the faults in force, as JSON
  GET http://control.test/requests                                  the request log so far, JSON lines
MODE is one of:
  503, 404, status=CODE    answer with that status and a short body
  slow=N                   send the body at N bytes per second
  drop=N                   send N bytes of the body, then reset the connection
  stall                    send the headers, then nothing until the client goes (or 600 s)
  drip                     send the headers, then the body at 1 byte every 2 s until the client goes
  hangup                   close the connection without a byte of an answer (logged as status 0)
  short                    announce the whole length, send half the body, close the connection
  wronglen=N               announce the body length plus N (N may be negative), send the whole body,
                           close the connection
  corrupt                  flip bytes in the middle of the body (the length stays)
  interim                  send "100 Continue" blocks without end until the client goes (or 600 s)
  chunked                  send the body chunked (Transfer-Encoding: chunked), keeping the connection
  twolengths               announce two different lengths, send the body, close the connection
  endless                  send headers without a length, then bytes without end until the client goes
  longheader               send a header line of 1 MiB before the others, then the body
  manyheaders              send 10,000 short header lines before the others, then the body
LIMIT is N (the next N matching requests) or Ns (the next N seconds); without it the fault lasts.
Example: --fault mirror2.test=503 --fault 'mirror1.test/.zip=slow=2000@30s'
"""

import argparse
import json
import os
import posixpath
import select
import signal
import socket
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STALL_LIMIT_S = 600


class Fault:
    def __init__(self, rule):
        self.rule = rule
        target, sep, rest = rule.partition("=")
        if not sep or not target or not rest:
            raise ValueError(f"fault '{rule}': expected HOST[/SUFFIX]=MODE[@LIMIT]")
        host, slash, suffix = target.partition("/")
        self.host = host.lower()
        self.suffix = suffix if slash else ""
        mode, at, limit = rest.partition("@")
        self.count = None
        self.until = None
        if at:
            if limit.endswith("s"):
                self.until = time.monotonic() + float(limit[:-1])
            else:
                self.count = int(limit)
        name, eq, arg = mode.partition("=")
        if name in ("503", "404") and not eq:
            self.mode, self.arg = "status", int(name)
        elif name in ("status", "slow", "drop", "wronglen") and eq:
            self.mode, self.arg = name, int(arg)
        elif name in ("stall", "drip", "hangup", "short", "corrupt", "interim", "chunked", "twolengths", "endless",
                      "longheader", "manyheaders") and not eq:
            self.mode, self.arg = name, 0
        else:
            raise ValueError(f"fault '{rule}': unknown mode '{mode}'")
        if self.mode == "slow" and self.arg <= 0:
            raise ValueError(f"fault '{rule}': slow needs a positive rate")

    def live(self):
        if self.until is not None and time.monotonic() >= self.until:
            return False
        return self.count is None or self.count > 0

    def describe(self):
        left = {}
        if self.count is not None:
            left["requests_left"] = self.count
        if self.until is not None:
            left["seconds_left"] = max(0.0, round(self.until - time.monotonic(), 1))
        return dict(rule=self.rule, host=self.host, suffix=self.suffix, mode=self.mode, arg=self.arg, **left)


class State:
    def __init__(self, root, hosts, control_host, log_path):
        self.root = root
        self.hosts = hosts
        self.control_host = control_host
        self.lock = threading.Lock()
        self.faults = []
        self.requests = []
        self.log_file = open(log_path, "a", buffering=1, encoding="utf-8") if log_path else sys.stdout

    def add_fault(self, fault):
        with self.lock:
            self.faults = [f for f in self.faults if (f.host, f.suffix) != (fault.host, fault.suffix)]
            self.faults.append(fault)

    def clear_faults(self, host=None, suffix=None):
        with self.lock:
            self.faults = [
                f
                for f in self.faults
                if host is not None and (f.host != host.lower() or (suffix is not None and f.suffix != suffix))
            ]

    def take_fault(self, host, path):
        """The fault for this request, counting it; the longest matching suffix wins."""
        with self.lock:
            best = None
            for f in self.faults:
                if f.host == host and path.endswith(f.suffix) and f.live():
                    if best is None or len(f.suffix) > len(best.suffix):
                        best = f
            if best is not None and best.count is not None:
                best.count -= 1
            return best

    def log(self, host, path, status, sent):
        line = json.dumps(
            {"time": round(time.time(), 3), "host": host, "path": path, "status": status, "bytes": sent},
            sort_keys=True,
            ensure_ascii=False,
        )
        with self.lock:
            self.requests.append(line)
            self.log_file.write(line + "\n")
            self.log_file.flush()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "AerivonDemoServer/1.0"
    state = None  # set by main

    def log_message(self, format, *args):  # the JSON log replaces the default one
        pass

    def route(self):
        """(host, path) of the request, the host lower-cased and without a port, the path %-decoded."""
        target = self.path
        host = ""
        if "://" in target:
            parts = urllib.parse.urlsplit(target)
            host = parts.netloc
            target = parts.path or "/"
            if parts.query:
                target += "?" + parts.query
        if not host:
            host = self.headers.get("Host", "")
        host = host.rsplit("@", 1)[-1]
        if host.startswith("["):
            host = host.split("]", 1)[0] + "]"
        else:
            host = host.split(":", 1)[0]
        return host.lower(), target

    def do_GET(self):
        host, target = self.route()
        path, _, query = target.partition("?")
        path = urllib.parse.unquote(path)
        if host == self.state.control_host:
            self.control(path, urllib.parse.parse_qs(query))
            return
        folder = self.state.hosts.get(host)
        data = None
        if folder is not None:
            data = self.read_file(folder, path)
        if data is None:
            self.answer(host, path, 404, b"Not Found\n")
            return
        fault = self.state.take_fault(host, path)
        if fault is None:
            self.answer(host, path, 200, data)
        else:
            self.faulty(host, path, data, fault)

    def read_file(self, folder, path):
        """The bytes of `path` under the host's folder, or None: missing, a folder, or outside it."""
        if not path.startswith("/") or "\0" in path:
            return None
        parts = [p for p in path.split("/") if p]
        if any(p in (".", "..") for p in parts):
            return None
        base = os.path.realpath(os.path.join(self.state.root, folder))
        full = os.path.realpath(os.path.join(base, *parts)) if parts else base
        if full != base and not full.startswith(base + os.sep):
            return None
        if not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def send_head(self, status, length, content_type="application/octet-stream", close=False):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.flush()

    def answer(self, host, path, status, body, content_type="application/octet-stream"):
        # A client that goes in mid-answer (a download that failed on its side) is logged too, with the
        # bytes it was handed.
        sent = 0
        try:
            self.send_head(status, len(body), content_type)
            for at in range(0, len(body), 65536):
                self.wfile.write(body[at : at + 65536])
                sent = min(len(body), at + 65536)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        self.state.log(host, path, status, sent)

    def faulty(self, host, path, data, fault):
        mode = fault.mode
        if mode == "status":
            text = f"Fault {fault.arg}\n".encode()
            self.answer(host, path, fault.arg, text, "text/plain")
            return
        if mode == "hangup":
            self.close_connection = True
            self.state.log(host, path, 0, 0)
            return
        if mode == "corrupt":
            body = bytearray(data)
            middle = len(body) // 2
            for i in range(middle, min(len(body), middle + 16)):
                body[i] ^= 0xA5
            self.answer(host, path, 200, bytes(body))
            return
        sent = 0
        try:
            if mode == "slow":
                self.send_head(200, len(data))
                piece = max(1, fault.arg // 10)
                while sent < len(data):
                    chunk = data[sent : sent + piece]
                    self.wfile.write(chunk)
                    sent += len(chunk)
                    if sent < len(data):
                        time.sleep(len(chunk) / fault.arg)
            elif mode == "drop":
                self.send_head(200, len(data))
                chunk = data[: max(0, min(fault.arg, len(data)))]
                self.wfile.write(chunk)
                sent = len(chunk)
                self.reset_connection()
            elif mode == "stall":
                self.send_head(200, len(data))
                self.wait_for_client_to_go()
                self.close_connection = True
            elif mode == "drip":
                self.send_head(200, len(data))
                sent = self.drip(data)
            elif mode == "short":
                self.send_head(200, len(data), close=True)
                chunk = data[: len(data) // 2]
                self.wfile.write(chunk)
                sent = len(chunk)
            elif mode in ("interim", "endless"):
                sent = self.send_without_end(mode, data)
            elif mode == "chunked":
                self.send_response(200)
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                self.wfile.write(b"%x\r\n%s\r\n0\r\n\r\n" % (len(data), data))
                sent = len(data)
            elif mode == "twolengths":
                self.send_response(200)
                self.send_header("Content-Length", str(len(data)))
                self.send_header("Content-Length", str(len(data) + 1))
                self.send_header("Connection", "close")
                self.end_headers()
                self.close_connection = True
                self.wfile.write(data)
                sent = len(data)
            elif mode in ("longheader", "manyheaders"):
                self.send_response(200)
                if mode == "longheader":
                    self.send_header("X-Long", "l" * (1 << 20))
                else:
                    for i in range(10000):
                        self.send_header(f"X-Many-{i}", "m")
                self.send_header("Content-Length", str(len(data)))
                self.send_header("Connection", "close")
                self.end_headers()
                self.close_connection = True
                self.wfile.write(data)
                sent = len(data)
            elif mode == "wronglen":
                self.send_head(200, max(0, len(data) + fault.arg), close=True)
                self.wfile.write(data)
                sent = len(data)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        self.state.log(host, path, 200, sent)

    def send_without_end(self, mode, data):
        """Interim blocks, or a body without a length, until the client goes; the bytes sent."""
        self.close_connection = True
        if mode == "interim":
            piece = b"HTTP/1.1 100 Continue\r\n\r\n" * 64
        else:
            self.wfile.write(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
            piece = (data or b"x") * max(1, 65536 // max(1, len(data)))
        sent = 0
        deadline = time.monotonic() + STALL_LIMIT_S
        try:
            while time.monotonic() < deadline and not self.server.stopping.is_set():
                self.wfile.write(piece)
                sent += len(piece)
        except (BrokenPipeError, ConnectionResetError):
            pass
        return sent

    def drip(self, data):
        """The body at 1 byte every 2 s, while the client stays (at most 600 s); the bytes sent."""
        self.close_connection = True
        deadline = time.monotonic() + STALL_LIMIT_S
        sent = 0
        while sent < len(data) and time.monotonic() < deadline and not self.server.stopping.is_set():
            self.wfile.write(data[sent : sent + 1])
            self.wfile.flush()
            sent += 1
            readable, _, _ = select.select([self.connection], [], [], 2.0)
            if readable and not self.connection.recv(1, socket.MSG_PEEK):
                break  # the client went
        return sent

    def reset_connection(self):
        """Ends the connection with a reset (RST) rather than an orderly close."""
        self.close_connection = True
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        except OSError:
            pass

    def wait_for_client_to_go(self):
        deadline = time.monotonic() + STALL_LIMIT_S
        while time.monotonic() < deadline and not self.server.stopping.is_set():
            readable, _, _ = select.select([self.connection], [], [], 0.2)
            if readable:
                try:
                    if not self.connection.recv(4096, socket.MSG_PEEK):
                        return
                except OSError:
                    return
                # A pipelined request stays unread: the stalled response never ends.
                time.sleep(0.2)

    def control(self, path, query):
        host = self.state.control_host
        try:
            if path == "/fault":
                for rule in query.get("rule", []):
                    self.state.add_fault(Fault(rule))
                body = json.dumps([f.describe() for f in self.state.faults]).encode() + b"\n"
            elif path == "/clear":
                target = query.get("host", [None])[0]
                suffix = query.get("suffix", [None])[0]
                self.state.clear_faults(target, suffix)
                body = b"cleared\n"
            elif path == "/faults":
                with self.state.lock:
                    body = json.dumps([f.describe() for f in self.state.faults]).encode() + b"\n"
            elif path == "/requests":
                with self.state.lock:
                    body = "".join(line + "\n" for line in self.state.requests).encode()
            else:
                self.answer(host, path, 404, b"Not Found\n", "text/plain")
                return
        except ValueError as e:
            self.answer(host, path, 400, (str(e) + "\n").encode(), "text/plain")
            return
        self.answer(host, path, 200, body, "application/json")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, *args, **kwargs):
        self.stopping = threading.Event()
        super().__init__(*args, **kwargs)


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        formatter_class=argparse.RawDescriptionHelpFormatter,
        epilog="\n\n".join(__doc__.split("\n\n")[1:]),
    )
    parser.add_argument("--root", required=True, help="the release folder (make_sample_release.py OUT)")
    parser.add_argument("--config", help="host table (default ROOT/hosts.json)")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (default 0: a free one)")
    parser.add_argument("--port-file", help="file that receives the chosen port")
    parser.add_argument("--log", help="file the JSON request lines are appended to (default stdout)")
    parser.add_argument("--nodelay", action="store_true", help="send answers without Nagle's algorithm")
    parser.add_argument("--fault", action="append", default=[], metavar="RULE", help="see below")
    opts = parser.parse_args()

    root = os.path.abspath(opts.root)
    config_path = opts.config or os.path.join(root, "hosts.json")
    with open(config_path) as f:
        config = json.load(f)
    hosts = {h.lower(): folder for h, folder in config.get("hosts", {}).items()}
    state = State(root, hosts, config.get("control_host", "control.test").lower(), opts.log)
    try:
        for rule in opts.fault:
            state.add_fault(Fault(rule))
    except ValueError as e:
        parser.error(str(e))

    Handler.state = state
    Handler.disable_nagle_algorithm = opts.nodelay
    server = Server(("127.0.0.1", opts.port), Handler)
    port = server.server_address[1]
    if opts.port_file:
        tmp = opts.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{port}\n")
        os.replace(tmp, opts.port_file)
    print(f"demo_server: serving {root} on 127.0.0.1:{port}", file=sys.stderr, flush=True)

    def stop(signum, frame):
        server.stopping.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    try:
        server.serve_forever(poll_interval=0.1)
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
