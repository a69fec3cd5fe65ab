#!/usr/bin/env python3
"""A small HTTP(S) server for the news tests, on 127.0.0.1 and a port of its own.

Usage: news_http_server.py DOCROOT [CERT KEY]

Prints "port N" once it listens (over TLS with CERT and KEY). Paths:
  /hang       reads the request and never answers
  /loop       redirects to itself, for ever
  /big        a 50 MB HTML page (a heading, then filler); prints "big sent N"
              once the client has stopped reading or everything was sent
  /requests   the number of requests served before this one
  /NAME       the file DOCROOT/NAME, sent with the Content-Type written in
              DOCROOT/NAME.type when that file exists
"""
import http.server
import os
import ssl
import sys
import threading

BIG_SIZE = 50 * 1024 * 1024

doc_root = sys.argv[1]
lock = threading.Lock()
served = 0
never = threading.Event()


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def do_GET(self):
        global served
        path = self.path.split("?", 1)[0]
        if path == "/requests":
            with lock:
                count = served
            self.reply(200, "text/plain", str(count).encode())
            return
        with lock:
            served += 1
        if path == "/hang":
            never.wait()
        elif path == "/loop":
            self.send_response(302)
            self.send_header("Location", "/loop")
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif path == "/big":
            self.send_big()
        else:
            self.send_file(path.lstrip("/"))

    def reply(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_file(self, name):
        file = os.path.join(doc_root, name)
        if "/" in name or not os.path.isfile(file):
            self.reply(404, "text/plain", b"not found")
            return
        content_type = "application/octet-stream"
        if os.path.isfile(file + ".type"):
            with open(file + ".type") as f:
                content_type = f.read().strip()
        with open(file, "rb") as f:
            self.reply(200, content_type, f.read())

    def send_big(self):
        head = "<html><head><title>大きなページ</title></head><body><h2>大きなページの見出し</h2>"
        head = head.encode("utf-8")
        filler = b"<p>" + b"x" * (64 * 1024 - 8) + b"</p>\n"
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(BIG_SIZE))
        self.end_headers()
        sent = 0
        try:
            self.wfile.write(head)
            sent = len(head)
            while sent < BIG_SIZE:
                chunk = filler[: BIG_SIZE - sent]
                self.wfile.write(chunk)
                sent += len(chunk)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass
        print("big sent %d" % sent, flush=True)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
if len(sys.argv) > 3:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[2], sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print("port %d" % server.server_address[1], flush=True)
server.serve_forever()
