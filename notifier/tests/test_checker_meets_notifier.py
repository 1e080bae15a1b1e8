#!/usr/bin/env python3
"""The checker stores a newer descriptor from a local HTTPS service; the notifier then announces it.

CHECKER and NOTIFIER name the built programs; the checker's test fixtures (test CA, nginx) must be
importable as the package `fixtures` (PYTHONPATH=tests/lib).
"""
import json
import os
import subprocess
import unittest

from fixtures.dm_service import DmServiceMixin
from fixtures.environment import without_proxy_variables
from fixtures.sample_documents import DEMO_VERSION_NUMBER, checker_config
from test_notifier_runs import ADDRESS, PACKAGE, RUN_LIMIT, SHIPPED, NotifierTestCase

CHECKER = os.environ.get("CHECKER", "")


class CheckerMeetsNotifierTests(DmServiceMixin, NotifierTestCase):
    def run_checker(self, application_name):
        config = os.path.join(self.root, "config.json")
        with open(config, "w") as document:
            json.dump(checker_config(self.server.url("dm.json"), str(self.pki.ca_certificate),
                                     vendor_name="quorvane", application_name=application_name), document)
        result = subprocess.run([CHECKER, "--config", config], env=without_proxy_variables(self.environment),
                                stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=RUN_LIMIT)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(" INFO: new version descriptor obtained: [", result.stdout)

    def test_descriptor_stored_by_the_checker_makes_the_notifier_go(self):
        self.assertGreater(DEMO_VERSION_NUMBER, SHIPPED)
        self.run_checker(PACKAGE)
        run = self.run_notifier("balloon,link")
        self.assertEqual(run.status, 0)
        self.assertIn("EVENT_CONTENTVERSION %d" % DEMO_VERSION_NUMBER, run.events)
        self.assertEqual(run.showed("balloon shown"), [
            "balloon shown, title: [quorvane OpenJDK update available], "
            "text: [OpenJDK version 1.8.0.222-1.b10 is available for download]"])
        self.assertEqual(self.opened(), [ADDRESS])

    def test_checker_configured_for_another_package_leaves_the_notifier_quiet(self):
        self.run_checker("another-package")
        run = self.run_notifier()
        self.assert_nogo(run)


if __name__ == "__main__":
    unittest.main()
