"""When the checker asks the server again: Retry-After, the back-off after server failures, the
minimum interval; its state file; and a server that uses none of it sees and prints what it always did."""

import email.utils
import json
import re
import time
import unittest

from checker_runner import (DEMO_VERSION_NUMBER, TIMESTAMP, CheckerTestCase, checker_config, shared_test_pki,
                            to_checker_path)
from fixtures.misbehaving_server import MisbehavingServer, close_before_headers, send_document
from fixtures.ports import free_port
from fixtures.sample_documents import dm_response

DM = dm_response()
HOUR = 3600
WEEK = 7 * 24 * HOUR


def utc_text(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


class Switchable:
    """A server handler whose answer the test changes between runs."""

    def __init__(self, handler):
        self.handler = handler

    def __call__(self, connection, path, stopping):
        self.handler(connection, path, stopping)


class CheckScheduleTest(CheckerTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = shared_test_pki()

    def setUp(self):
        super().setUp()
        self.answer = Switchable(send_document(DM))
        self.server = MisbehavingServer(self.answer, self.pki.loopback).start()
        self.addCleanup(self.server.stop)

    def run_checker(self, url=None, **settings):
        config = self.workspace.write_config(checker_config(
            url or self.server.url(), to_checker_path(self.pki.ca_certificate), **settings))
        return self.workspace.run(config=config)

    def assert_held(self, result, message):
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertRegex(result.stdout, "^" + TIMESTAMP + " INFO: no request made: " + message + "\n$")

    def assert_wait(self, reason, earliest, latest):
        state = self.workspace.read_state()
        self.assertEqual(state["wait_reason"], reason)
        self.assertGreaterEqual(state["no_request_before"], int(earliest) - 1)
        self.assertLessEqual(state["no_request_before"], int(latest) + 2)

    def test_a_429_or_503_with_retry_after_holds_the_next_runs(self):
        in_two_hours = int(time.time()) + 2 * HOUR
        # (status, Retry-After, reason stored, earliest and latest wait from now (None: until the
        # date given), trace line)
        cases = [
            (503, "3600", "server_asked", HOUR, HOUR, None),
            (429, email.utils.formatdate(in_two_hours, usegmt=True), "server_asked", None, None, None),
            (503, "99999999", "server_asked", WEEK, WEEK, "Retry-After capped at 7 days, value: [99999999]"),
            # Ignored: the 503 is then a server failure like any other.
            (503, "whenever", "backing_off", HOUR, 1.2 * HOUR,
             "Retry-After ignored, value: [whenever], reason: [does not parse]"),
        ]
        for status, value, reason, earliest, latest, traced in cases:
            with self.subTest(value):
                self.workspace.forget_state()
                self.answer.handler = send_document(b"busy", status, "Busy", headers=[f"Retry-After: {value}"])
                started = time.time()
                result = self.run_checker(system_trace_enable=True)
                self.assert_failure_line(result, re.escape(
                    "HTTP connection error: [HTTP error returned from server, response_code: "
                    f"[{status}]]"), 0)
                if earliest is None:
                    self.assert_wait(reason, in_two_hours, in_two_hours)
                else:
                    self.assert_wait(reason, started + earliest, time.time() + latest)
                if traced:
                    self.assertIn(traced, json.loads(self.workspace.trace_file.read_text()).values())
                until = utc_text(self.workspace.read_state()["no_request_before"])

                self.answer.handler = send_document(DM)
                asked = len(self.server.requests)
                if status == 503 and value == "3600":
                    time.sleep(1)
                result = self.run_checker(system_trace_enable=True)
                expected = (re.escape(f"the server asked to wait (Retry-After), until: [{until}]")
                            if reason == "server_asked" else
                            re.escape(f"backing off after server failures in a row: [1], until: [{until}]"))
                self.assertRegex(result.stdout, "^" + TIMESTAMP + " INFO: no request made: " + expected + "\n")
                self.assertEqual(len(self.server.requests), asked, "no request while the wait lasts")
                events = list(json.loads(self.workspace.trace_file.read_text()).values())
                self.assertEqual(events[-1], "no request made: " + expected.replace("\\", ""))
                self.assertFalse(self.workspace.version_file.exists())

    def test_server_failures_in_a_row_back_off_and_a_success_clears_them(self):
        self.answer.handler = send_document(b"oops", 500, "Oops")
        for failures in (1, 2):
            started = time.time()
            self.assertEqual(self.run_checker().returncode, 1)
            base = HOUR * 2 ** (failures - 1)
            self.assert_wait("backing_off", started + base, time.time() + 1.2 * base)
            self.assertEqual(self.workspace.read_state()["failures_in_row"], failures)
            if failures == 1:
                self.workspace.write_state(no_request_before=int(time.time()) - 1)  # the hour has passed
        until = utc_text(self.workspace.read_state()["no_request_before"])
        asked = len(self.server.requests)
        self.assert_held(self.run_checker(),
                         re.escape(f"backing off after server failures in a row: [2], until: [{until}]"))
        self.assertEqual(len(self.server.requests), asked)

        self.workspace.write_state(no_request_before=int(time.time()) - 1)
        self.answer.handler = send_document(DM)
        self.assert_stored_update(self.run_checker(), 0, DEMO_VERSION_NUMBER)
        state = self.workspace.read_state()
        self.assertEqual((state["failures_in_row"], state["wait_reason"]), (0, "none"))

    def test_only_a_server_that_took_the_connection_backs_off(self):
        cases = [("closed before any header", self.server.url(), close_before_headers(), True),
                 ("nothing listening", f"https://127.0.0.1:{free_port()}/dm.json", None, False)]
        for name, url, handler, backs_off in cases:
            with self.subTest(name):
                self.workspace.forget_state()
                self.answer.handler = handler
                first = self.run_checker(url=url)
                second = self.run_checker(url=url)
                self.assertEqual(first.returncode, 1, first.stdout)
                if backs_off:
                    self.assertRegex(second.stdout, r"INFO: no request made: backing off after server failures in a"
                                                    r" row: \[1\]")
                else:
                    # The same failure each time, but for libcurl's timing of it.
                    same_failure = [re.sub(r"after \d+ ms", "after N ms", run.stderr.split(" ", 1)[1])
                                    for run in (first, second)]
                    self.assertEqual(second.returncode, 1)
                    self.assertEqual(same_failure[1], same_failure[0], "every run tries again")

    def test_minimum_interval_after_a_successful_check(self):
        self.assert_stored_update(self.run_checker(min_check_interval_minutes=60), 0, DEMO_VERSION_NUMBER)
        last_success = self.workspace.read_state()["last_success"]
        asked = len(self.server.requests)
        self.assert_held(self.run_checker(min_check_interval_minutes=60), re.escape(
            "the last check was less than min_check_interval_minutes ago: [60], until: "
            f"[{utc_text(last_success + HOUR)}]"))
        self.assertEqual(len(self.server.requests), asked)
        for settings in ({}, {"min_check_interval_minutes": 0}):
            self.assertEqual(self.run_checker(**settings).returncode, 0)
        self.workspace.write_state(last_success=int(time.time()) - HOUR)
        self.assertEqual(self.run_checker(min_check_interval_minutes=60).returncode, 0)
        self.assertEqual(len(self.server.requests), asked + 3)

    def test_an_unreadable_state_counts_as_empty_and_is_replaced(self):
        cases = [("corrupt", "{broken", r"Error parsing JSON: .*"),
                 ("over the read limit", json.dumps({"pad": "x" * 9000}), r".*Read limit exceeded: \[8192\].*"),
                 ("an array", "[]", re.escape("Cannot extract 'featuredArtifact' from DM response"))]
        for name, content, cause in cases:
            with self.subTest(name):
                self.workspace.update_folder().mkdir(parents=True, exist_ok=True)
                self.workspace.state_file.write_text(content)
                self.assertEqual(self.run_checker(system_trace_enable=True).returncode, 0)
                events = list(json.loads(self.workspace.trace_file.read_text()).values())
                unreadable = [event for event in events if event.startswith("check state unreadable")]
                self.assertEqual(len(unreadable), 1, events)
                self.assertRegex(unreadable[0], r"^check state unreadable, taken as empty, error: \[" + cause + r"\]$")
                self.assertEqual(self.workspace.read_state()["failures_in_row"], 0)

    def test_a_server_without_retry_after_or_validators_sees_and_prints_what_it_always_did(self):
        version_path = to_checker_path(self.workspace.version_file)
        first = self.run_checker()
        self.assertEqual(first.stderr, "")
        self.assertRegex(first.stdout, "^" + TIMESTAMP + re.escape(
            f" INFO: new version descriptor obtained: [{version_path}] old version_number: [0],"
            f" new version number: [{DEMO_VERSION_NUMBER}]") + "\n$")
        self.assertEqual(self.run_checker().returncode, 0)
        second = self.run_checker()
        self.assertEqual((second.returncode, second.stdout, second.stderr), (0, "", ""))
        self.answer.handler = send_document(b"missing", 404, "Not Found")
        for _ in range(2):
            failed = self.run_checker()
            self.assertEqual((failed.returncode, failed.stdout), (1, ""))
            self.assertRegex(failed.stderr, "^" + TIMESTAMP + re.escape(
                " ERROR: HTTP connection error: [HTTP error returned from server, response_code: [404]];"
                f" local version, path: [{version_path}], version_number: [{DEMO_VERSION_NUMBER}]") + "\n$")
        self.assertEqual(self.server.requests, ["/dm.json"] * 5, "one request a run")
        conditional = [headers for headers in self.server.request_headers
                       if {"if-none-match", "if-modified-since"} & set(headers)]
        self.assertEqual(conditional, [])


if __name__ == "__main__":
    unittest.main()
