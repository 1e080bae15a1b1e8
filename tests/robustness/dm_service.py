"""The shared local DM service, with a config.json writer for the robustness tests."""

from pathlib import Path

from checker_runner import checker_config, to_checker_path
from fixtures import dm_service


class DmServiceMixin(dm_service.DmServiceMixin):
    """Starts the service once per test class; write_dm_config points a workspace's checker at it."""

    def write_dm_config(self, workspace, **settings) -> Path:
        """A config.json for the service with tracing on, plus settings."""
        return workspace.write_config(checker_config(
            self.server.url("dm.json"), to_checker_path(self.pki.ca_certificate), system_trace_enable=True,
            **settings))
