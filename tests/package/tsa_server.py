#!/usr/bin/env python3
# A throw-away RFC 3161 time-stamp server for the release test: answers each
# POSTed query with `openssl ts -reply` under the given configuration.
# Prints the port it listens on (127.0.0.1), then serves until killed.
#   tsa_server.py TSA_CONFIG
import http.server
import os
import subprocess
import sys
import tempfile

config = sys.argv[1]


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as folder:
            query_file = os.path.join(folder, "query.tsq")
            reply_file = os.path.join(folder, "reply.tsr")
            with open(query_file, "wb") as f:
                f.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", config,
                                   "-queryfile", query_file, "-out", reply_file],
                                  capture_output=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500)
                return
            with open(reply_file, "rb") as f:
                reply = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
print(server.server_address[1], flush=True)
server.serve_forever()
