#!/usr/bin/python3
"""Loopback servers for the network tests, on 127.0.0.1 only.

HTTP: pages, sizes and address-echo pages. It also answers as a proxy: a request
in proxy form (an absolute address) is served by its path when it names this
server or one of the echo hosts below, and refused (502, no body) otherwise.
Error answers have neither a body nor a length, so a client that stores them
stores nothing.

FTP (pyftpdlib): the user "quill" (password "secret") with full rights and
anonymous read access on ROOT/ftp, except the folder "readonly", which the user
may only read. Its port is above 32767.

The ports go to the file READY as shell assignments once both servers listen.
"""
import argparse
import logging
import os
import random
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

ECHO_PAGES = {
    "1": "<html><body><a href=\"#\" onclick=\"CopyToClipboard('10.0.0.1');\">copy</a></body></html>",
    "2": "<html>Your address<br>REMOTE HOST: 10.0.0.2 \n<br>PROXY: none</html>",
    "3": "<html><h1>Your IP is 10.0.0.3 <br></h1></html>",
    "none": "<html><body>No address on this page.</body></html>",
    # The end marker only before the start marker.
    "endfirst": "<html>'); and then CopyToClipboard('10.9.9.9</html>",
}
# The library's default echo pages, reached only through the proxy.
ECHO_HOSTS = {"checkip.dyndns.org": "1", "www.showmyip.com": "2", "www.whatismyip.org": "3"}
# Any other name that the proxy serves by path (the file-size tests ask port 80).
LOCAL_NAMES = {"quill.invalid"}


class Handler(BaseHTTPRequestHandler):
    root = "."
    port = 0

    def log_message(self, fmt, *args):
        pass

    def note(self, host, path):
        with open(os.path.join(self.root, "requests.log"), "a") as log:
            log.write(f"{self.command} {host} {path}\n")

    def answer(self, status, body=b"", headers=None, length=True):
        self.send_response(status)
        self.send_header("Cache-Control", "no-store")
        self.send_header("Connection", "close")
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        if length and status < 400:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.close_connection = True

    def route(self):
        target = urlsplit(self.path)
        if target.scheme:
            host, port, path = (target.hostname or ""), (target.port or 80), (target.path or "/")
            if host in ECHO_HOSTS and path == "/":
                self.note(host, path)
                return self.answer(200, ECHO_PAGES[ECHO_HOSTS[host]].encode())
            if not (host in LOCAL_NAMES or (host in ("127.0.0.1", "localhost") and port == self.port)):
                self.note(host, path)
                return self.answer(502)
        else:
            host, path = self.headers.get("Host", "").split(":")[0], target.path
        self.note(host, path)
        parts = path.strip("/").split("/", 1)
        if len(parts) == 2 and parts[0] == "files":
            name = os.path.join(self.root, "files", os.path.basename(parts[1]))
            if os.path.isfile(name):
                with open(name, "rb") as f:
                    return self.answer(200, f.read(), {"Content-Type": "text/plain"})
        elif len(parts) == 2 and parts[0] == "length" and parts[1].isdigit():
            n = int(parts[1])
            self.send_response(200)
            self.send_header("Content-Length", str(n))
            self.send_header("Connection", "close")
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(b"x" * n)
            self.close_connection = True
            return None
        elif parts == ["nolength"]:
            return self.answer(200, b"" if self.command == "HEAD" else b"no length", length=False)
        elif len(parts) == 2 and parts[0] == "echo" and parts[1] in ECHO_PAGES:
            return self.answer(200, ECHO_PAGES[parts[1]].encode())
        return self.answer(404)

    do_GET = route
    do_HEAD = route


def start_ftp(root):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import ThreadedFTPServer

    home = os.path.join(root, "ftp")
    readonly = os.path.join(home, "readonly")
    os.makedirs(readonly, exist_ok=True)
    with open(os.path.join(readonly, "kept.txt"), "w") as f:
        f.write("kept\n")
    authorizer = DummyAuthorizer()
    authorizer.add_user("quill", "secret", home, perm="elradfmwMT")
    authorizer.override_perm("quill", readonly, perm="elr", recursive=True)
    authorizer.add_anonymous(home)
    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.NullHandler())
    quiet.propagate = False
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Quill test server ready."
    rng = random.Random()
    for _ in range(200):
        port = rng.randint(40000, 60999)
        try:
            server = ThreadedFTPServer(("127.0.0.1", port), handler)
            break
        except OSError:
            continue
    else:
        raise SystemExit("no free FTP port")
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return port


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--ready", required=True)
    args = parser.parse_args()
    os.makedirs(os.path.join(args.root, "files"), exist_ok=True)
    Handler.root = args.root
    http = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    Handler.port = http.server_address[1]
    threading.Thread(target=http.serve_forever, daemon=True).start()
    ftp_port = start_ftp(args.root)
    tmp = args.ready + ".tmp"
    with open(tmp, "w") as f:
        f.write(f"QM_HTTP_PORT={Handler.port}\nQM_FTP_PORT={ftp_port}\n")
    os.replace(tmp, args.ready)
    # Ends with the test: the runner stops it, or its input closes.
    try:
        sys.stdin.read()
    except Exception:
        pass
    threading.Event().wait()


if __name__ == "__main__":
    main()
