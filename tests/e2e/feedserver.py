#!/usr/bin/env python3
"""A loopback HTTP server of ours for the feed tests: serves the RSS feeds under
tests/data/feed and a few hostile addresses, and logs every request (path, user agent,
protocol) so a test can tell which route fetched.

  /news.xml /second.xml /latin1.xml   our feeds
  /never     accepts and never answers
  /endless   a 200 reply that never ends
  /huge      a 100 MB reply with its length announced
  /broken    RSS cut off in the middle of an item
  /reset     the connection is reset
  /longtitle a valid feed under the size cap: a 7 MiB channel title and 500 small items

As a program (for scripts/demo.sh --feed):  feedserver.py PORT
"""
import http.server
import os
import socket
import struct
import sys
import threading
import time

FEEDS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "feed")
HOSTILE_SECONDS = 90  # the slow handlers give up after this, whatever the client does


LONG_TITLE_BYTES = 7 << 20
LONG_TITLE_ITEMS = 500


def long_title_feed():
    """The 7 MiB-title feed, made once."""
    if not hasattr(long_title_feed, "body"):
        items = b"".join(b"<item><title>Item %d</title><description>Short.</description></item>" % i
                         for i in range(LONG_TITLE_ITEMS))
        long_title_feed.body = (b'<?xml version="1.0"?><rss version="2.0"><channel><title>'
                                + b"Long " * (LONG_TITLE_BYTES // 5) + b"</title>" + items
                                + b"</channel></rss>")
    return long_title_feed.body


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self.server.log.append((self.path, self.headers.get("User-Agent", ""), self.request_version,
                                self.headers.get("Host", "")))
        path = self.path.split("?")[0]
        try:
            if path == "/never":
                time.sleep(HOSTILE_SECONDS)
            elif path == "/endless":
                self.endless()
            elif path == "/huge":
                self.huge()
            elif path == "/broken":
                self.reply(b'<?xml version="1.0"?><rss version="2.0"><channel><title>Broken</title>'
                           b'<item><title>half a head')
            elif path == "/longtitle":
                self.reply(long_title_feed())
            elif path == "/reset":
                self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.request.close()
            else:
                name = os.path.basename(path)
                full = os.path.join(FEEDS, name)
                if not name or not os.path.isfile(full):
                    self.send_error(404)
                    return
                with open(full, "rb") as f:
                    self.reply(f.read())
        except (BrokenPipeError, ConnectionResetError, OSError):
            pass

    def reply(self, body):
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def endless(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml")
        self.end_headers()
        self.wfile.write(b'<rss version="2.0"><channel><title>Endless</title>')
        piece = b"<item><title>more</title></item>" * 2048
        end = time.time() + HOSTILE_SECONDS
        while time.time() < end:
            self.wfile.write(piece)

    def huge(self):
        size = 100 << 20
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        head = b'<rss version="2.0"><channel><title>Huge</title>'
        self.wfile.write(head)
        piece = b"<item><title>big</title></item>" * 2048
        left = size - len(head)
        end = time.time() + HOSTILE_SECONDS
        while left > 0 and time.time() < end:
            chunk = piece[:left]
            self.wfile.write(chunk)
            left -= len(chunk)


class FeedServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port=0):
        super().__init__(("127.0.0.1", port), Handler)
        self.log = []
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)

    @property
    def port(self):
        return self.server_address[1]

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def start(self):
        self.thread.start()
        return self

    def stop(self):
        self.shutdown()
        self.server_close()


if __name__ == "__main__":
    server = FeedServer(int(sys.argv[1]) if len(sys.argv) > 1 else 0)
    print(f"serving feeds on http://127.0.0.1:{server.port}/", flush=True)
    server.serve_forever()
