"""checkerw, the checker's windowless twin that scheduled tasks start: the same exit statuses and
files as the checker, nothing on the standard streams; with tracing on, the lines the checker
would show are in the trace, and so is a failure before config.json is read. CHECKER_COMMAND
names checkerw here."""

import json
import re

from checker_runner import TIMESTAMP, CheckerTestCase, checker_config, to_checker_path
from fixtures.dm_service import DmServiceMixin
from fixtures.sample_documents import DEMO_VERSION_NUMBER


class WindowlessCheckerTest(DmServiceMixin, CheckerTestCase):
    def traced_run(self, path):
        config = self.workspace.write_config(checker_config(
            self.server.url(path), to_checker_path(self.pki.ca_certificate), system_trace_enable=True))
        result = self.workspace.run(config=config)
        events = list(json.loads(self.workspace.trace_file.read_text()).values())
        return result, events

    def test_statuses_and_files_as_the_checker_lines_in_the_trace_only(self):
        stored, events = self.traced_run("dm.json")
        self.assertEqual((stored.returncode, stored.stdout, stored.stderr), (0, "", ""))
        self.assertEqual(json.loads(self.workspace.version_file.read_text())["version_number"], DEMO_VERSION_NUMBER)
        info = re.escape(f" INFO: new version descriptor obtained: [{to_checker_path(self.workspace.version_file)}]"
                         f" old version_number: [0], new version number: [{DEMO_VERSION_NUMBER}]")
        self.assertRegex(events[-1], "^" + TIMESTAMP + info + "$")

        failed, events = self.traced_run("missing.json")
        self.assertEqual((failed.returncode, failed.stdout, failed.stderr), (1, "", ""))
        self.assertRegex(events[-1], "^" + TIMESTAMP + " ERROR: .*404.*; local version, path: .*"
                         + re.escape(f" version_number: [{DEMO_VERSION_NUMBER}]") + "$")

        # Before config.json is read, a failure is traced all the same, into the default update folder.
        missing = to_checker_path(self.workspace.root / "missing.json")
        cases = [
            (["--bogus"], 1, "ERROR: unknown option: --bogus"),
            (["--help"], 0, None),
            (["--usage"], 0, None),
            (["extra"], 1, "ERROR: invalid arguments specified: extra"),
            (["--config", missing], 1, TIMESTAMP + re.escape(f" ERROR: Cannot open file: [{missing}], with mode: [r]")),
        ]
        for arguments, status, traced in cases:
            self.workspace.trace_file.unlink(missing_ok=True)
            shown = self.workspace.run(*arguments)
            self.assertEqual((shown.returncode, shown.stdout, shown.stderr), (status, "", ""), arguments)
            if traced is None:
                self.assertFalse(self.workspace.trace_file.exists(), arguments)
            else:
                events = list(json.loads(self.workspace.trace_file.read_text()).values())
                self.assertRegex(events[-1], "^" + traced, arguments)
