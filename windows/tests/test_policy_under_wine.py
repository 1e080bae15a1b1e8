"""checker.exe under Wine with policy values in the prefix's registry (reg add, 64-bit view):
checks turned off, another address, an address refused, a user value, a machine value over it,
and the key the release's vendor names whatever vendor folder config.json names.

Every case starts and ends without the policy keys, so the other Wine tests see the prefix as it was."""

import json
import os
import re
import subprocess
import tempfile
from pathlib import Path

from checker_runner import TIMESTAMP, CheckerTestCase, checker_config, shared_test_pki, to_checker_path
from fixtures.environment import without_proxy_variables
from fixtures.nginx_server import NginxServer
from fixtures.release import VENDOR
from fixtures.sample_documents import DEMO_VERSION_NUMBER, dm_response

KEYS = {root: root + "\\SOFTWARE\\Policies\\" + VENDOR + "\\UpdateNotifier" for root in ("HKLM", "HKCU")}


def reg(*arguments, check=True) -> subprocess.CompletedProcess:
    return subprocess.run(["wine", "reg", *arguments, "/reg:64"], capture_output=True, text=True, timeout=60,
                          check=check, stdin=subprocess.DEVNULL, env=without_proxy_variables(os.environ))


def set_policy(root, name, data, kind="REG_DWORD"):
    reg("add", KEYS[root], "/v", name, "/t", kind, "/d", str(data), "/f")


def remove_policies():
    for key in KEYS.values():
        reg("delete", key, "/f", check=False)


class PolicyUnderWineTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()
        document_root = tempfile.TemporaryDirectory(prefix="checker-wine-policy-www-")
        cls.addClassCleanup(document_root.cleanup)
        (Path(document_root.name) / "dm.json").write_bytes(dm_response())
        # The address config.json names, and the mirror that a policy names instead.
        cls.configured = NginxServer(document_root.name, cls.pki.loopback).start()
        cls.addClassCleanup(cls.configured.stop)
        cls.mirror = NginxServer(document_root.name, cls.pki.loopback).start()
        cls.addClassCleanup(cls.mirror.stop)
        cls.addClassCleanup(remove_policies)

    def setUp(self):
        super().setUp()
        remove_policies()
        self.addCleanup(remove_policies)

    def requests(self):
        return self.configured.access_log().count("/dm.json "), self.mirror.access_log().count("/dm.json ")

    def run_traced(self, *arguments, vendor=VENDOR):
        """A traced run with config.json naming the configured server and the vendor folder;
        returns the result and the trace."""
        config = self.workspace.write_config(checker_config(
            self.configured.url("dm.json"), to_checker_path(self.pki.ca_certificate), system_trace_enable=True,
            vendor_name=vendor))
        result = self.workspace.run(*arguments, config=config)
        trace = self.workspace.update_folder(vendor=vendor) / "trace.json"
        return result, list(json.loads(trace.read_text()).values()) if trace.exists() else []

    def test_checks_turned_off_by_machine_or_user_no_request_status_0_delete_still_works(self):
        for root in ("HKLM", "HKCU"):
            with self.subTest(root):
                remove_policies()
                set_policy(root, "CheckForUpdates", 0)
                before = self.requests()
                result, _ = self.run_traced()
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertRegex(result.stdout, "^" + TIMESTAMP +
                                 re.escape(" INFO: update checks are turned off by policy (CheckForUpdates)") + "\n$")
                self.assertEqual(self.requests(), before)
                self.assertFalse(self.workspace.version_file.exists())

        self.workspace.store_version(1)
        deleted, _ = self.run_traced("--delete")
        self.assertEqual(deleted.returncode, 0)
        self.assertFalse(self.workspace.update_folder().exists())

    def test_another_vendor_folder_still_obeys_the_release_vendors_key(self):
        # The update folder has been there before (a trace is written only then when checks are off).
        self.workspace.update_folder(vendor="elsewhere").mkdir(parents=True)
        for root in ("HKLM", "HKCU"):
            with self.subTest(root):
                remove_policies()
                set_policy(root, "CheckForUpdates", 0)
                before = self.requests()
                result, events = self.run_traced(vendor="elsewhere")
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertIn("update checks are turned off by policy (CheckForUpdates)", result.stdout)
                self.assertEqual(self.requests(), before)
                self.assertEqual([event for event in events if event.startswith("EVENT_POLICY")][:2], [
                    "EVENT_POLICY key: [SOFTWARE\\Policies\\%s\\UpdateNotifier]" % VENDOR,
                    "EVENT_POLICY CheckForUpdates 0, source: [%s]" % root])

    def test_machine_value_wins_over_the_user_value_values_of_the_wrong_kind_are_ignored(self):
        set_policy("HKCU", "CheckForUpdates", 0)
        set_policy("HKLM", "CheckForUpdates", 1)
        set_policy("HKLM", "ShowNotifications", 2)
        set_policy("HKCU", "ShowNotifications", "0", kind="REG_SZ")
        result, events = self.run_traced()
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertEqual([event for event in events if event.startswith("EVENT_POLICY")], [
            "EVENT_POLICY key: [SOFTWARE\\Policies\\%s\\UpdateNotifier]" % VENDOR,
            "EVENT_POLICY CheckForUpdates 1, source: [HKLM]",
            "EVENT_POLICY ShowNotifications ignored, source: [HKLM], reason: [a DWORD other than 0 or 1: 2]",
            "EVENT_POLICY ShowNotifications ignored, source: [HKCU], reason: [not a DWORD]",
            "EVENT_POLICY ShowNotifications not configured",
            "EVENT_POLICY UpdateCheckUrl not configured",
            "EVENT_POLICY AllowUserChoices not configured",
            "EVENT_POLICY CheckIntervalMinutes not configured",
        ])

    def test_update_check_url_asks_the_mirror_and_an_http_address_fails_naming_the_value(self):
        # The address may carry user info; its password shows in no output.
        with_password = self.mirror.url("dm.json").replace("https://", "https://me:Po1icyS3cret@")
        set_policy("HKCU", "UpdateCheckUrl", with_password, kind="REG_SZ")
        configured, mirrored = self.requests()
        result, events = self.run_traced()
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertEqual(self.requests(), (configured, mirrored + 1))
        self.assertNotIn("Po1icyS3cret", result.stdout + result.stderr + json.dumps(events))

        http_address = self.mirror.url("dm.json").replace("https://", "http://")
        set_policy("HKLM", "UpdateCheckUrl", http_address, kind="REG_SZ")
        result, events = self.run_traced()
        refused = f"ERROR: Policy value UpdateCheckUrl is not an https:// address, value: [{http_address}]"
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, "^" + TIMESTAMP + " " + re.escape(refused) + "\n$")
        self.assertEqual(events[-1], refused)
        self.assertEqual(self.requests(), (configured, mirrored + 1))
