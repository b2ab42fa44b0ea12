#!/usr/bin/env python3
# A throw-away RFC 3161 time-stamp server on 127.0.0.1 for the release test:
# `openssl ts -reply` answers each query. Prints its port, then serves.
#   tsa_server.py TSA_CONFIG
import http.server, subprocess, sys


class TimeStamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        made = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
                               "-out", "/dev/stdout"], input=query, capture_output=True)
        self.send_response(200 if made.returncode == 0 else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.end_headers()
        self.wfile.write(made.stdout)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStamps)
print(server.server_address[1], flush=True)
server.serve_forever()
