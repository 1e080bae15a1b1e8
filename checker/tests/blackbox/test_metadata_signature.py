"""Signed metadata: the checker stores a document only with a valid signature of a configured key,
and with no key configured it runs as it always did."""

import base64
import gzip
import re
import tempfile
import unittest
from pathlib import Path

from checker_runner import DEMO_VERSION_NUMBER, CheckerTestCase, checker_config, shared_test_pki, to_checker_path
from fixtures.minisign_keys import SigningKey
from fixtures.misbehaving_server import MisbehavingServer, send_document
from fixtures.nginx_server import NginxServer
from fixtures.renegotiating_server import RenegotiatingServer
from fixtures.sample_documents import dm_response

DM = dm_response(padding_elements=20)  # about 6 kB: several deliveries, gzip-compressed by nginx
TAMPERED = DM.replace(b'"sha256": "0', b'"sha256": "1', 1)
OLD_COMMENT = "timestamp:1000000000\tfile:old.json\thashed"


def key_id(signing_key: SigningKey) -> str:
    """The key id as minisign shows it: its little-endian number in hex."""
    return "%X" % int.from_bytes(base64.b64decode(signing_key.public_key)[2:10], "little")


class SignedNginxTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()
        cls.first, cls.second, cls.unlisted = SigningKey(), SigningKey(), SigningKey()
        signature = cls.first.sign(DM)
        lines = signature.split(b"\n")
        lines[2] = lines[2].replace(b"file:dm.json", b"file:other.json")
        first = cls.first
        files = {
            "dm.json": (DM, signature),
            "tampered.json": (TAMPERED, first.sign(DM, file_name="tampered.json")),
            "comment-edited.json": (DM, b"\n".join(lines)),
            "gzip-signed.json": (DM, first.sign(gzip.compress(DM), file_name="gzip-signed.json")),
            "unsigned.json": (DM, None),
            "oversized.json": (DM, signature + b"\n" * 5000),
            "legacy.json": (DM, first.sign(DM, legacy=True, file_name="legacy.json")),
            "old.json": (DM, first.sign(DM, trusted_comment=OLD_COMMENT)),
            "undated.json": (DM, first.sign(DM, trusted_comment="file:undated.json")),
            "unnamed.json": (DM, first.sign(DM, trusted_comment="timestamp:2000000000")),
            "second.json": (DM, cls.second.sign(DM, file_name="second.json")),
            "unlisted.json": (DM, cls.unlisted.sign(DM, file_name="unlisted.json")),
            # The genuine signature of another document with the same bytes, at another address.
            "renamed.json": (DM, signature),
        }
        cls.document_root = tempfile.TemporaryDirectory(prefix="checker-signed-www-")
        for name, (document, signature_file) in files.items():
            (Path(cls.document_root.name) / name).write_bytes(document)
            if signature_file is not None:
                (Path(cls.document_root.name) / (name + ".minisig")).write_bytes(signature_file)
        (Path(cls.document_root.name) / "signatures").mkdir()
        (Path(cls.document_root.name) / "signatures" / "unsigned.sig").write_bytes(
            first.sign(DM, file_name="unsigned.json"))
        cls.server = NginxServer(cls.document_root.name, cls.pki.loopback).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.document_root.cleanup()
        for signing_key in (cls.first, cls.second, cls.unlisted):
            signing_key.cleanup()

    def config_for(self, path, keys=None, **settings):
        keys = [self.first] if keys is None else keys
        if keys:
            settings["metadata_public_keys"] = [signing_key.public_key for signing_key in keys]
        return self.workspace.write_config(checker_config(
            self.server.url(path), to_checker_path(self.pki.ca_certificate), **settings))

    def test_signed_document_is_stored_and_its_signer_traced(self):
        result = self.workspace.run(config=self.config_for("dm.json", system_trace_enable=True))
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertIn("/dm.json.minisig 200", self.server.access_log())
        trace = self.workspace.trace_file.read_text()
        self.assertIn(f"metadata signature key id: [{key_id(self.first)}]", trace)
        self.assertRegex(trace, r"metadata signature trusted comment: \[timestamp:\d+\\tfile:dm.json\\thashed\]")

    def test_accepted_signatures(self):
        cases = [
            ("second.json", [self.first, self.second], {}),  # rotation: the new key is listed beside the old
            ("dm.json", [self.second, self.first], {}),
            ("old.json", None, {}),  # no age limit
            ("dm.json", None, {"metadata_max_age_days": 1}),
            ("unsigned.json", None, {"metadata_signature_url": self.server.url("signatures/unsigned.sig")}),
            ("unnamed.json", None, {}),  # a trusted comment without a file name binds to none
            # The signature's address keeps the query after the path; the fragment is never sent.
            ("dm.json?channel=8", None, {}),
            ("dm.json#latest", None, {}),
        ]
        for path, keys, settings in cases:
            with self.subTest(path=path, settings=settings):
                self.workspace.store_version(5)
                result = self.workspace.run(config=self.config_for(path, keys, **settings))
                self.assert_stored_update(result, 5, DEMO_VERSION_NUMBER)

    def test_refused_signatures_leave_the_stored_file_untouched(self):
        first, unlisted = re.escape(key_id(self.first)), re.escape(key_id(self.unlisted))
        other_file = r"metadata signature is for another file: \[dm.json\], expected: \[%s\]"
        url = re.escape(self.server.url(""))
        cases = [
            ("tampered.json", None, {}, rf"metadata signature does not match, key id: \[{first}\]"),
            ("comment-edited.json", None, {},
             rf"metadata signature does not match its trusted comment, key id: \[{first}\]"),
            ("gzip-signed.json", None, {}, rf"metadata signature does not match, key id: \[{first}\]"),
            ("unsigned.json", None, {},
             rf"cannot fetch metadata signature, url: \[{url}unsigned.json.minisig\], error: "
             r"\[HTTP error returned from server, response_code: \[404\]\]"),
            ("oversized.json", None, {},
             r"cannot fetch metadata signature, url: \[.*\], error: \[HTTP connection error: "
             r"\[signature size limit exceeded: \[\d+\]\]\]"),
            ("legacy.json", None, {},
             r"metadata signature cannot be read, error: \[Signature of an unsupported algorithm: \[Ed\].*\]"),
            ("old.json", None, {"metadata_max_age_days": 30},
             r"metadata signature too old, timestamp: \[1000000000\], max age days: \[30\]"),
            ("undated.json", None, {"metadata_max_age_days": 30},
             r"metadata signature too old, timestamp: \[none\], max age days: \[30\]"),
            ("unlisted.json", None, {}, rf"metadata signed by an unknown key, key id: \[{unlisted}\]"),
            ("second.json", None, {}, r"metadata signed by an unknown key, key id: \[[0-9A-F]+\]"),  # old key dropped
            ("renamed.json", None, {}, other_file % r"renamed.json"),
            ("renamed.json?dm.json", None, {}, other_file % r"renamed.json"),
        ]
        for path, keys, settings, pattern in cases:
            with self.subTest(path=path, settings=settings):
                stored = self.workspace.store_version(5)
                result = self.workspace.run(config=self.config_for(path, keys, **settings))
                self.assert_failure_line(result, pattern, 5)
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)

    def test_without_keys_no_signature_is_fetched(self):
        before = len(self.server.access_log())
        result = self.workspace.run(config=self.config_for("unsigned.json", keys=[], system_trace_enable=True))
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertNotIn("minisig", self.server.access_log()[before:])
        self.assertNotIn("metadata signature", self.workspace.trace_file.read_text())


class UnevenDeliveryTest(CheckerTestCase):
    """Pieces of odd sizes, with and without gzip; the signed file ends in white space that arrives
    after the parser has stopped, so the hash must cover the whole body."""

    def test_signed_document_in_pieces(self):
        pki = shared_test_pki()
        signing_key = SigningKey()
        self.addCleanup(signing_key.cleanup)
        document = DM + b"\n" * 3000
        signature = signing_key.sign(document)
        for gzip_body in (False, True):
            with self.subTest(gzip_body=gzip_body):
                pieces = send_document(document, chunk_size=777, delay=0.005, gzip_body=gzip_body,
                                       headers=["Transfer-Encoding: chunked"])

                def handler(connection, path, stopping):
                    answer = send_document(signature) if path.endswith(".minisig") else pieces
                    answer(connection, path, stopping)

                with MisbehavingServer(handler, pki.loopback) as server:
                    config = self.workspace.write_config(checker_config(
                        server.url(), to_checker_path(pki.ca_certificate),
                        metadata_public_keys=[signing_key.public_key], curl_buffersize_bytes=1024))
                    self.workspace.store_version(5)
                    self.assert_stored_update(self.workspace.run(config=config), 5, DEMO_VERSION_NUMBER)
                    self.assertEqual(server.requests, ["/dm.json", "/dm.json.minisig"])


class RenegotiationTest(CheckerTestCase):
    """A server that asks for a new handshake while the signature comes over the document's kept
    connection: the checker refuses it, so no second certificate is judged mid-run, and its
    verifier is never called for a transfer that has ended (the sanitizer build would see it)."""

    def test_a_renegotiation_is_refused_and_nothing_is_stored(self):
        pki = shared_test_pki()
        signing_key = SigningKey()
        self.addCleanup(signing_key.cleanup)
        with RenegotiatingServer(pki.loopback, [DM, signing_key.sign(DM)], renegotiate_from=2) as server:
            config = self.workspace.write_config(checker_config(
                server.url("dm.json"), to_checker_path(pki.ca_certificate),
                metadata_public_keys=[signing_key.public_key]))
            stored = self.workspace.store_version(5)
            result = self.workspace.run(config=config)
            # The server ends the connection with a fatal alert when its request is refused.
            self.assert_failure_line(result, re.escape(
                f"cannot fetch metadata signature, url: [{server.url('dm.json.minisig')}], error: [HTTP connection "
                "error: [Failure when receiving data from the peer: ") + r"[^\n]*alert handshake failure[^\n]*"
                + re.escape("\nHTTP connection error]]"), 5)
            self.assertEqual(self.workspace.version_file.read_bytes(), stored)
            # libcurl asks once more on a new connection when a kept one fails before any answer.
            self.assertEqual(server.requests[0], "/dm.json")
            self.assertIn(server.requests[1:], (["/dm.json.minisig"], ["/dm.json.minisig"] * 2))


if __name__ == "__main__":
    unittest.main()
