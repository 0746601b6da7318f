#!/usr/bin/env python3
"""Scripted HTTP and HTTPS server on 127.0.0.1 for the tests.

Started by a test (tests/support/loopback_server.cpp) with a JSON route file. It listens on a plain
and a TLS port (a self-signed certificate, or the one --cert names), the plain one on ::1 too
where the machine has IPv6 loopback, writes "<plain> <tls> <1 when ::1 listens, else 0>" to the
ready file once they listen, records every raw request it receives (one JSON line each: port,
base64 of the raw bytes) in the log file, and answers from the routes. It exits when asked at
/__stop, when the stop file appears, or after --lifetime seconds, so a crashed test leaves nothing
running.

Route file: {"routes": {"/path": response, ...}, "default": response}
Paths match on the path without the query first, then on the full target.
response: {"status": 200, "reason": "OK", "headers": [["Name", "value"], ...],
           "body_b64": "...", "body_file": "/abs/path", "convert": ["utf-8", "gbk"],
           "body_size": 0, "mode": "normal", "delay_ms": 0, "content_length": true,
           "chunk_size": 1000, "interval_ms": 0, "date_header": true}
A route may instead be {"sequence": [response, ...]}: the n-th request for it gets the n-th
response, the last one every later request. date_header false: no Date header at all.
body_size, when given, is a generated body of that many bytes ("0123456789" repeated), sent as it
is generated, so bodies far larger than memory cost nothing.
modes:
  normal          the response, then the connection stays open for the next request
  hang            reads the request and never answers; the connection outlives the server until
                  its client closes it
  close           reads the request and closes the connection without an answer
  reset_mid_body  announces twice the body, sends half of it and resets the connection
  close_mid_body  announces the whole body, sends half of it and closes the connection
  trickle         sends the head, then the body a byte at a time, one every interval_ms
  chunked         the body in chunks of chunk_size ("Transfer-Encoding: chunked")
  chunked_cut     the chunks of the first half of the body, then closes without the last chunk
  chunked_cut_mid as chunked_cut, but the connection closes in the middle of a chunk
"""
import argparse
import base64
import errno
import json
import os
import select
import socket
import stat
import ssl
import subprocess
import sys
import threading
import time

LOG_LOCK = threading.Lock()
STOP = threading.Event()
PATTERN = b"0123456789"
HUNG_LOCK = threading.Lock()
HUNG = []  # connections of "hang" answers, never closed by the server
SEQUENCE_LOCK = threading.Lock()
SEQUENCE_COUNTS = {}


def pick(resp, key):
    """The response of a route, stepping through a sequence route one request at a time."""
    if "sequence" not in resp:
        return resp
    with SEQUENCE_LOCK:
        n = SEQUENCE_COUNTS.get(key, 0)
        SEQUENCE_COUNTS[key] = n + 1
    steps = resp["sequence"]
    return steps[min(n, len(steps) - 1)]


def make_cert(folder):
    cert = os.path.join(folder, "cert.pem")
    key = os.path.join(folder, "key.pem")
    if not (os.path.exists(cert) and os.path.exists(key)):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650",
                        "-subj", "/CN=localhost", "-keyout", key + ".tmp", "-out", cert + ".tmp"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.replace(key + ".tmp", key)
        os.replace(cert + ".tmp", cert)
    return cert, key


def body_size_of(resp):
    return resp.get("body_size", 0)


def generated(size, piece=65530):
    """The generated body (byte i is PATTERN[i % 10]) in pieces: a huge one never sits in memory."""
    block = PATTERN * (piece // len(PATTERN) + 1)
    sent = 0
    while sent < size:
        n = min(piece, size - sent)
        yield block[:n]
        sent += n


def body_of(resp):
    if body_size_of(resp):
        return b"".join(generated(body_size_of(resp)))
    if "body_file" in resp:
        # The test sends every byte of the path as its own \u00XX escape: back to those bytes.
        with open(resp["body_file"].encode("latin-1"), "rb") as f:
            data = f.read()
    else:
        data = base64.b64decode(resp.get("body_b64", ""))
    conv = resp.get("convert")
    if conv:
        data = data.decode(conv[0], errors="replace").encode(conv[1], errors="replace")
    return data


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data if data else None
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            try:
                length = int(value.strip())
            except ValueError:
                length = 0
    while len(rest) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        rest += chunk
    return head + b"\r\n\r\n" + rest


def log_request(log_path, port, raw):
    line = (json.dumps({"port": port, "raw": base64.b64encode(raw).decode()}) + "\n").encode()
    # One write of the whole line: a reader never sees half a record (the tests read the log
    # while the server runs, and skip a last line that has no line end yet).
    with LOG_LOCK:
        fd = os.open(log_path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
        try:
            os.write(fd, line)
        finally:
            os.close(fd)


def send_head(conn, status, reason, headers, extra=(), date=True):
    lines = ["HTTP/1.1 %d %s" % (status, reason)]
    names = {h[0].lower() for h in headers}
    if "date" not in names and date:
        lines.append("Date: " + time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime()))
    for name, value in list(headers) + list(extra):
        lines.append("%s: %s" % (name, value))
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def body_pieces(resp):
    size = body_size_of(resp)
    return generated(size) if size else [body_of(resp)]


def send_chunked(conn, head, body, chunk_size, mode):
    conn.sendall(head)
    if mode == "chunked":
        chunks = [body[i:i + chunk_size] for i in range(0, len(body), chunk_size)]
        conn.sendall(b"".join(b"%x\r\n%s\r\n" % (len(c), c) for c in chunks) + b"0\r\n\r\n")
        return True
    half = body[: len(body) // 2]
    chunks = [half[i:i + chunk_size] for i in range(0, len(half), chunk_size)]
    data = b"".join(b"%x\r\n%s\r\n" % (len(c), c) for c in chunks)
    if mode == "chunked_cut_mid":
        # A chunk that announces more than the connection will carry.
        data += b"%x\r\n%s" % (chunk_size, PATTERN[: chunk_size // 2])
    conn.sendall(data)
    close_gracefully(conn)
    return False


def close_gracefully(conn):
    # The client reads everything sent before it sees the end: no reset, whatever it still sends.
    try:
        conn.shutdown(socket.SHUT_WR)
        conn.settimeout(5)
        while conn.recv(65536):
            pass
    except (OSError, ssl.SSLError):
        pass


def answer(conn, method, resp):
    """Sends one response; returns whether the connection may carry another request."""
    mode = resp.get("mode", "normal")
    if resp.get("delay_ms"):
        time.sleep(resp["delay_ms"] / 1000.0)
    if mode == "hang":
        with HUNG_LOCK:
            HUNG.append(conn)
        return False
    if mode == "close":
        return False
    status = resp.get("status", 200)
    reason = resp.get("reason", "OK")
    headers = resp.get("headers", [])
    names = {h[0].lower() for h in headers}
    date = resp.get("date_header", True)
    if mode in ("chunked", "chunked_cut", "chunked_cut_mid"):
        head = send_head(conn, status, reason, headers, [("Transfer-Encoding", "chunked")], date)
        return send_chunked(conn, head, body_of(resp), resp.get("chunk_size", 1000), mode)
    size = body_size_of(resp) or len(body_of(resp))
    if mode == "reset_mid_body":
        body = body_of(resp)
        conn.sendall(send_head(conn, status, reason, headers, [("Content-Length", str(len(body) * 2 + 100))], date) +
                     body[: len(body) // 2])
        # A reset may overtake what the client has not read yet, so the client sees the failure
        # either at its first read or at a later one; tests accept both.
        time.sleep(0.5)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
        return False
    extra = []
    if "content-length" not in names and resp.get("content_length", True):
        extra.append(("Content-Length", str(size)))
    head = send_head(conn, status, reason, headers, extra, date)
    if method == "HEAD":
        conn.sendall(head)
    elif mode == "close_mid_body":
        conn.sendall(head + body_of(resp)[: size // 2])
        close_gracefully(conn)
        return False
    elif mode == "trickle":
        conn.sendall(head)
        for piece in body_pieces(resp):
            for i in range(len(piece)):
                if STOP.is_set():
                    return False
                conn.sendall(piece[i:i + 1])
                time.sleep(resp.get("interval_ms", 100) / 1000.0)
    else:
        conn.sendall(head)
        for piece in body_pieces(resp):
            conn.sendall(piece)
    # Without a length only the end of the connection tells the client where the body ends;
    # "Connection: close" asks for the same.
    if not resp.get("content_length", True) and "content-length" not in names:
        close_gracefully(conn)
        return False
    if any(h[0].lower() == "connection" and h[1].strip().lower() == "close" for h in headers):
        close_gracefully(conn)
        return False
    return True


def serve_connection(conn, port, routes, default, log_path, context):
    try:
        if context is not None:
            # The handshake runs here, not in the accept loop: a client that stalls in it holds
            # up only its own connection.
            conn.settimeout(10)
            conn = context.wrap_socket(conn, server_side=True)
            conn.settimeout(None)
        while not STOP.is_set():
            raw = read_request(conn)
            if not raw:
                return
            log_request(log_path, port, raw)
            request_line = raw.split(b"\r\n", 1)[0].decode("latin-1")
            parts = request_line.split(" ")
            method = parts[0] if parts else "GET"
            target = parts[1] if len(parts) > 1 else "/"
            if target == "/__stop":
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                STOP.set()
                return
            path = target.split("?", 1)[0]
            key = target if target in routes else path
            resp = pick(routes.get(target) or routes.get(path) or default, key)
            if not answer(conn, method, resp):
                return
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        with HUNG_LOCK:
            hung = conn in HUNG
        if not hung:
            try:
                conn.close()
            except OSError:
                pass


def keep_hung_connections(socks, limit=600):
    """Hung connections stay open until their clients close them.

    A client that gave up on one may still have an operation waiting on it, and ending the
    connection while the client runs completes that operation late (Wine's WinHttp request object
    then writes into a request it has already freed). So a child process, with nothing of the test
    run's output, keeps them until each client is gone; the server itself exits at once.
    """
    if not socks or os.fork():
        return
    try:
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        keep = {s.fileno() for s in socks} | {0, 1, 2}
        for fd in range(3, 4096):
            if fd not in keep:
                try:
                    os.close(fd)
                except OSError:
                    pass
        fds = set(keep - {0, 1, 2})
        deadline = time.time() + limit
        while fds and time.time() < deadline:
            ready, _, _ = select.select(list(fds), [], [], 1.0)
            for fd in ready:
                try:
                    data = os.read(fd, 65536)
                except OSError:
                    data = b""
                if not data:
                    fds.discard(fd)
                    os.close(fd)
    finally:
        os._exit(0)


def accept_loop(listener, port, routes, default, log_path, context):
    listener.settimeout(0.2)
    while not STOP.is_set():
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            continue
        except OSError:
            return
        conn.settimeout(None)
        # Every write goes out at once: held back by Nagle's algorithm, a body written after its
        # head would wait for the client's delayed acknowledgement (40 ms on Linux) on every small
        # response, a delay of this server's making that benchmarks would count as the client's.
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=serve_connection, args=(conn, port, routes, default, log_path, context),
                         daemon=True).start()


def bind_plain():
    """The plain port on 127.0.0.1, and the same port on ::1 where the machine has IPv6 loopback
    (None otherwise): a test may then ask for http://[::1]:<port>/."""
    for _ in range(20):
        v4 = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        v4.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        v4.bind(("127.0.0.1", 0))
        v6 = None
        try:
            v6 = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
            v6.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
            v6.bind(("::1", v4.getsockname()[1]))
        except OSError as e:
            if v6:
                v6.close()
            v6 = None
            if e.errno == errno.EADDRINUSE:
                v4.close()
                continue
        v4.listen(64)
        if v6:
            v6.listen(64)
        return v4, v6
    raise OSError("no free loopback port")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--routes", required=True)
    ap.add_argument("--ready", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--stop-file", required=True)
    ap.add_argument("--cert-dir", default="/tmp/pt-test-cert")
    ap.add_argument("--cert", help="the TLS port's certificate (PEM) instead of the self-signed one")
    ap.add_argument("--key", help="the key of --cert")
    ap.add_argument("--lifetime", type=float, default=600)
    ap.add_argument("--tag", default="none", help="names the test run, so it can stop leftovers")
    args = ap.parse_args()
    with open(args.routes) as f:
        config = json.load(f)
    routes = config.get("routes", {})
    default = config.get("default", {"status": 404, "reason": "Not Found"})
    cert, key = (args.cert, args.key) if args.cert else make_cert(args.cert_dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listeners = []
    plain, v6 = bind_plain()
    listeners.append((plain, plain.getsockname()[1], None))
    if v6:
        listeners.append((v6, plain.getsockname()[1], None))
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    listeners.append((s, s.getsockname()[1], context))
    open(args.log, "ab").close()
    for s, port, ctx in listeners:
        threading.Thread(target=accept_loop, args=(s, port, routes, default, args.log, ctx),
                         daemon=True).start()
    with open(args.ready + ".tmp", "w") as f:
        f.write("%d %d %d\n" % (listeners[0][1], listeners[-1][1], 1 if v6 else 0))
    os.replace(args.ready + ".tmp", args.ready)
    deadline = time.time() + args.lifetime
    while not STOP.is_set() and time.time() < deadline and not os.path.exists(args.stop_file):
        time.sleep(0.05)
    stopped_by_test = os.path.exists(args.stop_file)
    STOP.set()
    for s, _, _ in listeners:
        s.close()
    with HUNG_LOCK:
        keep_hung_connections(list(HUNG))
    # The test that asked to stop is done with the files; one that never asked (it crashed, say)
    # leaves them to be looked at.
    if stopped_by_test:
        for path in (args.routes, args.ready, args.log, args.stop_file):
            # Only files of its own: a log given as /dev/null (a benchmark's) is a device that a
            # server run as root would otherwise delete for the whole machine.
            try:
                if stat.S_ISREG(os.lstat(path).st_mode):
                    os.remove(path)
            except OSError:
                pass
        try:
            os.rmdir(os.path.dirname(os.path.abspath(args.stop_file)))
        except OSError:
            pass


if __name__ == "__main__":
    sys.exit(main())
