#!/usr/bin/python3
"""A web hook receiver for the delivery tests, on 127.0.0.1: every POST's body is saved in a
folder as N.json, in the order they came. While the folder holds a file "answer", each POST is
answered with the status code it names instead of 200 (and its body is not kept)."""
import http.server
import os
import sys


class Receiver(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        folder = self.server.folder
        answer = os.path.join(folder, "answer")
        code = 200
        if os.path.exists(answer):
            with open(answer) as f:
                code = int(f.read().strip())
        if code == 200:
            count = len([n for n in os.listdir(folder) if n.endswith(".json")])
            part = os.path.join(folder, "%d.part" % (count + 1))
            with open(part, "wb") as f:
                f.write(self.headers.get("Content-Type", "").encode() + b"\n" + body)
            os.rename(part, os.path.join(folder, "%d.json" % (count + 1)))
        self.send_response(code)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(b"ok" if code == 200 else b"refused for the test\nsecond line")

    def log_message(self, *args):
        pass


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    server = http.server.HTTPServer(("127.0.0.1", port), Receiver)
    server.folder = folder
    server.serve_forever()


if __name__ == "__main__":
    main()
