"""A release reaches machines in steps (phased_rollout) and can be taken back
(withdrawn_version_numbers); documents without these members are taken as always."""

import json
import re
import time
import unittest

from checker_runner import (DEMO_VERSION_NUMBER, TIMESTAMP, CheckerTestCase, CheckerWorkspace, checker_config,
                            shared_test_pki, to_checker_path)
from fixtures.misbehaving_server import MisbehavingServer, send_document
from fixtures.sample_documents import DEMO_ARTIFACT, dm_response

PREVIOUS_ARTIFACT = "java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.zip"
DAY = 86400


def steered(artifact=DEMO_ARTIFACT, **members) -> bytes:
    """A DM response whose first element carries members."""
    document = json.loads(dm_response(artifact))
    document[0].update(members)
    return json.dumps(document).encode()


class ReleaseSteeringTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()

    def serve(self, document):
        server = MisbehavingServer(send_document(document), self.pki.loopback).start()
        self.addCleanup(server.stop)
        return server

    def run_in(self, workspace, server, **settings):
        config = workspace.write_config(checker_config(server.url(), to_checker_path(self.pki.ca_certificate),
                                                       **settings))
        return workspace.run(config=config)

    def test_a_phased_release_is_stored_once_due_for_the_machines_group(self):
        now = int(time.time())
        # (name, rollout, stored)
        cases = [("start ahead", {"start": now + 3600, "interval_seconds": 60}, False),
                 ("seven intervals ago", {"start": now - 7 * DAY, "interval_seconds": DAY}, True),
                 ("no interval", {"start": now - 1, "interval_seconds": 0}, True)]
        for name, rollout, stored in cases:
            with self.subTest(name):
                workspace = CheckerWorkspace()
                self.addCleanup(workspace.cleanup)
                result = self.run_in(workspace, self.serve(steered(phased_rollout=rollout)), system_trace_enable=True)
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertEqual(workspace.version_file.exists(), stored)
                events = list(json.loads(workspace.trace_file.read_text()).values())
                held = [event for event in events if event.startswith("release not yet due for this machine")]
                self.assertEqual(len(held), 0 if stored else 1, events)

    def test_forty_homes_half_way_through_split_and_each_keeps_its_decision(self):
        server = self.serve(steered(phased_rollout={"start": int(time.time()) - int(3.5 * DAY),
                                                    "interval_seconds": DAY}))
        decisions = []
        for _ in range(40):
            home = CheckerWorkspace()
            self.addCleanup(home.cleanup)
            first = self.run_in(home, server)
            self.assertEqual(first.returncode, 0, first.stderr)
            stored = home.version_file.exists()
            self.assertEqual(self.run_in(home, server).returncode, 0)
            self.assertEqual(home.version_file.exists(), stored, "a home decides the same on its next run")
            decisions.append(stored)
        # Groups 0 to 3 of 7 are due: 4/7 of the homes, about 23 of 40.
        self.assertTrue(10 <= sum(decisions) <= 30, decisions)

    def test_malformed_steering_members_are_refused(self):
        now = int(time.time())
        cases = [({"phased_rollout": {"start": now + 367 * DAY, "interval_seconds": 60}},
                  r"start more than a year ahead: \d+"),
                 ({"phased_rollout": {"start": now, "interval_seconds": -1}}, r"negative interval: -1"),
                 ({"phased_rollout": [now, 60]}, r"not an object"),
                 ({"withdrawn_version_numbers": ["10822201010"]}, r"not an array of whole numbers from 0")]
        for members, error in cases:
            with self.subTest(members=members):
                name = next(iter(members))
                result = self.run_in(self.workspace, self.serve(steered(**members)))
                self.assert_failure_line(result, re.escape(f"Invalid DM response member, name: [{name}], error: [")
                                         + error + r"\]", 0)
                self.assertFalse(self.workspace.version_file.exists())

    def test_a_withdrawn_stored_release_gives_way_to_the_current_one(self):
        self.assert_stored_update(self.run_in(self.workspace, self.serve(steered())), 0, DEMO_VERSION_NUMBER)
        result = self.run_in(self.workspace, self.serve(steered(PREVIOUS_ARTIFACT,
                                                                withdrawn_version_numbers=[DEMO_VERSION_NUMBER])))
        version_path = to_checker_path(self.workspace.version_file)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        lines = result.stdout.splitlines()
        self.assertEqual(len(lines), 2, result.stdout)
        self.assertRegex(lines[0], "^" + TIMESTAMP + re.escape(
            f" INFO: stored version withdrawn, removed: [{version_path}] version_number: [{DEMO_VERSION_NUMBER}]") + "$")
        self.assertRegex(lines[1], re.escape(f"INFO: new version descriptor obtained: [{version_path}]"
                                             " old version_number: [0], new version number: [") + r"\d+\]$")
        self.assertEqual(json.loads(self.workspace.version_file.read_text())["version_string"], "1.8.0.212-1.b04")


if __name__ == "__main__":
    unittest.main()
