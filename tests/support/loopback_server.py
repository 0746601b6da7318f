#!/usr/bin/env python3
"""Scripted HTTP and HTTPS server on 127.0.0.1 for the tests.

Started by a test (tests/support/loopback_server.cpp) with a JSON route file. It listens on a plain
and a TLS port (self-signed certificate), writes "<plain> <tls>" to the ready file once both listen,
records every raw request it receives (one JSON line each: port, base64 of the raw bytes) in the
log file, and answers from the routes. It exits when asked at /__stop, when the stop file appears,
or after --lifetime seconds, so a crashed test leaves nothing running.

Route file: {"routes": {"/path": response, ...}, "default": response}
Paths match on the path without the query first, then on the full target.
response: {"status": 200, "reason": "OK", "headers": [["Name", "value"], ...],
           "body_b64": "...", "body_file": "/abs/path", "convert": ["utf-8", "gbk"],
           "mode": "normal" | "hang" | "reset_mid_body" | "close", "delay_ms": 0,
           "content_length": true, "date_header": true}
A route may instead be {"sequence": [response, ...]}: the n-th request for it gets the n-th
response, the last one every later request.
"""
import argparse
import base64
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import time

LOG_LOCK = threading.Lock()
STOP = threading.Event()
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


def body_of(resp):
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


def serve_connection(conn, port, routes, default, log_path):
    try:
        while not STOP.is_set():
            raw = read_request(conn)
            if not raw:
                return
            with LOG_LOCK, open(log_path, "a") as log:
                log.write(json.dumps({"port": port, "raw": base64.b64encode(raw).decode()}) + "\n")
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
            mode = resp.get("mode", "normal")
            if resp.get("delay_ms"):
                time.sleep(resp["delay_ms"] / 1000.0)
            if mode == "hang":
                while not STOP.is_set():
                    time.sleep(0.05)
                return
            if mode == "close":
                return
            body = body_of(resp)
            status = resp.get("status", 200)
            reason = resp.get("reason", "OK")
            lines = ["HTTP/1.1 %d %s" % (status, reason)]
            headers = resp.get("headers", [])
            names = {h[0].lower() for h in headers}
            if "date" not in names and resp.get("date_header", True):
                lines.append("Date: " + time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime()))
            for name, value in headers:
                lines.append("%s: %s" % (name, value))
            if mode == "reset_mid_body":
                lines.append("Content-Length: %d" % (len(body) * 2 + 100))
                conn.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body[: len(body) // 2])
                # Give the client time to take the head and the first half before the reset: a
                # reset discards whatever the client has not read yet.
                time.sleep(0.5)
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
                return
            if "content-length" not in names and resp.get("content_length", True):
                lines.append("Content-Length: %d" % len(body))
            head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
            conn.sendall(head if method == "HEAD" else head + body)
            # Without a length only the end of the connection tells the client where the body
            # ends; "Connection: close" asks for the same.
            if not resp.get("content_length", True) and "content-length" not in names:
                return
            if any(h[0].lower() == "connection" and h[1].strip().lower() == "close" for h in headers):
                return
    except (OSError, ssl.SSLError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


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
        if context is not None:
            try:
                conn.settimeout(10)
                conn = context.wrap_socket(conn, server_side=True)
                conn.settimeout(None)
            except (OSError, ssl.SSLError):
                conn.close()
                continue
        threading.Thread(target=serve_connection, args=(conn, port, routes, default, log_path),
                         daemon=True).start()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--routes", required=True)
    ap.add_argument("--ready", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--stop-file", required=True)
    ap.add_argument("--cert-dir", default="/tmp/pt-test-cert")
    ap.add_argument("--lifetime", type=float, default=600)
    ap.add_argument("--tag", default="none", help="names the test run, so it can stop leftovers")
    args = ap.parse_args()
    with open(args.routes) as f:
        config = json.load(f)
    routes = config.get("routes", {})
    default = config.get("default", {"status": 404, "reason": "Not Found"})
    cert, key = make_cert(args.cert_dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listeners = []
    for tls in (False, True):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("127.0.0.1", 0))
        s.listen(64)
        listeners.append((s, s.getsockname()[1], context if tls else None))
    open(args.log, "a").close()
    for s, port, ctx in listeners:
        threading.Thread(target=accept_loop, args=(s, port, routes, default, args.log, ctx),
                         daemon=True).start()
    with open(args.ready + ".tmp", "w") as f:
        f.write("%d %d\n" % (listeners[0][1], listeners[1][1]))
    os.replace(args.ready + ".tmp", args.ready)
    deadline = time.time() + args.lifetime
    while not STOP.is_set() and time.time() < deadline and not os.path.exists(args.stop_file):
        time.sleep(0.05)
    STOP.set()
    for s, _, _ in listeners:
        s.close()


if __name__ == "__main__":
    sys.exit(main())
