"""checker.exe under Wine: it stores in the Windows per-user folder exactly the bytes that the
Linux build stores for the same DM response; its help and option errors come through Wine."""

import json
import os
import subprocess
import tempfile
import unittest
from pathlib import Path

from checker_runner import (DEMO_VERSION_NUMBER, CheckerTestCase, checker_config, shared_test_pki,
                            to_checker_path)
from fixtures.environment import without_proxy_variables
from fixtures.nginx_server import NginxServer
from fixtures.sample_documents import dm_response

DM = dm_response(padding_elements=50)


class CheckerUnderWineTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()
        cls.document_root = tempfile.TemporaryDirectory(prefix="checker-wine-www-")
        (Path(cls.document_root.name) / "dm.json").write_bytes(DM)
        cls.server = NginxServer(cls.document_root.name, cls.pki.loopback).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.document_root.cleanup()

    def run_linux_checker(self) -> bytes:
        """Runs the Linux build against the same service and returns the version.json it stores."""
        with tempfile.TemporaryDirectory(prefix="checker-linux-") as folder:
            config = Path(folder) / "config.json"
            config.write_text(json.dumps(
                checker_config(self.server.url("dm.json"), str(self.pki.ca_certificate))))
            result = subprocess.run([os.environ["LINUX_CHECKER"], "--config", str(config)], capture_output=True,
                                    text=True, timeout=60, stdin=subprocess.DEVNULL,
                                    env=without_proxy_variables(os.environ, XDG_DATA_HOME=folder))
            self.assertEqual(result.returncode, 0, result.stderr)
            return (Path(folder) / "quorvane" / "update_checker" / "update" / "version.json").read_bytes()

    def test_descriptor_in_local_app_data_matches_the_linux_build_byte_for_byte(self):
        config = self.workspace.write_config(checker_config(self.server.url("dm.json"),
                                                            to_checker_path(self.pki.ca_certificate)))
        result = self.workspace.run(config=config)
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        # The INFO line names the file as the program sees it: %LOCALAPPDATA% with forward slashes.
        self.assertRegex(result.stdout, r"INFO: new version descriptor obtained: "
                                        r"\[C:/users/[^/\\]+/AppData/Local/quorvane/update_checker/update/version\.json\]")
        stored = self.workspace.version_file.read_bytes()
        self.assertIn(b"\r\n", stored)
        self.assertNotIn(b"\n", stored.replace(b"\r\n", b""), "every line ends in CR LF")
        self.assertEqual(stored, self.run_linux_checker())
        state = self.workspace.state_file.read_bytes()
        self.assertNotIn(b"\n", state.replace(b"\r\n", b""), "the check state's lines end in CR LF too")

    def test_config_in_a_folder_named_outside_the_ansi_code_page(self):
        # "ë" is in the ANSI code page, "Ω" and "桜" are not; Wine reads the host's arguments as UTF-8.
        self.workspace.environment["LC_ALL"] = "C.UTF-8"
        config = self.workspace.write_config(checker_config(self.server.url("dm.json"),
                                                            to_checker_path(self.pki.ca_certificate)),
                                             name="Zoë Ω 桜/config.json")
        self.assert_stored_update(self.workspace.run(config=config), 0, DEMO_VERSION_NUMBER)

    def test_help_and_an_unknown_option(self):
        shown = self.workspace.run("--help")
        self.assertEqual((shown.returncode, shown.stdout), (0, ""))
        self.assertRegex(shown.stderr, r"^Usage: .*checker(\.exe)? \[OPTION\.\.\.\]\n")
        self.assertIn("Path to config file", shown.stderr)
        wrong = self.workspace.run("--bogus")
        self.assertEqual((wrong.returncode, wrong.stdout), (1, ""))
        self.assertEqual(wrong.stderr.split("\n")[0], "ERROR: unknown option: --bogus")
        self.assertFalse(self.workspace.update_folder().exists())


if __name__ == "__main__":
    unittest.main()
