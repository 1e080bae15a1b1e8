"""Checkers killed at random moments, and checkers run side by side, leave only whole documents.

CHECKER_COMMAND names the checker; the shared test fixtures (test CA, nginx) and the checker's
runner must be importable (PYTHONPATH=tests/lib). ROBUSTNESS_KILL_COUNT sets
the number of killed runs (default ROBUSTNESS_DEFAULT_KILL_COUNT, which the build sets, or 300),
ROBUSTNESS_SEED the random delays. A summary of the outcomes goes to standard error."""

import collections
import json
import os
import random
import re
import signal
import statistics
import subprocess
import sys
import time
import unittest

from checker_runner import CheckerWorkspace, checker_command, to_checker_path
from fixtures.dm_service import DmServiceMixin
from fixtures.sample_documents import DEMO_VERSION_NUMBER

KILL_COUNT = int(os.environ.get("ROBUSTNESS_KILL_COUNT") or os.environ.get("ROBUSTNESS_DEFAULT_KILL_COUNT", "300"))
SEED = int(os.environ.get("ROBUSTNESS_SEED", str(time.time_ns() % 1000000)))
CONCURRENT_RUNS = 16
CONCURRENT_ROUNDS = 4
OLD_DOCUMENT = json.dumps({"version_string": "old", "version_number": 1}, indent=4).encode()
# The dump's temporary files: target name, writer's process id, counter, random part.
TEMPORARY_NAME = re.compile(r"^(?:version|trace|check_state)\.json\.(\d+)\.\d+\.[0-9a-f]{16}\.tmp$")
ABANDONED_AGE = 601  # seconds; the checker removes its temporary files once they are ten minutes old


def report(text):
    print(text, file=sys.stderr, flush=True)


class CheckerRunsTestCase(DmServiceMixin, unittest.TestCase):
    """A workspace whose checker reads a small DM response from nginx, with tracing on."""

    def setUp(self):
        self.workspace = CheckerWorkspace()
        self.addCleanup(self.workspace.cleanup)
        self.config = self.write_dm_config(self.workspace)
        self.new_document = self.reference_document()

    def start(self):
        return subprocess.Popen(checker_command() + ["--config", to_checker_path(self.config)],
                                env=self.workspace.environment, cwd=self.workspace.root, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def run_to_end(self):
        process = self.start()
        stdout, stderr = process.communicate(timeout=120)
        self.assertEqual(process.returncode, 0, stderr)
        return stdout.decode()

    def reference_document(self):
        """The bytes an undisturbed run stores, from a first run without version.json."""
        self.assertIn(" INFO: new version descriptor obtained: [", self.run_to_end())
        document = self.workspace.version_file.read_bytes()
        self.assertEqual(json.loads(document)["version_number"], DEMO_VERSION_NUMBER)
        return document

    def set_state(self, state):
        if state == "absent":
            if self.workspace.version_file.exists():
                self.workspace.version_file.unlink()
        else:
            self.workspace.update_folder().mkdir(parents=True, exist_ok=True)
            self.workspace.version_file.write_bytes(OLD_DOCUMENT)

    def state(self):
        try:
            content = self.workspace.version_file.read_bytes()
        except FileNotFoundError:
            return "absent"
        return {OLD_DOCUMENT: "old", self.new_document: "new"}.get(content, "other")

    def trace_is_whole(self):
        """trace.json is absent or one JSON object."""
        try:
            return isinstance(json.loads(self.workspace.trace_file.read_bytes()), dict)
        except FileNotFoundError:
            return True
        except ValueError:
            return False

    def leftovers(self):
        """Names in the update folder other than the documents."""
        folder = self.workspace.update_folder()
        names = {path.name for path in folder.iterdir()} if folder.exists() else set()
        return names - {"version.json", "trace.json", "check_state.json"}

    def check_state(self):
        """The parsed check_state.json, None when absent; a file that is not one JSON object fails."""
        try:
            return json.loads(self.workspace.state_file.read_bytes())
        except FileNotFoundError:
            return None


class KilledRunsTest(CheckerRunsTestCase):
    def test_killed_runs_leave_the_old_or_the_new_document(self):
        durations = []
        for _ in range(5):
            self.set_state("old")
            started = time.monotonic()
            self.run_to_end()
            durations.append(time.monotonic() - started)
        duration = statistics.median(durations)
        rng = random.Random(SEED)
        outcomes = collections.Counter()
        left_behind = set()
        killed = 0
        for index in range(KILL_COUNT):
            before = "absent" if index % 2 == 0 else "old"
            self.set_state(before)
            process = self.start()
            time.sleep(rng.uniform(0, 1.2 * duration))
            process.send_signal(signal.SIGKILL)
            stdout, stderr = process.communicate(timeout=120)
            after = self.state()
            outcomes[before + " -> " + after] += 1
            if process.returncode == -signal.SIGKILL:
                killed += 1
            else:
                self.assertEqual(process.returncode, 0, stderr)
                self.assertEqual(after, "new")
            self.assertIn(after, (before, "new"), f"run {index}, seed {SEED}")
            self.assertTrue(self.trace_is_whole(), f"run {index}, seed {SEED}")
            new_leftovers = self.leftovers() - left_behind
            # At most the one temporary file of the run just killed, named with its process id.
            self.assertLessEqual(len(new_leftovers), 1, new_leftovers)
            for name in new_leftovers:
                match = TEMPORARY_NAME.match(name)
                self.assertTrue(match, name)
                self.assertEqual(int(match.group(1)), process.pid, name)
            left_behind |= new_leftovers
        report(f"\nkilled runs: seed {SEED}, run time {duration * 1000:.1f} ms, {KILL_COUNT} runs, {killed} killed, "
               f"{KILL_COUNT - killed} completed, temporary files left {len(left_behind)}")
        for outcome, count in sorted(outcomes.items()):
            report(f"  {outcome}: {count}")

        # The leftovers are never read as the document, and are removed once they are old.
        self.set_state("old")
        self.assertIn("old version_number: [1]", self.run_to_end())
        self.assertEqual(self.leftovers(), left_behind)
        planted = self.workspace.update_folder() / "version.json.1.1.00000000000000ff.tmp"
        planted.write_text("{")
        moment = time.time() - ABANDONED_AGE
        for name in left_behind | {planted.name}:
            os.utime(self.workspace.update_folder() / name, (moment, moment))
        self.set_state("old")
        self.run_to_end()
        self.assertEqual(self.leftovers(), set())
        self.assertEqual(self.state(), "new")


class KilledStateWritesTest(CheckerRunsTestCase):
    def test_killed_runs_leave_the_old_or_the_new_check_state(self):
        # Every completed run writes the state: its last success moves, all else stays.
        rng = random.Random(SEED + 1)
        started = time.monotonic()
        self.run_to_end()
        duration = time.monotonic() - started
        runs = max(KILL_COUNT // 3, 1)
        killed = 0
        for index in range(runs):
            before = self.check_state()
            process = self.start()
            time.sleep(rng.uniform(0, 1.2 * duration))
            process.send_signal(signal.SIGKILL)
            process.communicate(timeout=120)
            killed += process.returncode == -signal.SIGKILL
            after = self.check_state()
            self.assertIsInstance(after, dict, f"run {index}, seed {SEED}")
            self.assertEqual({**after, "last_success": 0}, {**before, "last_success": 0}, f"run {index}, seed {SEED}")
            self.assertGreaterEqual(after["last_success"], before["last_success"])
            for name in self.leftovers():
                self.assertTrue(TEMPORARY_NAME.match(name), name)
        report(f"\nkilled state writes: seed {SEED}, {runs} runs, {killed} killed, state whole after each")
        self.run_to_end()
        self.assertIsInstance(self.check_state(), dict)


class ConcurrentRunsTest(CheckerRunsTestCase):
    def test_sixteen_checkers_at_once_leave_one_whole_document(self):
        outcomes = collections.Counter()
        for round_number in range(CONCURRENT_ROUNDS):
            self.set_state("absent" if round_number % 2 == 0 else "old")
            processes = [self.start() for _ in range(CONCURRENT_RUNS)]
            results = [(process, *process.communicate(timeout=120)) for process in processes]
            for process, stdout, stderr in results:
                self.assertEqual(process.returncode, 0, stderr)
            writers = sum(b" INFO: new version descriptor obtained: [" in stdout for _, stdout, _ in results)
            self.assertGreaterEqual(writers, 1)
            self.assertEqual(self.state(), "new")
            self.assertTrue(self.trace_is_whole())
            self.assertEqual(self.leftovers(), set())
            self.assertIsInstance(self.check_state(), dict)
            outcomes[f"{writers} of {CONCURRENT_RUNS} wrote"] += 1
        report(f"\nconcurrent runs: {CONCURRENT_ROUNDS} rounds of {CONCURRENT_RUNS}, all status 0, "
               f"version.json new and whole, no temporary files; {dict(outcomes)}")


if __name__ == "__main__":
    unittest.main()
