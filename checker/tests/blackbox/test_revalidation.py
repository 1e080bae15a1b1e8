"""Nothing is fetched twice: the stored validators go back to the server, a 304 stores nothing,
and with signing on a 304 still needs a fresh signature of the document last verified."""

import re
import unittest

from checker_runner import (DEMO_VERSION_NUMBER, TIMESTAMP, CheckerTestCase, checker_config, shared_test_pki,
                            to_checker_path)
from fixtures.minisign_keys import SigningKey
from fixtures.misbehaving_server import MisbehavingServer, send_document
from fixtures.sample_documents import dm_response

DM = dm_response()
OTHER_PACKAGE = dm_response("java-17-openjdk-17.0.9-1.b09.quorvane.windows.x86_64.zip")
LAST_MODIFIED = "Wed, 09 Dec 2026 10:00:00 GMT"


class RevalidatingServer:
    """Answers 304 to a request that carries its current validators, else the document with them;
    the signature, when there is one, at the document's address with ".minisig"."""

    def __init__(self, certificate):
        self.body, self.etag, self.last_modified, self.signature = DM, None, None, None
        self.server = MisbehavingServer(self.handle, certificate)

    def handle(self, connection, path, stopping):
        asked = self.server.request_headers[-1]
        if path.endswith(".minisig"):
            return send_document(self.signature)(connection, path, stopping)
        validators = [f"ETag: {self.etag}"] if self.etag else []
        validators += [f"Last-Modified: {self.last_modified}"] if self.last_modified else []
        if ((self.etag and asked.get("if-none-match") == self.etag) or
                (self.last_modified and asked.get("if-modified-since") == self.last_modified)):
            connection.sendall("\r\n".join(["HTTP/1.1 304 Not Modified", "Connection: close", *validators, "", ""])
                               .encode())
            return None
        return send_document(self.body, headers=validators)(connection, path, stopping)

    def conditional_requests(self):
        return [{name: value for name, value in headers.items() if name.startswith("if-")}
                for headers in self.server.request_headers]


class RevalidationTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()
        cls.key = SigningKey()

    @classmethod
    def tearDownClass(cls):
        cls.key.cleanup()

    def setUp(self):
        super().setUp()
        self.site = RevalidatingServer(self.pki.loopback)
        self.site.server.start()
        self.addCleanup(self.site.server.stop)

    def run_checker(self, **settings):
        config = self.workspace.write_config(checker_config(
            self.site.server.url(), to_checker_path(self.pki.ca_certificate), **settings))
        return self.workspace.run(config=config)

    def test_a_304_keeps_the_stored_version_and_says_nothing(self):
        cases = [("ETag", '"v1"', None, {"if-none-match": '"v1"'}),
                 ("Last-Modified", None, LAST_MODIFIED, {"if-modified-since": LAST_MODIFIED}),
                 ("both", '"v1"', LAST_MODIFIED, {"if-none-match": '"v1"', "if-modified-since": LAST_MODIFIED})]
        for name, etag, last_modified, sent in cases:
            with self.subTest(name):
                self.workspace.forget_state()
                if self.workspace.version_file.exists():
                    self.workspace.version_file.unlink()
                self.site.etag, self.site.last_modified = etag, last_modified
                self.assert_stored_update(self.run_checker(), 0, DEMO_VERSION_NUMBER)
                stored = self.workspace.version_file.read_bytes()
                result = self.run_checker(system_trace_enable=True)
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertNotIn("INFO", result.stdout)
                self.assertEqual(self.site.conditional_requests()[-2:], [{}, sent])
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)
                self.assertIn("document not modified since the last check (304)", self.workspace.trace_file.read_text())

    def test_validators_are_not_sent_for_a_lost_descriptor_nor_from_a_failed_document(self):
        self.site.etag = '"v1"'
        self.assert_stored_update(self.run_checker(), 0, DEMO_VERSION_NUMBER)
        self.workspace.version_file.unlink()
        self.assert_stored_update(self.run_checker(), 0, DEMO_VERSION_NUMBER)  # the notice comes back
        self.workspace.store_version(5)  # replaced by hand: not the descriptor the validators came with
        self.assert_stored_update(self.run_checker(), 5, DEMO_VERSION_NUMBER)
        self.site.body, self.site.etag = OTHER_PACKAGE, '"other"'
        self.assertEqual(self.run_checker().returncode, 1)
        self.site.body = DM
        self.assertEqual(self.run_checker().returncode, 0)
        self.assertEqual(self.site.conditional_requests(), [{}, {}, {}, {"if-none-match": '"v1"'},
                                                            {"if-none-match": '"v1"'}])

    def test_with_signing_a_304_needs_a_fresh_signature_of_the_stored_document(self):
        keys = {"metadata_public_keys": [self.key.public_key]}
        self.site.etag, self.site.signature = '"v1"', self.key.sign(DM)
        self.assert_stored_update(self.run_checker(**keys), 0, DEMO_VERSION_NUMBER)
        cases = [("re-signed", self.key.sign(DM), None),
                 ("another document's", self.key.sign(DM + b" "), r"metadata signature does not match, key id: \[\w+\]")]
        for name, signature, failure in cases:
            with self.subTest(name):
                self.site.signature = signature
                result = self.run_checker(**keys)
                self.assertEqual(self.site.conditional_requests()[-2:], [{"if-none-match": '"v1"'}, {}])
                self.assertEqual(self.site.server.requests[-1], "/dm.json.minisig")
                if failure is None:
                    self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
                else:
                    self.assertRegex(result.stderr, "^" + TIMESTAMP + " ERROR: " + failure + re.escape(
                        f"; local version, path: [{to_checker_path(self.workspace.version_file)}],"
                        f" version_number: [{DEMO_VERSION_NUMBER}]") + "\n$")


if __name__ == "__main__":
    unittest.main()
