"""The checker against nginx as its metadata service: storing, comparing, tracing, limits."""

import json
import re
import tempfile
import unittest
from pathlib import Path

from checker_runner import (DEMO_VERSION_NUMBER, CheckerTestCase, checker_config, shared_test_pki,
                            to_checker_path)
from fixtures.nginx_server import NginxServer
from fixtures.release import VENDOR
from fixtures.sample_documents import RELEASE_MEMBERS, dm_response

DM = dm_response(padding_elements=200)  # about 60 kB: several deliveries, worth compressing
DOCUMENTS = {
    "dm.json": DM,
    "zero.json": json.dumps({**RELEASE_MEMBERS, "version_string": "none", "version_number": 0}).encode(),
    "two-documents.json": DM + b"\n" + dm_response("java-1.8.0-openjdk-1.8.0.999-1.b99.quorvane.windows.x86_64.zip"),
    "duplicate.json": b'[{"featuredArtifact": {"url": "a", "url": "b"}}]',
    "not-dm.json": b"[1, 2, 3]",
    # Objects pass through as descriptors: ones that no program could read back or show.
    "too-large.json": json.dumps({**RELEASE_MEMBERS, "version_number": 19_999_999_999,
                                  "package_description": "x" * 40_000}).encode(),
    "long-balloon.json": json.dumps({**RELEASE_MEMBERS, "version_number": 19_999_999_999,
                                     "ui_balloon_text": "\u00e4" * 256}).encode(),
    # A number that no artifact name gives would silence every later notice.
    "beyond-names.json": json.dumps({**RELEASE_MEMBERS, "version_number": 20_000_000_000}).encode(),
    # Genuine documents of other products, with higher numbers: stored, they would announce the
    # wrong package and silence this one's notices.
    "other-package.json": dm_response("java-17-openjdk-17.0.9-1.b09.quorvane.windows.x86_64.zip"),
    "other-arch.json": dm_response("java-1.8.0-openjdk-1.8.0.392-1.b08.quorvane.windows.x86.zip"),
    "no-package.json": json.dumps({"version_number": 10_822_201_010}).encode(),
    "wide-update.json": dm_response("java-1.8.0-openjdk-1.8.0.1234-1.b04.quorvane.windows.x86_64.zip"),
}


class VersionCheckTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()
        cls.document_root = tempfile.TemporaryDirectory(prefix="checker-www-")
        for name, content in DOCUMENTS.items():
            (Path(cls.document_root.name) / name).write_bytes(content)
        cls.server = NginxServer(cls.document_root.name, cls.pki.loopback).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.document_root.cleanup()

    def config_for(self, path, host="127.0.0.1", **settings):
        return self.workspace.write_config(checker_config(
            self.server.url(path, host), to_checker_path(self.pki.ca_certificate), **settings))

    def test_first_run_stores_the_descriptor_and_the_second_stays_quiet(self):
        config = self.config_for("dm.json")
        self.assert_stored_update(self.workspace.run(config=config), 0, DEMO_VERSION_NUMBER)
        stored = json.loads(self.workspace.version_file.read_text())
        self.assertEqual(list(stored), ["package_name", "package_description", "os_name", "os_arch", "version_string",
                                        "version_number", "ui_balloon_text", "ui_update_header", "ui_update_text"])
        self.assertEqual(stored["version_string"], "1.8.0.222-1.b10")
        before = self.workspace.version_file.read_bytes()
        again = self.workspace.run(config=config)
        self.assertEqual((again.returncode, again.stdout, again.stderr), (0, "", ""))
        self.assertEqual(self.workspace.version_file.read_bytes(), before)

    def test_equal_or_newer_stored_version_is_kept(self):
        config = self.config_for("dm.json")
        for stored_number in (DEMO_VERSION_NUMBER, DEMO_VERSION_NUMBER + 1):
            stored = self.workspace.store_version(stored_number)
            result = self.workspace.run(config=config)
            self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
            self.assertEqual(self.workspace.version_file.read_bytes(), stored)

    def test_remote_version_zero_writes_nothing(self):
        result = self.workspace.run(config=self.config_for("zero.json"))
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertFalse(self.workspace.version_file.exists())

    def test_gzip_and_redirect_through_localhost(self):
        result = self.workspace.run(config=self.config_for("redirect", host="localhost"))
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        log = self.server.access_log()
        self.assertIn("/redirect 302", log)
        self.assertRegex(log, r"/dm.json 200 \d+ gzip_ratio=\d")

    def test_unfollowed_redirect_body_is_not_a_document(self):
        result = self.workspace.run(config=self.config_for("redirect", curl_followlocation=False))
        self.assert_failure_line(result, r"Error parsing JSON, text: \[.*\], callback error: \[\]", 0)

    def test_tracing_records_the_run_in_order(self):
        # Another vendor folder: the files go there, the policy key stays the release's.
        folder = self.workspace.update_folder(vendor="elsewhere")
        result = self.workspace.run(config=self.config_for("dm.json", system_trace_enable=True,
                                                           vendor_name="elsewhere"))
        self.assertEqual(result.returncode, 0, result.stderr)
        trace_path = to_checker_path(folder / "trace.json")
        self.assertTrue(result.stdout.endswith(f"Trace written, path: [{trace_path}]\n"))
        events = json.loads((folder / "trace.json").read_text())
        keys, texts = list(events), list(events.values())
        self.assertEqual([int(key.rsplit("_", 1)[1]) for key in keys], list(range(1, len(keys) + 1)))
        self.assertRegex(texts[0], r"^EVENT_PID \d+$")
        version_path = to_checker_path(folder / "version.json")
        milestones = ["EVENT_POLICY key: [SOFTWARE\\Policies\\%s\\UpdateNotifier]" % VENDOR,
                      "EVENT_LOCALVERSION 0", "EVENT_URL " + self.server.url("dm.json"), "curl init complete",
                      f"EVENT_REMOTEVERSION {DEMO_VERSION_NUMBER}", "EVENT_WRITTEN " + version_path]
        self.assertEqual([text for text in texts if text in milestones], milestones)
        responses = [text[len("EVENT_RESPONSE "):] for text in texts if text.startswith("EVENT_RESPONSE ")]
        self.assertTrue(responses and DM.decode().startswith(responses[0]), "the first delivery is traced as text")

    def test_download_failure_is_reported_with_the_stored_version_and_traced(self):
        self.workspace.store_version(7)
        result = self.workspace.run(config=self.config_for("missing.json", system_trace_enable=True))
        message = "HTTP connection error: [HTTP error returned from server, response_code: [404]]"
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, re.escape(message) + r"; local version, path: \[.*\], version_number: \[7\]")
        self.assertIn("Trace written, path: [", result.stdout)
        events = list(json.loads(self.workspace.trace_file.read_text()).values())
        self.assertEqual(events[-1], "ERROR: " + message)

    def test_only_the_first_document_is_read(self):
        self.assert_stored_update(self.workspace.run(config=self.config_for("two-documents.json")),
                                  0, DEMO_VERSION_NUMBER)

    def test_rejected_documents(self):
        cases = {"duplicate.json": r"Error parsing JSON, text: \[duplicate object key.*",
                 "not-dm.json": re.escape("Cannot extract 'featuredArtifact' from DM response"),
                 "beyond-names.json": re.escape("'version_number' larger than any artifact name gives: [20000000000],"
                                                " limit: [19999999999]"),
                 "wide-update.json": re.escape("'update' too wide for the version number: [1234], limit: [999]"),
                 "other-package.json": re.escape("'package_name' is not this release's: [java-1.17.0-openjdk],"
                                                 " expected: [java-1.8.0-openjdk]"),
                 "other-arch.json": re.escape("'os_arch' is not this release's: [x86], expected: [x86_64]"),
                 "no-package.json": re.escape("'package_name' is not this release's: [],"
                                              " expected: [java-1.8.0-openjdk]")}
        for path, pattern in cases.items():
            with self.subTest(path):
                stored = self.workspace.store_version(5)
                self.assert_failure_line(self.workspace.run(config=self.config_for(path)), pattern, 5)
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)

    def test_a_stored_file_that_cannot_be_read_is_replaced(self):
        # (name, content of version.json, settings, the cause traced)
        cases = [
            ("corrupt", "{broken", {}, r"Error parsing JSON: .*"),
            ("over the read limit", json.dumps({"version_number": 4, "pad": "x" * 3000}),
             {"max_json_size_bytes": 2000}, r"Error parsing JSON: .*Read limit exceeded: \[2000\].*"),
            ("number no artifact name gives", json.dumps({"version_number": 9_223_372_036_854_775_807}), {},
             re.escape("'version_number' larger than any artifact name gives: [9223372036854775807]") + ".*"),
            ("number beyond 64 bits", '{"version_number": 18446744073709551616}', {}, r"Error parsing JSON: .*"),
            ("an array", "[]", {}, re.escape("Cannot extract 'featuredArtifact' from DM response")),
        ]
        for name, content, settings, cause in cases:
            with self.subTest(name):
                self.workspace.update_folder().mkdir(parents=True, exist_ok=True)
                self.workspace.version_file.write_text(content)
                result = self.workspace.run(config=self.config_for("dm.json", system_trace_enable=True, **settings))
                self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
                events = list(json.loads(self.workspace.trace_file.read_text()).values())
                unreadable = [event for event in events if event.startswith("local version unreadable")]
                self.assertEqual(len(unreadable), 1, events)
                self.assertRegex(unreadable[0], r"^local version unreadable, taken as 0, error: \[" + cause + r"\]$")
                self.assertIn("EVENT_LOCALVERSION 0", events)

    def test_descriptors_that_could_not_be_read_back_or_shown_are_not_stored(self):
        cases = {"too-large.json": r"Version descriptor too large to store, size: \[\d+\], limit: \[32768\]",
                 "long-balloon.json": re.escape("'ui_balloon_text' too long to show, UTF-16 units: [256], limit: [255]")}
        for path, pattern in cases.items():
            with self.subTest(path):
                stored = self.workspace.store_version(5)
                self.assert_failure_line(self.workspace.run(config=self.config_for(path)), pattern, 5)
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)
                self.assertEqual(self.workspace.run(config=self.config_for("dm.json")).returncode, 0,
                                 "later runs still read the stored file")

    def test_size_limits(self):
        # Without gzip each delivery is at most the receive buffer size.
        small_buffer = {"curl_accept_encoding": "", "curl_buffersize_bytes": 1024}
        self.assert_stored_update(self.workspace.run(config=self.config_for(
            "dm.json", curl_max_bufsize_bytes=1024, **small_buffer)), 0, DEMO_VERSION_NUMBER)
        cases = [({"curl_max_bufsize_bytes": 1023, **small_buffer}, r"'curl_max_bufsize_bytes' exceeded: \[1024\]"),
                 ({"max_response_size_bytes": 10000}, r"'max_response_size_bytes' exceeded: \[\d+\]")]
        for settings, pattern in cases:
            with self.subTest(settings=settings):
                stored = self.workspace.store_version(1)
                result = self.workspace.run(config=self.config_for("dm.json", **settings))
                self.assert_failure_line(result, ".*" + pattern + r"\]", 1)
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)

    def test_relative_ca_file_and_default_config_lie_next_to_the_executable(self):
        program_folder = self.workspace.root / "program"
        command = self.workspace.copy_checker(program_folder)
        (program_folder / "certs").mkdir()
        (program_folder / "certs" / "ca.pem").write_bytes(self.pki.ca_certificate.read_bytes())
        (program_folder / "config.json").write_text(json.dumps(
            checker_config(self.server.url("dm.json"), "certs/ca.pem")))
        self.assert_stored_update(self.workspace.run(command=command), 0, DEMO_VERSION_NUMBER)


if __name__ == "__main__":
    unittest.main()
