"""Runs the built checker with a private per-user folder and reads what it leaves behind.

Two points are meant to be replaced by a runner that starts the checker another way (for
example under another operating-system layer): to_checker_path, through which every path given
to the checker passes, and user_data_folder, which says where the checker keeps its per-user
files. The command itself comes from CHECKER_COMMAND.

With CHECKER_PATH_STYLE=windows (the Windows build run under Wine) both are replaced from the
environment: paths are given as Wine sees them, and CHECKER_USER_DATA names the Unix path of the
Wine prefix's local application-data folder, which all workspaces then share."""

import json
import ntpath
import os
import re
import shlex
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from fixtures.environment import without_proxy_variables
from fixtures.sample_documents import DEMO_VERSION_NUMBER, checker_config  # noqa: F401
from fixtures.tls import shared_test_pki  # noqa: F401

TIMESTAMP = r"\d{4}-\d\d-\d\d_\d\d:\d\d:\d\d"


def checker_command() -> list:
    """The command that starts the checker, from CHECKER_COMMAND (split like a shell would)."""
    return shlex.split(os.environ["CHECKER_COMMAND"])


WINDOWS_PATHS = os.environ.get("CHECKER_PATH_STYLE") == "windows"


def to_checker_path(path) -> str:
    """A path of this machine as the checker must be given it (in config.json or arguments)."""
    if not WINDOWS_PATHS:
        return str(path)
    parts = Path(os.path.abspath(path)).parts
    if "drive_c" in parts:
        # Inside the prefix: the per-user files, whose paths the checker composes with "/".
        return "C:/" + "/".join(parts[parts.index("drive_c") + 1:])
    # Wine's drive Z: is the Unix root.
    return ntpath.join("Z:\\", *parts[1:])


def user_data_folder(data_home: Path) -> Path:
    """The folder the checker's user_data_dir names when XDG_DATA_HOME is data_home."""
    if WINDOWS_PATHS:
        return Path(os.environ["CHECKER_USER_DATA"])
    return Path(data_home)


class CheckerWorkspace:
    """A temporary folder with its own per-user data folder, config files and checker runs."""

    def __init__(self):
        self._holder = tempfile.TemporaryDirectory(prefix="checker-test-")
        self.root = Path(self._holder.name)
        self.data_home = self.root / "data"
        self.data_home.mkdir()
        self.environment = without_proxy_variables(os.environ, XDG_DATA_HOME=to_checker_path(self.data_home))
        self._shared_entries = set(self._user_data_entries())

    def _user_data_entries(self):
        folder = user_data_folder(self.data_home)
        return folder.iterdir() if folder != self.data_home and folder.is_dir() else []

    def cleanup(self):
        # A shared per-user folder keeps only what it held before this workspace.
        for entry in set(self._user_data_entries()) - self._shared_entries:
            if entry.is_dir():
                shutil.rmtree(entry)
            else:
                entry.unlink()
        self._holder.cleanup()

    # Paths written into config files pass through this.
    checker_path = staticmethod(to_checker_path)

    def update_folder(self, vendor="quorvane", application="update_checker") -> Path:
        return user_data_folder(self.data_home) / vendor / application / "update"

    @property
    def version_file(self) -> Path:
        return self.update_folder() / "version.json"

    @property
    def trace_file(self) -> Path:
        return self.update_folder() / "trace.json"

    @property
    def state_file(self) -> Path:
        return self.update_folder() / "check_state.json"

    def read_state(self) -> dict:
        return json.loads(self.state_file.read_text())

    def write_state(self, **members):
        """Replaces members of check_state.json (for example a time moved into the past)."""
        state = self.read_state() if self.state_file.exists() else {}
        self.update_folder().mkdir(parents=True, exist_ok=True)
        self.state_file.write_text(json.dumps({**state, **members}))

    def forget_state(self):
        """Removes check_state.json: the next run neither waits nor revalidates."""
        if self.state_file.exists():
            self.state_file.unlink()

    def write_config(self, settings, name="config.json") -> Path:
        path = self.root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(settings if isinstance(settings, str) else json.dumps(settings))
        return path

    def store_version(self, version_number: int) -> bytes:
        """Writes a version.json holding version_number and returns its bytes."""
        self.update_folder().mkdir(parents=True, exist_ok=True)
        self.version_file.write_text(json.dumps({"version_string": "stored", "version_number": version_number}))
        return self.version_file.read_bytes()

    def copy_checker(self, folder: Path) -> list:
        """Copies the checker program into folder and returns the command that runs the copy."""
        command = checker_command()
        folder.mkdir(parents=True, exist_ok=True)
        copy = folder / Path(command[-1]).name
        shutil.copy2(command[-1], copy)
        return command[:-1] + [str(copy)]

    def run(self, *arguments, config=None, command=None, cwd=None, timeout=60) -> subprocess.CompletedProcess:
        """Runs the checker; config (a path) is passed with --config."""
        full = list(command or checker_command())
        if config is not None:
            full += ["--config", to_checker_path(config)]
        full += list(arguments)
        return subprocess.run(full, env=self.environment, cwd=cwd or self.root, capture_output=True, text=True,
                              timeout=timeout, stdin=subprocess.DEVNULL)


class CheckerTestCase(unittest.TestCase):
    """A test with a fresh workspace and helpers for the checker's console lines."""

    def setUp(self):
        self.workspace = CheckerWorkspace()
        self.addCleanup(self.workspace.cleanup)

    def assert_failure_line(self, result, message_pattern, local_number=None):
        """Status 1 and one timestamped ERROR line; with local_number, the version-check form."""
        self.assertEqual(result.returncode, 1, result.stderr)
        pattern = TIMESTAMP + " ERROR: " + message_pattern
        if local_number is not None:
            pattern += re.escape(f"; local version, path: [{to_checker_path(self.workspace.version_file)}],"
                                 f" version_number: [{local_number}]")
        self.assertRegex(result.stderr, "^" + pattern + "\n$")

    def assert_stored_update(self, result, old_number, new_number):
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        self.assertRegex(result.stdout, "^" + TIMESTAMP + re.escape(
            f" INFO: new version descriptor obtained: [{to_checker_path(self.workspace.version_file)}]"
            f" old version_number: [{old_number}], new version number: [{new_number}]") + "\n")
        self.assertEqual(json.loads(self.workspace.version_file.read_text())["version_number"], new_number)
