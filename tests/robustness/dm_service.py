"""nginx serving one small DM response over HTTPS on the loopback interface, for a test class."""

import tempfile
from pathlib import Path

from checker_runner import checker_config, shared_test_pki, to_checker_path
from fixtures.nginx_server import NginxServer
from fixtures.sample_documents import dm_response


class DmServiceMixin:
    """Starts the service once per test class; write_dm_config points a workspace's checker at it."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pki = shared_test_pki()
        cls.document_root = tempfile.TemporaryDirectory(prefix="robustness-www-")
        (Path(cls.document_root.name) / "dm.json").write_bytes(dm_response())
        cls.server = NginxServer(cls.document_root.name, cls.pki.loopback).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.document_root.cleanup()
        super().tearDownClass()

    def write_dm_config(self, workspace, **settings) -> Path:
        """A config.json for the service with tracing on, plus settings."""
        return workspace.write_config(checker_config(
            self.server.url("dm.json"), to_checker_path(self.pki.ca_certificate), system_trace_enable=True,
            **settings))
