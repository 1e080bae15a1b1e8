"""A full disk and folders or files of the wrong kind: the checker says what failed, ends with status 1
and loses nothing; the notifier stays quiet or carries on.

CHECKER_COMMAND and NOTIFIER name the programs; PYTHONPATH must reach tests/lib and
notifier/tests."""

import json
import os
import re
import resource
import signal
import subprocess
import unittest

from checker_runner import TIMESTAMP, CheckerTestCase, checker_command, to_checker_path
from fixtures.dm_service import DmServiceMixin
from fixtures.sample_documents import DEMO_VERSION_NUMBER
from test_notifier_runs import NOTIFIER, RUN_LIMIT, SHIPPED, NotifierTestCase, Run

TEMPORARY_FILE = "*.tmp"  # the dump's temporary files


def limit_file_size(limit):
    """A preexec_fn: files may grow to limit bytes; the ignored SIGXFSZ survives exec, so writes fail with EFBIG."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


class CheckerDiskFaultsTest(DmServiceMixin, CheckerTestCase):
    def setUp(self):
        super().setUp()
        self.config = self.write_dm_config(self.workspace)

    def run_checker(self, *arguments, file_size_limit=None):
        if file_size_limit is None:
            return self.workspace.run(*arguments, config=self.config)
        return subprocess.run(checker_command() + ["--config", to_checker_path(self.config), *arguments],
                              env=self.workspace.environment, cwd=self.workspace.root, capture_output=True, text=True,
                              timeout=60, stdin=subprocess.DEVNULL, preexec_fn=limit_file_size(file_size_limit))

    def test_full_disk_keeps_the_stored_documents(self):
        for limit in (0, 300):
            with self.subTest(limit=limit):
                stored = self.workspace.store_version(1)
                self.workspace.trace_file.write_text('{"earlier": "run"}')
                result = self.run_checker(file_size_limit=limit)
                version_path = re.escape(to_checker_path(self.workspace.version_file))
                self.assert_failure_line(
                    result, r"Error dumping JSON: \['(write|close)' error: \[File too large\], filepath: \[" +
                    version_path + r"\]\]", 1)
                self.assertEqual(result.stdout, "")
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)
                self.assertEqual(self.workspace.trace_file.read_text(), '{"earlier": "run"}')
                self.assertEqual(list(self.workspace.update_folder().glob(TEMPORARY_FILE)), [])
        # Room again: the same run stores the descriptor.
        self.assert_stored_update(self.run_checker(), 1, DEMO_VERSION_NUMBER)

    def test_folders_replaced_by_files(self):
        update = self.workspace.update_folder()
        update.parent.parent.parent.mkdir(parents=True, exist_ok=True)
        # The folder that is a file is named, before any download and before the version path exists.
        for blocker in (update.parent.parent, update.parent, update):
            with self.subTest(blocker.name):
                blocker.parent.mkdir(exist_ok=True)
                blocker.write_text("precious")
                result = self.run_checker()
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stderr, "^" + TIMESTAMP + re.escape(
                    " ERROR: Error getting creating dir, path: [" + to_checker_path(blocker) +
                    "], error: [code: [20], message: [Not a directory]]; local version, path: [], version_number: [0]")
                    + "\n$")
                self.assertEqual(self.run_checker("--delete").returncode, 0)
                self.assertEqual(blocker.read_text(), "precious")
                blocker.unlink()

    def test_version_file_that_is_a_folder_is_left_alone(self):
        self.workspace.version_file.mkdir(parents=True)
        (self.workspace.version_file / "inside.txt").write_text("kept")
        result = self.run_checker()
        self.assert_failure_line(result, re.escape(
            "Error dumping JSON: [Cannot replace file: [" + to_checker_path(self.workspace.version_file) +
            "], error: [code: [21], message: [Is a directory]]]"), 0)
        self.assertEqual((self.workspace.version_file / "inside.txt").read_text(), "kept")
        self.assertEqual(list(self.workspace.update_folder().glob(TEMPORARY_FILE)), [])

    def test_config_that_is_a_folder_stops_every_mode(self):
        stored = self.workspace.store_version(1)
        folder = self.workspace.root / "config-folder"
        folder.mkdir()
        for arguments in ([], ["--delete"]):
            with self.subTest(arguments):
                result = self.workspace.run(*arguments, config=folder)
                self.assert_failure_line(result, re.escape(
                    "Cannot open file: [" + to_checker_path(folder) +
                    "], with mode: [r], error: [code: [21], message: [Is a directory]]"))
                self.assertEqual(self.workspace.version_file.read_bytes(), stored)

    def test_delete_mode_removes_temporary_files_left_by_killed_runs(self):
        self.workspace.store_version(1)
        leftovers = ["version.json.12.1.0123456789abcdef.tmp", "trace.json.13.2.0123456789abcdef.tmp"]
        for name in leftovers:
            (self.workspace.update_folder() / name).write_text("{")
        foreign = self.workspace.update_folder() / "version.json.bak"
        foreign.write_text("not ours")
        result = self.run_checker("--delete")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertEqual(sorted(path.name for path in self.workspace.update_folder().iterdir()), ["version.json.bak"])
        foreign.unlink()
        self.assertEqual(self.run_checker("--delete").returncode, 0)
        self.assertEqual(list(self.workspace.data_home.iterdir()), [])


class NotifierDiskFaultsTest(NotifierTestCase):
    def test_update_folder_replaced_by_a_file_gives_a_quiet_nogo(self):
        os.rmdir(self.update)
        with open(self.update, "w") as blocker:
            blocker.write("precious")
        run = self.run_notifier()
        self.assertEqual((run.status, run.shown, run.events), (0, [], None))
        with open(self.update) as blocker:
            self.assertEqual(blocker.read(), "precious")

    def test_full_disk_loses_only_the_trace(self):
        self.write_version(SHIPPED + 1)
        with open(self.trace_path, "w") as trace:
            trace.write('{"earlier": "run"}')
        with open(os.path.join(self.update, "version.json"), "rb") as document:
            stored = document.read()
        # The earlier trace has no keys of the tracer's form, so the run is read here, not by finish().
        process = subprocess.Popen([NOTIFIER, "-v"], env=dict(self.environment, NOTIFIER_USER_ACTIONS="session-end"),
                                   stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                   preexec_fn=limit_file_size(0))
        _, stderr = process.communicate(timeout=RUN_LIMIT)
        run = Run(process.returncode, stderr, None)
        self.assertEqual(run.status, 0)
        self.assertEqual(len(run.showed("icon removed")), 1)
        with open(self.trace_path) as trace:
            self.assertEqual(json.load(trace), {"earlier": "run"})
        with open(os.path.join(self.update, "version.json"), "rb") as document:
            self.assertEqual(document.read(), stored)
        self.assertEqual(sorted(os.listdir(self.update)), ["trace.json", "version.json"])


if __name__ == "__main__":
    unittest.main()
