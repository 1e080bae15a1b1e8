"""A time-stamping authority on loopback for the signing tests: answers RFC 3161 requests
(POST, Content-Type application/timestamp-query) with `openssl ts -reply` and the given
configuration, and refuses anything else.

Usage: timestamp_authority.py OPENSSL_TS_CONFIG PORT_FILE
The port it listens on is written to PORT_FILE once it accepts requests; it serves until killed."""

import http.server
import subprocess
import sys
import tempfile
from pathlib import Path

CONFIG = sys.argv[1]


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        if self.headers.get("Content-Type") != "application/timestamp-query":
            self.send_error(415, "expected application/timestamp-query")
            return
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as folder:
            query_file, reply_file = Path(folder, "query.tsq"), Path(folder, "reply.tsr")
            query_file.write_bytes(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile", str(query_file),
                                   "-out", str(reply_file)], capture_output=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500, "openssl ts -reply failed")
                return
            reply = reply_file.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, format, *arguments):
        sys.stderr.write("timestamp authority: " + format % arguments + "\n")


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
Path(sys.argv[2]).write_text(str(server.server_address[1]))
server.serve_forever()
