#!/usr/bin/env python3
"""A time-stamp authority (RFC 3161) on loopback, for the signing tests:
  tsa.py CERT KEY CONFIG [--fail-after N]
Answers each POSTed time-stamp query with `openssl ts -reply` signed by CERT and KEY (CONFIG is the
openssl configuration naming the policy); after N answers (--fail-after), every further query gets 503,
as an authority that has gone away. Prints its port on the first line once it listens."""
import http.server
import subprocess
import sys
import tempfile


def main():
    cert, key, config = sys.argv[1:4]
    fail_after = int(sys.argv[5]) if len(sys.argv) > 5 and sys.argv[4] == "--fail-after" else -1
    answered = [0]

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            try:
                self.answer(self.rfile.read(int(self.headers.get("Content-Length", "0"))))
            except ConnectionError:
                pass  # the signer hung up; it says so itself

        def answer(self, query):
            if fail_after >= 0 and answered[0] >= fail_after:
                self.send_error(503, "time-stamp authority unavailable")
                return
            with tempfile.NamedTemporaryFile() as query_file, tempfile.NamedTemporaryFile() as reply_file:
                query_file.write(query)
                query_file.flush()
                done = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", query_file.name,
                                       "-signer", cert, "-inkey", key, "-out", reply_file.name],
                                      capture_output=True)
                reply = reply_file.read()
            if done.returncode != 0 or not reply:
                self.send_error(500, done.stderr.decode(errors="replace")[:200])
                return
            answered[0] += 1
            self.send_response(200)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def log_message(self, format, *args):
            pass

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
