"""The checker against servers that fail, stall, flood or lie: each run ends in time, with
status 1 and its message, and leaves the stored version.json as it was."""

import gzip
import http.server
import json
import os
import re
import threading
import time
import unittest

from checker_runner import (DEMO_VERSION_NUMBER, WINDOWS_PATHS, CheckerTestCase, checker_config, shared_test_pki,
                            to_checker_path)
from fixtures.misbehaving_server import (MisbehavingServer, close_before_headers, endless_body,
                                         hang_after_headers, redirect_loop, redirect_to, reset_mid_body,
                                         send_document)
from fixtures.minisign_keys import SigningKey
from fixtures.ports import free_port
from fixtures.sample_documents import dm_response

DM = dm_response(padding_elements=20)
# Non-ASCII text after the featured element, so that small deliveries split its characters.
DM_WITH_UNICODE = json.dumps(json.loads(DM) + [{"notes": "Zürich – 東京 ✓ " * 20}], ensure_ascii=False).encode()
TIMED_OUT = r".*Timeout was reached: Operation timed out after \d+ milliseconds.*"
# Under a slow runner (a memory checker) every time in these cases stretches by this factor.
TIME_SCALE = float(os.environ.get("CHECKER_TIME_SCALE", "1"))
TIME_LIMIT_MILLIS = int(1500 * TIME_SCALE)
# How long past its time limit a run may end: libcurl ends the transfer in the first cycle after
# the limit, because a cycle never waits longer than libcurl asks (0 when the limit is due).
LATE_END_SECONDS = 3 * TIME_SCALE
# A reset after part of the body: Wine's sockets report it as the end of the stream, so the
# Windows build run there names the bytes still missing.
RESET_MID_BODY = (r"(Failure when receiving data from the peer: [^\n]*Connection reset by peer|"
                  r"Transferred a partial file: transfer closed with \d+ bytes remaining to read)"
                  if WINDOWS_PATHS else r"Failure when receiving data from the peer: [^\n]*Connection reset by peer")


SLOW_RESOLVER_LIBRARY = os.environ.get("SLOW_RESOLVER_LIBRARY")
SLOW_HOST = "slow.quorvane.test"


def connection_error(cause):
    """The message of a transfer that ended before any header, naming libcurl's cause."""
    return re.escape("HTTP connection error: [") + cause + re.escape("\nHTTP connection error]")


def status_error(code):
    return re.escape(f"HTTP connection error: [HTTP error returned from server, response_code: [{code}]]")


class MisbehavingServerTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()

    def run_against(self, handler, certificate=None, url=None, **settings):
        """Runs the checker against a server with handler; returns the result and the seconds taken.
        Each run starts without the state an earlier case left (a back-off would hold it)."""
        self.workspace.forget_state()
        with MisbehavingServer(handler, certificate or self.pki.loopback) as server:
            config = self.workspace.write_config(checker_config(
                url or server.url(), to_checker_path(self.pki.ca_certificate), **settings))
            started = time.monotonic()
            result = self.workspace.run(config=config)
            return result, time.monotonic() - started

    def test_failures_end_in_time_and_keep_the_stored_version(self):
        bomb = gzip.compress(b"[" + b" " * 20_000_000)
        cases = [
            ("closed before any header", close_before_headers(), {}, connection_error(r"[^\n]*Empty reply from server")),
            ("reset in mid-body", reset_mid_body(DM, 500), {},
             r"Error parsing JSON, text: \[.*\], line: \[\d+\], column: \[\d+\], position: \[\d+\], "
             r"callback error: \[" + RESET_MID_BODY + r"\]"),
            ("404 with a page", send_document(b"<html>missing</html>", 404, "Not Found"), {}, status_error(404)),
            # A JSON body on an error status must not pass as a document, however it arrives.
            ("500 with a JSON body", send_document(b'{"version_number": 99}', 500, "Oops", chunk_size=4, delay=0.02),
             {}, status_error(500)),
            ("body dripped past the time limit", send_document(DM, chunk_size=200, delay=0.2 * TIME_SCALE), {}, TIMED_OUT),
            ("body that never ends, slowly", endless_body(delay=0.05), {}, TIMED_OUT),
            ("body that never ends, fast", endless_body(), {"max_response_size_bytes": 300_000},
             r".*'max_response_size_bytes' exceeded: \[\d+\]\]"),
            ("headers, then silence", hang_after_headers(), {}, TIMED_OUT),
            ("gzip bomb", send_document(bomb, headers=["Content-Encoding: gzip"]), {"max_response_size_bytes": 1_000_000},
             r".*'max_response_size_bytes' exceeded: \[\d+\]\]"),
            ("redirect loop", redirect_loop(), {"curl_maxredirs": 5},
             re.escape("HTTP connection error: [Number of redirects hit maximum amount: Maximum (5) redirects followed]")),
            ("certificate for another host", send_document(DM), {"certificate": self.pki.other_host},
             connection_error(r"[^\n]*SSL: no alternative certificate subject name matches target host name '127\.0\.0\.1'")),
            ("certificate from an unknown CA", send_document(DM), {"certificate": self.pki.unknown_ca},
             connection_error(r"[^\n]*SSL certificate problem: unable to get local issuer certificate")),
            ("nothing listening", send_document(DM), {"url": f"https://127.0.0.1:{free_port()}/dm.json"},
             connection_error(r"[^\n]*Failed to connect to 127\.0\.0\.1 port \d+[^\n]*")),
        ]
        for name, handler, settings, pattern in cases:
            with self.subTest(name):
                stored = self.workspace.store_version(5)
                result, seconds = self.run_against(handler, curl_timeout_millis=TIME_LIMIT_MILLIS, **settings)
                self.assert_failure_line(result, pattern, 5)
                self.assertLess(seconds, TIME_LIMIT_MILLIS / 1000 + LATE_END_SECONDS)
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)

    @unittest.skipUnless(SLOW_RESOLVER_LIBRARY, "needs the preloadable resolver that takes long for one name")
    def test_a_name_lookup_that_never_answers_ends_the_run_on_time(self):
        self.workspace.environment.update(
            LD_PRELOAD=SLOW_RESOLVER_LIBRARY, CHECKER_TEST_SLOW_HOST=SLOW_HOST, CHECKER_TEST_SLOW_SECONDS="12",
            # The sanitizer build's runtime would otherwise insist on being loaded first.
            ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
        signing_key = SigningKey()
        self.addCleanup(signing_key.cleanup)
        with MisbehavingServer(send_document(DM), self.pki.loopback) as server:
            slow = f"https://{SLOW_HOST}:{server.port}/dm.json"
            timed_out = connection_error(r"Timeout was reached: Resolving timed out after \d+ milliseconds")
            cases = [
                ("the server's name", {"url": slow}, timed_out),
                ("the proxy's name", {"curl_proxy": f"http://{SLOW_HOST}:3128"}, timed_out),
                ("the signature's host", {"metadata_public_keys": [signing_key.public_key],
                                          "metadata_signature_url": slow + ".minisig"},
                 r"cannot fetch metadata signature, url: \[[^\]]*\], error: \[" + timed_out + r"\]"),
            ]
            for name, settings, pattern in cases:
                with self.subTest(name):
                    config = self.workspace.write_config(checker_config(
                        settings.pop("url", server.url()), to_checker_path(self.pki.ca_certificate),
                        curl_timeout_millis=TIME_LIMIT_MILLIS, **settings))
                    started = time.monotonic()
                    result = self.workspace.run(config=config)
                    self.assert_failure_line(result, pattern, 0)
                    self.assertLess(time.monotonic() - started, TIME_LIMIT_MILLIS / 1000 + LATE_END_SECONDS)

    def test_a_response_in_tiny_pieces_keeps_the_trace_small(self):
        # About 1 MiB in 64-byte TLS records: one delivery each, far more events than a trace keeps.
        big = dm_response(padding_elements=3500)
        result, _ = self.run_against(send_document(big, chunk_size=64), system_trace_enable=True)
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertLess(self.workspace.trace_file.stat().st_size, 2_000_000)
        texts = list(json.loads(self.workspace.trace_file.read_text()).values())
        self.assertLessEqual(len(texts), 10_000 + 1 + 100)
        responses = [text for text in texts if text.startswith("EVENT_RESPONSE ")]
        self.assertEqual(len(responses), 1)
        self.assertTrue(big.decode().startswith(responses[0][len("EVENT_RESPONSE "):]))
        self.assertIn(f"response shown cut, size: [{len(big)}], shown: [65536]", texts)
        self.assertRegex("\n".join(texts), r"trace events left out: \[\d+\], limit: \[10000\]")
        self.assertEqual(texts[-1], f"EVENT_WRITTEN {to_checker_path(self.workspace.version_file)}")

    def test_an_https_address_never_ends_in_plain_http(self):
        served = []

        class ClearText(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                served.append(self.path)
                self.send_response(200)
                self.send_header("Content-Length", str(len(DM)))
                self.end_headers()
                self.wfile.write(DM)

            def log_message(self, *arguments):
                pass

        clear = http.server.ThreadingHTTPServer(("127.0.0.1", 0), ClearText)
        threading.Thread(target=clear.serve_forever, daemon=True).start()
        self.addCleanup(clear.server_close)
        self.addCleanup(clear.shutdown)
        stored = self.workspace.store_version(5)
        result, _ = self.run_against(redirect_to(f"http://127.0.0.1:{clear.server_address[1]}/dm.json"))
        self.assert_failure_line(result, re.escape(
            'HTTP connection error: [Unsupported protocol: Protocol "http" not supported or disabled in libcurl]'), 5)
        self.assertEqual(self.workspace.version_file.read_bytes(), stored)
        self.assertEqual(served, [])

    def test_time_limit_shows_when_no_byte_arrived(self):
        silent = lambda connection, path, stopping: stopping.wait()  # noqa: E731
        timed_out = r"Timeout was reached: Operation timed out after \d+ milliseconds with [^\n\]]* received"
        cases = [("silent", silent, timed_out + r"\nHTTP connection error"), ("headers only", hang_after_headers(), timed_out)]
        for name, handler, collected in cases:
            with self.subTest(name):
                result, _ = self.run_against(handler, curl_timeout_millis=int(500 * TIME_SCALE))
                self.assert_failure_line(result, re.escape("HTTP connection error: [") + collected + r"\]", 0)

    def test_a_ca_file_that_cannot_be_read_is_named_before_any_connection(self):
        missing = self.workspace.root / "certs" / "missing-ca.pem"
        with MisbehavingServer(send_document(DM), self.pki.loopback) as server:
            config = self.workspace.write_config(checker_config(server.url(), to_checker_path(missing)))
            result = self.workspace.run(config=config)
            self.assert_failure_line(result, re.escape(f"Cannot open file: [{to_checker_path(missing)}]") + r".*", 0)
            self.assertEqual(server.requests, [])

    def test_awkward_but_valid_deliveries_are_read_whole(self):
        cases = [
            ("dripped within the time limit", send_document(DM, chunk_size=500, delay=0.01), {}),
            ("chunked coding in small chunks", send_document(DM, chunk_size=97, headers=["Transfer-Encoding: chunked"]),
             {}),
            ("gzip over chunks", send_document(DM, chunk_size=64, gzip_body=True,
                                                headers=["Transfer-Encoding: chunked"]), {}),
            ("a document, then endless bytes", endless_body(start=DM), {}),
            ("characters split between deliveries", send_document(DM_WITH_UNICODE, chunk_size=5, delay=0.002), {}),
            ("host name not checked", send_document(DM), {"certificate": self.pki.other_host,
                                                          "curl_ssl_verifyhost": False}),
        ]
        for name, handler, settings in cases:
            with self.subTest(name):
                self.workspace.store_version(5)
                result, _ = self.run_against(handler, curl_timeout_millis=10_000, system_trace_enable=True, **settings)
                self.assert_stored_update(result, 5, DEMO_VERSION_NUMBER)
                self.assertEqual(json.loads(self.workspace.version_file.read_text())["os_arch"], "x86_64")


if __name__ == "__main__":
    unittest.main()
