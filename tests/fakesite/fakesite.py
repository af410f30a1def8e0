#!/usr/bin/env python3
"""The fake site: an HTTP proxy on 127.0.0.1 that plays every host the
program talks to, so tests reach "the site" over WinInet's real proxy and TLS
path with no network.

- "CONNECT host:443" for a host of routes.json's "tls_hosts" is answered with
  "200 Connection established"; the tunnel is then served over TLS with the
  certificate named there (the site's, signed by the test authority, or one
  from an authority nobody trusts).
- Any other CONNECT target, and any host ending in ".invalid", is treated as
  a host that cannot be reached: the connection is closed without an answer.
- "GET http://host/path" (a proxied plain request) and "GET /path" with a
  Host header are served in plain HTTP.
- Every connection is kept alive across requests (HTTP/1.1).

Answers come from routes.json (host + path + query parameters -> status,
headers, fixture file or generated body) and any extra tables given with
--routes; anything else is a 404 page.

Generated bodies ("stream" routes, or any path "/stream/<size>/<name>" on any
host): byte i of the body is i % 251. Query parameters of the request, or the
route's "stream" object, shape the answer:
  status=N     status code (default 200)
  type=T       Content-Type (default from the name's extension)
  nolength=1   no Content-Length; the body ends when the connection closes
  chunked=1    chunked transfer coding (no Content-Length either)
  short=K      announces the full size but sends K bytes less, then closes
  trickle=MS   waits MS milliseconds after every chunk
  chunk=B      chunk size for trickle and chunked (default 4096)
  stall=K      sends K bytes, then holds the connection open without sending
               more until the client closes it (bounded by --stall-limit)

Control host (plain HTTP only): "http://fakesite.control/requests" lists the
requests this instance served so far, one per line:
"METHOD URL STATUS" (CONNECT lines as "CONNECT host:port STATUS").

The process ends by itself after --lifetime seconds, or as soon as the
process --parent-pid names has gone.
"""

import argparse
import json
import mimetypes
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse

CONTROL_HOST = "fakesite.control"
UNREACHABLE_SUFFIX = ".invalid"
PATTERN_PERIOD = 251
NOT_FOUND_BODY = (b"<!DOCTYPE html>\n<html><head><title>Page Not Found</title></head>"
                  b"<body><h1>Page Not Found</h1><p>The link you followed may be broken."
                  b"</p></body></html>\n")


def pattern_bytes(start, length):
    """Bytes start..start+length-1 of a generated body."""
    period = bytes(range(PATTERN_PERIOD))
    offset = start % PATTERN_PERIOD
    rotated = period[offset:] + period[:offset]
    whole, rest = divmod(length, PATTERN_PERIOD)
    return rotated * whole + rotated[:rest]


def content_type_for(name):
    ext = os.path.splitext(name)[1].lower()
    if ext in (".html", ".htm", ".php"):
        return "text/html; charset=utf-8"
    if ext in (".txt", ".currver"):
        return "text/plain; charset=utf-8"
    guessed = mimetypes.guess_type("x" + ext)[0]
    return guessed or "application/octet-stream"


class Request:
    def __init__(self, method, scheme, host, target, version, headers, body):
        self.method = method
        self.scheme = scheme
        self.host = host.lower()
        split = urllib.parse.urlsplit(target)
        self.path = split.path or "/"
        self.query = split.query
        self.params = dict(urllib.parse.parse_qsl(split.query, keep_blank_values=True))
        self.version = version
        self.headers = headers
        self.body = body

    @property
    def url(self):
        return "%s://%s%s%s" % (self.scheme, self.host, self.path,
                                "?" + self.query if self.query else "")


class Site:
    def __init__(self, args):
        self.args = args
        # Files named first win ties, so a test's own table can override the
        # shared one.
        self.tls_hosts, self.routes = {}, []
        for name in reversed(args.routes):
            with open(name, encoding="utf-8") as f:
                table = json.load(f)
            fixtures = os.path.join(os.path.dirname(os.path.abspath(name)), table.get("fixtures", "fixtures"))
            self.tls_hosts.update({h.lower(): kind for h, kind in table.get("tls_hosts", {}).items()})
            self.routes[:0] = [dict(r, fixtures=fixtures) for r in table.get("routes", [])]
        self.contexts = {}
        for kind in set(self.tls_hosts.values()):
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(os.path.join(args.certs, kind + ".pem"),
                                os.path.join(args.certs, kind + ".key"))
            self.contexts[kind] = ctx
        self.lock = threading.Lock()
        self.served = []
        self.log_file = open(args.log, "a", encoding="utf-8", buffering=1) if args.log else None
        self.connection_count = 0

    # -- bookkeeping -------------------------------------------------------
    def log(self, conn_id, text):
        if not self.log_file:
            return
        now = time.time()
        stamp = time.strftime("%H:%M:%S", time.localtime(now)) + ".%03d" % (now % 1 * 1000)
        with self.lock:
            self.log_file.write("%s #%d %s\n" % (stamp, conn_id, text))

    def record(self, line):
        with self.lock:
            self.served.append(line)

    # -- routing -----------------------------------------------------------
    def find_route(self, req):
        best, best_score = None, -1
        for route in self.routes:
            host = route.get("host", "*").lower()
            if host != "*" and host != req.host:
                continue
            if route.get("path") != req.path:
                continue
            if route.get("scheme") and route["scheme"] != req.scheme:
                continue
            wanted = route.get("query", {})
            if any(req.params.get(k) != str(v) for k, v in wanted.items()):
                continue
            score = len(wanted) * 2 + (host != "*")
            if score > best_score:
                best, best_score = route, score
        return best

    def answer(self, req):
        """(status, headers list, body bytes or None, stream options or None)."""
        if req.host == CONTROL_HOST and req.scheme == "http":
            if req.path == "/requests":
                with self.lock:
                    text = "".join(line + "\n" for line in self.served)
                return 200, [("Content-Type", "text/plain; charset=utf-8")], text.encode(), None
            return 404, [("Content-Type", "text/plain")], b"unknown control request\n", None

        route = self.find_route(req)
        if route is None and req.path.startswith("/stream/"):
            parts = req.path.split("/")
            if len(parts) >= 3 and parts[2].isdigit():
                route = {"stream": {"size": int(parts[2])}}
        if route is None:
            return 404, [("Content-Type", "text/html; charset=utf-8")], NOT_FOUND_BODY, None

        status = int(route.get("status", 200))
        headers = list(route.get("headers", {}).items())
        if "stream" in route:
            options = dict(route["stream"])
            options.update(req.params)  # the request may shape any stream
            options.setdefault("type", content_type_for(req.path))
            return int(options.get("status", status)), headers, None, options
        if "file" in route:
            with open(os.path.join(route["fixtures"], route["file"]), "rb") as f:
                body = f.read()
            name = route["file"]
        else:
            body = route.get("body", "").encode("utf-8")
            name = req.path
        if not any(k.lower() == "content-type" for k, _ in headers):
            headers.append(("Content-Type", content_type_for(name)))
        return status, headers, body, None


REASONS = {200: "OK", 206: "Partial Content", 301: "Moved Permanently", 302: "Found",
           304: "Not Modified", 400: "Bad Request", 403: "Forbidden", 404: "Not Found",
           500: "Internal Server Error", 502: "Bad Gateway", 503: "Service Unavailable"}


class Connection:
    def __init__(self, site, sock, conn_id):
        self.site = site
        self.sock = sock
        self.id = conn_id
        self.rfile = sock.makefile("rb")
        self.scheme = "http"
        self.tunnel_host = None

    def send(self, data):
        self.sock.sendall(data)

    def read_head(self):
        line = self.rfile.readline(65537)
        if not line:
            return None
        while line in (b"\r\n", b"\n"):  # stray line ends between requests
            line = self.rfile.readline(65537)
            if not line:
                return None
        parts = line.decode("latin-1").strip().split()
        if len(parts) != 3:
            raise ValueError("bad request line %r" % line)
        headers = {}
        while True:
            h = self.rfile.readline(65537)
            if not h or h in (b"\r\n", b"\n"):
                break
            name, _, value = h.decode("latin-1").partition(":")
            headers[name.strip().lower()] = value.strip()
        return parts, headers

    def run(self):
        try:
            while True:
                head = self.read_head()
                if head is None:
                    return
                (method, target, version), headers = head
                if method == "CONNECT":
                    if not self.start_tunnel(target):
                        return
                    continue
                if not self.serve(method, target, version, headers):
                    return
        except (ConnectionError, socket.timeout, ssl.SSLError, OSError, ValueError) as e:
            self.site.log(self.id, "connection ended: %s" % (e,))
        finally:
            self.close()

    def close(self):
        # The file made by makefile() keeps the socket open; shutting down
        # ends the connection for the client at once.
        for step in (lambda: self.sock.shutdown(socket.SHUT_RDWR), self.rfile.close, self.sock.close):
            try:
                step()
            except OSError:
                pass

    def start_tunnel(self, target):
        host, _, port = target.rpartition(":")
        host = host.lower()
        kind = self.site.tls_hosts.get(host)
        if self.tunnel_host is not None or port != "443" or kind is None:
            # As if the host could not be reached: no answer at all.
            self.site.log(self.id, "CONNECT %s: unknown host, connection closed" % target)
            self.site.record("CONNECT %s 0" % target)
            return False
        self.send(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.site.record("CONNECT %s 200" % target)
        self.site.log(self.id, "CONNECT %s (%s certificate)" % (target, kind))
        try:
            self.sock = self.site.contexts[kind].wrap_socket(self.sock, server_side=True)
        except (ssl.SSLError, OSError) as e:
            # A client that rejects the certificate ends the handshake here.
            self.site.log(self.id, "TLS handshake with %s failed: %s" % (host, e))
            return False
        self.site.log(self.id, "TLS %s %s" % (self.sock.version(), self.sock.cipher()[0]))
        self.rfile = self.sock.makefile("rb")
        self.scheme = "https"
        self.tunnel_host = host
        return True

    def serve(self, method, target, version, headers):
        """Serves one request; False when the connection must close."""
        if self.tunnel_host is not None:
            host, path = self.tunnel_host, target
            if not path.startswith("/"):  # absolute form inside a tunnel
                split = urllib.parse.urlsplit(target)
                path = (split.path or "/") + ("?" + split.query if split.query else "")
        elif target.lower().startswith("http://"):
            split = urllib.parse.urlsplit(target)
            host = split.netloc.rpartition("@")[2].split(":")[0]
            path = (split.path or "/") + ("?" + split.query if split.query else "")
        else:
            host, path = headers.get("host", "").split(":")[0], target

        if host.lower().endswith(UNREACHABLE_SUFFIX):
            self.site.log(self.id, "%s %s: unreachable host, connection closed" % (method, target))
            self.site.record("%s %s 0" % (method, target))
            return False
        length = int(headers.get("content-length", "0") or 0)
        body = self.rfile.read(length) if length else b""
        req = Request(method, self.scheme, host, path, version, headers, body)
        keep = version == "HTTP/1.1"
        conn_header = (headers.get("connection", "") + "," + headers.get("proxy-connection", "")).lower()
        if "close" in conn_header:
            keep = False
        elif "keep-alive" in conn_header:
            keep = True

        status, out_headers, out_body, stream = self.site.answer(req)
        if req.host != CONTROL_HOST:
            self.site.record("%s %s %d" % (method, req.url, status))
        extra = " (%d body bytes)" % len(body) if body else ""
        self.site.log(self.id, "%s %s -> %d%s" % (method, req.url, status, extra))
        if stream is not None:
            return self.send_stream(req, status, out_headers, stream, keep)
        head = self.status_line(status) + self.header_lines(out_headers)
        head += "Content-Length: %d\r\n" % len(out_body)
        head += "Connection: %s\r\n\r\n" % ("keep-alive" if keep else "close")
        self.send(head.encode("latin-1") + (b"" if method == "HEAD" else out_body))
        return keep

    @staticmethod
    def status_line(status):
        return "HTTP/1.1 %d %s\r\n" % (status, REASONS.get(status, "Status"))

    @staticmethod
    def header_lines(headers):
        return "".join("%s: %s\r\n" % (k, v) for k, v in headers)

    def send_stream(self, req, status, headers, opts, keep):
        size = int(opts.get("size", 0))
        nolength = opts.get("nolength") in ("1", 1, True)
        chunked = opts.get("chunked") in ("1", 1, True)
        short = int(opts.get("short", 0))
        stall = int(opts["stall"]) if "stall" in opts else None
        trickle = int(opts.get("trickle", 0)) / 1000.0
        chunk = max(1, int(opts.get("chunk", 4096 if (trickle or chunked) else 65536)))
        sent_size = max(0, size - short)
        if nolength or short or stall is not None:
            keep = False  # the connection's end is part of the answer
        head = self.status_line(status) + self.header_lines(headers)
        head += "Content-Type: %s\r\n" % opts["type"]
        if chunked:
            head += "Transfer-Encoding: chunked\r\n"
        elif not nolength:
            head += "Content-Length: %d\r\n" % size
        head += "Connection: %s\r\n\r\n" % ("keep-alive" if keep else "close")
        self.send(head.encode("latin-1"))
        if req.method == "HEAD":
            return keep
        limit = sent_size if stall is None else min(sent_size, stall)
        pos = 0
        while pos < limit:
            n = min(chunk, limit - pos)
            data = pattern_bytes(pos, n)
            if chunked:
                data = b"%x\r\n" % n + data + b"\r\n"
            self.send(data)
            pos += n
            if trickle:
                time.sleep(trickle)
        if stall is not None:
            self.site.log(self.id, "stalling after %d bytes" % pos)
            self.sock.settimeout(1.0)
            deadline = time.time() + self.site.args.stall_limit
            while time.time() < deadline:
                try:
                    if not self.sock.recv(4096):
                        break
                except socket.timeout:
                    continue
            return False
        if chunked:
            self.send(b"0\r\n\r\n")
        return keep


def watch_lifetime(args):
    deadline = time.time() + args.lifetime
    while time.time() < deadline:
        if args.parent_pid:
            try:
                os.kill(args.parent_pid, 0)
            except ProcessLookupError:
                os._exit(0)
            except PermissionError:
                pass
        time.sleep(0.5)
    os._exit(0)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.environ.get("KORVELINK_BUILD", "")
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--certs", default=os.path.join(build, "fakesite") if build else None,
                   help="folder of make-certs.sh's files (default $KORVELINK_BUILD/fakesite)")
    p.add_argument("--routes", action="append",
                   help="routing table; may be given several times, the first wins ties "
                        "(default: routes.json beside this script, always used last)")
    p.add_argument("--port-file", help="the port is written there once the site listens")
    p.add_argument("--log", help="request log (appended)")
    p.add_argument("--lifetime", type=float, default=600, help="seconds before the site ends itself")
    p.add_argument("--parent-pid", type=int, default=0, help="ends when this process has gone")
    p.add_argument("--idle-timeout", type=float, default=60, help="seconds a quiet connection stays open")
    p.add_argument("--stall-limit", type=float, default=120, help="longest stall of a stall=K stream")
    args = p.parse_args()
    args.routes = (args.routes or []) + [os.path.join(here, "routes.json")]
    if not args.certs:
        p.error("--certs or KORVELINK_BUILD is needed")

    site = Site(args)
    threading.Thread(target=watch_lifetime, args=(args,), daemon=True).start()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    port = listener.getsockname()[1]
    site.log(0, "listening on 127.0.0.1:%d (pid %d)" % (port, os.getpid()))
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    else:
        print(port, flush=True)

    while True:
        sock, _ = listener.accept()
        sock.settimeout(args.idle_timeout)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        site.connection_count += 1
        conn = Connection(site, sock, site.connection_count)
        threading.Thread(target=conn.run, daemon=True).start()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
