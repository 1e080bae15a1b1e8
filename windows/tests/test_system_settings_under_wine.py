"""checker.exe under Wine with what the user's Windows supplies: the chain engine's verdict on the
server's certificate when no CA file is configured, and the proxy of the user's Internet settings
(a fixed proxy, its bypass list, a configuration script, automatic detection).

The test roots go into the current user's ROOT store of the prefix through add_root_certificate.exe
(ADD_ROOT_CERTIFICATE_EXE); the Internet settings are written into the prefix's registry per case.
Both are removed again when a class ends, so the other Wine tests see the prefix as it was.

The proxied metadata service is named dm.quorvane.test, a name that only squid resolves, so a run
that gets its document there went through squid; squid's access log shows the tunnel."""

import hashlib
import json
import os
import re
import select
import socket
import ssl
import struct
import subprocess
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

from checker_runner import DEMO_VERSION_NUMBER, CheckerTestCase, shared_test_pki, to_checker_path
from fixtures.environment import without_proxy_variables
from fixtures.nginx_server import NginxServer
from fixtures.ports import free_port
from fixtures.sample_documents import dm_response
from fixtures.squid_proxy import SquidProxy
from fixtures.tls import PROXIED_HOST_NAME, ServerCertificate, make_incomplete_chain_pki, make_revocation_list

DM = dm_response(padding_elements=20)

CONNECTIONS_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
ROOT_CERTIFICATES_KEY = r"HKCU\Software\Microsoft\SystemCertificates\Root\Certificates"
# The flags of DefaultConnectionSettings, as the Internet options write them.
DIRECT, FIXED_PROXY, SCRIPT, DETECTION = 1, 2, 4, 8
# Wine's time to start checker.exe and let it end, on top of what the checker itself waits.
WINE_RUN_SLACK_SECONDS = 5.0


def connection_settings(flags, proxy="", bypass="", script="") -> bytes:
    """DefaultConnectionSettings, the one value Wine 8's WinHTTP reads the user's settings from
    (found by experiment): three DWORDs (0x46, a change counter, flags), then the proxy, the bypass
    list and the script address, each a DWORD length and that many bytes of text. With another
    first DWORD, or without the value, Wine reports automatic detection and nothing else."""
    value = struct.pack("<III", 0x46, 0, flags)
    for text in (proxy, bypass, script):
        value += struct.pack("<I", len(text)) + text.encode("ascii")
    return value


def wine(*arguments, check=True) -> subprocess.CompletedProcess:
    return subprocess.run(["wine", *arguments], capture_output=True, text=True, timeout=60, check=check,
                          stdin=subprocess.DEVNULL, env=without_proxy_variables(os.environ))


def set_internet_settings(flags, proxy="", bypass="", script=""):
    wine("reg", "add", CONNECTIONS_KEY, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY",
         "/d", connection_settings(flags, proxy, bypass, script).hex(), "/f")


def remove_internet_settings():
    wine("reg", "delete", CONNECTIONS_KEY, "/v", "DefaultConnectionSettings", "/f", check=False)


def certificate_thumbprint(pem_file: Path) -> str:
    der = ssl.PEM_cert_to_DER_cert(pem_file.read_text())
    return hashlib.sha1(der).hexdigest().upper()


def add_root_certificate(pem_file: Path) -> subprocess.CompletedProcess:
    return wine(os.environ["ADD_ROOT_CERTIFICATE_EXE"], to_checker_path(pem_file), check=False)


def remove_root_certificate(pem_file: Path):
    # Wine keeps the current user's added roots under their SHA-1 thumbprint.
    wine("reg", "delete", ROOT_CERTIFICATES_KEY + "\\" + certificate_thumbprint(pem_file), "/f", check=False)


def proxy_event(proxy: str, source: str) -> str:
    return f"EVENT_PROXY {proxy}, source: [{source}]"


def connection_error(cause: str) -> str:
    """The message of a transfer that ended before any header, naming libcurl's cause."""
    return re.escape("HTTP connection error: [") + cause + re.escape("\nHTTP connection error]")


def refusal(cause: str) -> str:
    """The message of a run whose server certificate Windows refused for cause (a pattern)."""
    return connection_error(re.escape("Certificate refused by Windows: [") + cause + r"\], error: \[[^\n]*\]\n"
                            r"[^\n]*SSL certificate problem: application verification failure")


class FileServer:
    """An HTTP server on 127.0.0.1 that serves the files put into `files` ({path: (content type,
    bytes)}) and records the paths asked for in `requests`."""

    def __init__(self):
        files, requests = {}, []

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the name http.server calls)
                requests.append(self.path)
                content_type, body = files.get(self.path, ("text/plain", b"not found"))
                self.send_response(200 if self.path in files else 404)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *arguments):
                pass

        self.files, self.requests = files, requests
        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path: str) -> str:
        return f"http://127.0.0.1:{self.server.server_address[1]}{path}"

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


class SilentServer:
    """Accepts connections on 127.0.0.1 and never answers (Wine's WinHTTP then waits forever)."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.connections = []
        self.stopping = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()
        self.url = f"http://127.0.0.1:{self.listener.getsockname()[1]}/proxy.pac"

    def _accept(self):
        while not self.stopping:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.connections.append(connection)

    def stop(self):
        self.stopping = True
        self.listener.close()
        for connection in self.connections:
            connection.close()


class TlsTunnelProxy:
    """An HTTPS proxy on 127.0.0.1: TLS with the given certificate, then one CONNECT tunnel per
    connection. `tunnels` records the targets it connected to."""

    def __init__(self, certificate):
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(certificate.certificate, certificate.key)
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.tunnels = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        connection.settimeout(10)
        try:
            with self.context.wrap_socket(connection, server_side=True) as client:
                head = b""
                while b"\r\n\r\n" not in head:
                    chunk = client.recv(4096)
                    if not chunk:
                        return
                    head += chunk
                target = head.split(b" ")[1].decode()
                host, port = target.rsplit(":", 1)
                with socket.create_connection((host, int(port)), timeout=10) as upstream:
                    self.tunnels.append(target)
                    client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                    self._relay(client, upstream)
        except (OSError, ValueError, IndexError):
            pass  # a client that refuses the certificate ends the handshake

    @staticmethod
    def _relay(client, upstream):
        while True:
            readable = [client] if client.pending() else select.select([client, upstream], [], [], 10)[0]
            if not readable:
                return
            for source in readable:
                data = source.recv(65536)
                if not data:
                    return
                (upstream if source is client else client).sendall(data)

    def stop(self):
        self.listener.close()


class SystemSettingsTestCase(CheckerTestCase):
    """Shared set-up: the test CA, a metadata service on 127.0.0.1 and a traced run."""

    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()
        document_root = tempfile.TemporaryDirectory(prefix="checker-wine-settings-www-")
        cls.addClassCleanup(document_root.cleanup)
        (Path(document_root.name) / "dm.json").write_bytes(DM)
        cls.document_root = document_root.name
        cls.direct_server = NginxServer(document_root.name, cls.pki.loopback).start()
        cls.addClassCleanup(cls.direct_server.stop)
        cls.direct_url = cls.direct_server.url("dm.json")
        cls.addClassCleanup(remove_internet_settings)
        cls.addClassCleanup(remove_root_certificate, cls.pki.ca_certificate)

    def run_traced(self, url, **settings):
        """One traced run from a clean per-user folder with a config of url and settings only (no
        CA file). Returns the result, its EVENT_PROXY events and how long it took."""
        for stale in (self.workspace.version_file, self.workspace.trace_file):
            stale.unlink(missing_ok=True)
        config = self.workspace.write_config({"remote_version_url": url, "system_trace_enable": True, **settings})
        started = time.monotonic()
        result = self.workspace.run(config=config)
        elapsed = time.monotonic() - started
        trace = self.workspace.trace_file.read_text() if self.workspace.trace_file.exists() else "{}"
        events = [event for event in json.loads(trace).values() if event.startswith("EVENT_PROXY")]
        return result, events, elapsed

    def wine_run_overhead(self) -> float:
        """Wine's start and end of a run, measured on a run that fails at once (nothing listens)."""
        return self.run_traced(f"https://127.0.0.1:{free_port()}/dm.json")[2]


class SystemTrustTest(SystemSettingsTestCase):
    def test_without_a_ca_file_the_roots_of_the_system_store_decide(self):
        remove_root_certificate(self.pki.ca_certificate)
        set_internet_settings(DIRECT)
        result, events, _ = self.run_traced(self.direct_url)
        self.assert_failure_line(result, refusal(re.escape("certificate chain ends in an untrusted root")), 0)
        self.assertEqual(events, [proxy_event("direct", "none")])

        added = add_root_certificate(self.pki.ca_certificate)
        self.assertEqual(added.returncode, 0, added.stderr)
        result, _, _ = self.run_traced(self.direct_url)
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)

        # A configured revocation list is still checked (by OpenSSL, with the system's roots).
        crl = make_revocation_list(self.workspace.root / "crl", ServerCertificate(
            self.pki.ca_certificate, self.pki.folder / "test-ca.key"), self.pki.loopback.certificate)
        result, _, _ = self.run_traced(self.direct_url, curl_crlfile_filename=to_checker_path(crl))
        self.assert_failure_line(result, connection_error(r"[^\n]*SSL certificate problem: certificate revoked"), 0)

        # A configured CA file is the only trust, and one that is missing is named.
        missing = self.workspace.root / "certs" / "missing-ca.pem"
        result, _, _ = self.run_traced(self.direct_url, curl_cainfo_filename=to_checker_path(missing))
        self.assert_failure_line(result, re.escape(f"Cannot open file: [{to_checker_path(missing)}]") + r".*", 0)


class ChainEngineTest(SystemSettingsTestCase):
    """Servers named localhost that send only their own certificate, issued by an intermediate
    that a loopback HTTP server hands out at the certificate's issuer address; the root is in the
    ROOT store."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.issuer_server = FileServer()
        cls.addClassCleanup(cls.issuer_server.stop)
        folder = tempfile.TemporaryDirectory(prefix="checker-wine-chain-")
        cls.addClassCleanup(folder.cleanup)
        cls.chain = make_incomplete_chain_pki(folder.name, cls.issuer_server.url("/intermediate.cer"))
        cls.issuer_server.files["/intermediate.cer"] = ("application/pkix-cert",
                                                        cls.chain.intermediate_der.read_bytes())
        cls.addClassCleanup(remove_root_certificate, cls.chain.root)
        added = add_root_certificate(cls.chain.root)
        if added.returncode != 0:
            raise RuntimeError("add_root_certificate.exe failed: " + added.stderr)
        set_internet_settings(DIRECT)

    def serve(self, certificate) -> str:
        """Starts nginx with certificate alone and returns the document's address at localhost."""
        server = NginxServer(self.document_root, certificate).start()
        self.addCleanup(server.stop)
        return server.url("dm.json", "localhost")

    def test_the_missing_intermediate_is_fetched_from_the_issuer_address(self):
        url = self.serve(self.chain.localhost)
        result, _, _ = self.run_traced(url)
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertIn("/intermediate.cer", self.issuer_server.requests)

        # A configured CA file stays the only trust, decided by OpenSSL, which fetches nothing.
        result, _, _ = self.run_traced(url, curl_cainfo_filename=to_checker_path(self.chain.root))
        self.assert_failure_line(
            result, connection_error(r"[^\n]*SSL certificate problem: unable to get local issuer certificate"), 0)

    def test_an_https_proxy_is_judged_by_the_chain_engine_too(self):
        url = self.serve(self.chain.localhost)
        for name, certificate, expected in [
            ("trusted", self.chain.localhost, None),
            ("issued for another name", self.chain.other_host,
             re.escape("the certificate is not valid for host: [localhost]")),
        ]:
            with self.subTest(name):
                proxy = TlsTunnelProxy(certificate)
                self.addCleanup(proxy.stop)
                result, _, _ = self.run_traced(url, curl_proxy=f"https://localhost:{proxy.port}")
                if expected is None:
                    self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
                    self.assertEqual(proxy.tunnels, [url.split("/")[2]])
                else:
                    self.assert_failure_line(result, refusal(expected), 0)
                    self.assertEqual(proxy.tunnels, [])

    def test_an_issuer_address_that_never_answers_costs_at_most_the_time_limit(self):
        # Wine's chain engine ignores its fetch time-out against a server that never answers; the
        # checker stops waiting for the chain when the run's one limit is used up.
        wine_overhead = self.wine_run_overhead()
        silent = SilentServer()
        self.addCleanup(silent.stop)
        folder = tempfile.TemporaryDirectory(prefix="checker-wine-stalled-chain-")
        self.addCleanup(folder.cleanup)
        stalled = make_incomplete_chain_pki(folder.name, silent.url.replace("/proxy.pac", "/intermediate.cer"))
        limit_millis = 3000
        result, _, elapsed = self.run_traced(self.serve(stalled.localhost), curl_timeout_millis=limit_millis)
        self.assert_failure_line(result, connection_error(
            re.escape("Certificate chain not built within the time limit, milliseconds: [") + r"\d+\]\n"
            r"[^\n]*SSL certificate problem: application verification failure"), 0)
        self.assertFalse(self.workspace.version_file.exists())
        self.assertLess(elapsed, limit_millis / 1000 + 1.0 + wine_overhead)

    def test_a_refused_certificate_names_its_cause_and_nothing_is_stored(self):
        cases = [
            ("issued for another name", self.chain.other_host,
             re.escape("the certificate is not valid for host: [localhost]")),
            ("from a root that is not in the store", self.pki.unknown_ca,
             re.escape("certificate chain ends in an untrusted root")),
            ("expired", self.chain.expired, re.escape("the certificate has expired")),
        ]
        for name, certificate, cause in cases:
            with self.subTest(name):
                result, _, _ = self.run_traced(self.serve(certificate))
                self.assert_failure_line(result, refusal(cause), 0)
                self.assertFalse(self.workspace.version_file.exists())


class InternetSettingsTest(SystemSettingsTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        added = add_root_certificate(cls.pki.ca_certificate)
        if added.returncode != 0:
            raise RuntimeError("add_root_certificate.exe failed: " + added.stderr)
        cls.proxied_server = NginxServer(cls.document_root, cls.pki.proxied_host).start()
        cls.addClassCleanup(cls.proxied_server.stop)
        cls.proxied_url = cls.proxied_server.url("dm.json", PROXIED_HOST_NAME)
        cls.proxy = SquidProxy(hosts={PROXIED_HOST_NAME: "127.0.0.1"}).start()
        cls.addClassCleanup(cls.proxy.stop)
        cls.proxy_address = f"127.0.0.1:{cls.proxy.port}"
        # The script names squid only when it is asked about scheme, host and port alone.
        proxied_origin = f"https://{PROXIED_HOST_NAME}:{cls.proxied_server.port}/"
        cls.script_server = FileServer()
        cls.addClassCleanup(cls.script_server.stop)
        cls.script_server.files["/proxy.pac"] = ("application/x-ns-proxy-autoconfig", (
            'function FindProxyForURL(url, host) {\n'
            f'    if (url == "{proxied_origin}") return "PROXY {cls.proxy_address}";\n'
            '    return "DIRECT";\n'
            '}\n').encode())
        cls.silent_server = SilentServer()
        cls.addClassCleanup(cls.silent_server.stop)


    def assert_through_proxy(self, url, expected_events, **settings):
        position = len(self.proxy.access_log())
        result, events, _ = self.run_traced(url, **settings)
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertEqual(events, expected_events)
        connect = f"CONNECT {PROXIED_HOST_NAME}:{self.proxied_server.port} "
        self.assertRegex(self.proxy.log_since(position, connect), r"TCP_TUNNEL/200 \d+ " + re.escape(connect))

    def assert_direct(self, source, **settings):
        """A run against the service on 127.0.0.1 that succeeds without squid; returns its time."""
        position = len(self.proxy.access_log())
        served_before = self.direct_server.access_log().count("/dm.json 200 ")
        result, events, elapsed = self.run_traced(self.direct_url, **settings)
        self.assert_stored_update(result, 0, DEMO_VERSION_NUMBER)
        self.assertEqual(events, [proxy_event("direct", source)])
        self.assertEqual(self.direct_server.access_log().count("/dm.json 200 "), served_before + 1)
        self.assertEqual(self.proxy.log_since(position, timeout=0.5), "")
        return elapsed

    def test_only_the_address_configured_the_system_supplies_trust_and_proxy(self):
        # What a user's machine gives: the CA in the system store, the proxy in the Internet
        # settings; config.json names the address (and asks for the trace).
        set_internet_settings(DIRECT | FIXED_PROXY, self.proxy_address, "<local>")
        self.assert_through_proxy(self.proxied_url, [proxy_event(self.proxy_address, "system fixed")])

    def test_the_https_entry_of_a_proxy_list_per_scheme(self):
        dead = f"127.0.0.1:{free_port()}"
        set_internet_settings(DIRECT | FIXED_PROXY, f"http={dead};https={self.proxy_address};ftp={dead}",
                              "<local>;*.example.invalid")
        self.assert_through_proxy(self.proxied_url, [proxy_event(self.proxy_address, "system fixed")])
        # A list without an entry for https: direct, and the fixed settings decided that.
        set_internet_settings(DIRECT | FIXED_PROXY, f"http={dead};ftp={dead}")
        self.assert_direct("system fixed")

    def test_bypass_list_naming_the_host_goes_direct(self):
        set_internet_settings(DIRECT | FIXED_PROXY, self.proxy_address, "*.example.invalid;127.0.0.1")
        self.assert_direct("system fixed")
        # An entry with a port matches that port only.
        set_internet_settings(DIRECT | FIXED_PROXY, self.proxy_address, f"127.0.0.1:{self.direct_server.port}")
        self.assert_direct("system fixed")

    def test_configuration_script(self):
        set_internet_settings(DIRECT | SCRIPT, script=self.script_server.url("/proxy.pac"))
        self.assert_through_proxy(self.proxied_url, [proxy_event(self.proxy_address, "system script")])
        # The same script says DIRECT for any other host.
        self.assert_direct("system script")

    def test_failed_detection_and_script_pass_on_to_the_fixed_proxy(self):
        # Detection finds nothing under Wine (it fails in about 75 ms); a script whose server is
        # down fails too: the fixed proxy decides.
        missing_script = f"http://127.0.0.1:{free_port()}/proxy.pac"
        set_internet_settings(DIRECT | DETECTION | SCRIPT | FIXED_PROXY, self.proxy_address, script=missing_script)
        self.assert_through_proxy(self.proxied_url, [proxy_event(self.proxy_address, "system fixed")])
        set_internet_settings(DIRECT | DETECTION)
        self.assert_direct("none")

    def test_stalled_script_and_stalled_service_end_within_the_time_limit(self):
        set_internet_settings(DIRECT)
        wine_overhead = self.wine_run_overhead()

        # Wine's WinHttpGetProxyForUrl ignores its time-outs against a server that never
        # answers; the lookup and the transfer share the one limit all the same.
        stalled_service = SilentServer()
        self.addCleanup(stalled_service.stop)
        set_internet_settings(DIRECT | SCRIPT, script=self.silent_server.url)
        limit_millis = 3000
        stalled_url = stalled_service.url.replace("http://", "https://").replace("/proxy.pac", "/dm.json")
        result, events, elapsed = self.run_traced(stalled_url, curl_timeout_millis=limit_millis)
        self.assert_failure_line(result, connection_error(r"Timeout was reached[^\n]*"), 0)
        self.assertEqual(events, [proxy_event("direct", "none")])
        self.assertGreaterEqual(elapsed, limit_millis / 1000)
        self.assertLess(elapsed, limit_millis / 1000 + 1.0 + wine_overhead)
