#!/usr/bin/env python3
"""Runs the built notifier on the stand-in and checks its exit status, trace and what it showed.

The program is named by the NOTIFIER environment variable. Every run gets its own data folder
(XDG_DATA_HOME), lock folder (XDG_RUNTIME_DIR) and a recording fake xdg-open first on PATH.
NOTIFIER_WRAPPER, when set, is a command put in front of the program (for example a memory checker).
"""
import json
import os
import re
import shlex
import shutil
import subprocess
import tempfile
import time
import unittest

from fixtures.release import PACKAGE_NAME, SHIPPED_VERSION_NUMBER, VENDOR

NOTIFIER = os.environ.get("NOTIFIER", "")
WRAPPER = shlex.split(os.environ.get("NOTIFIER_WRAPPER", ""))
PACKAGE = PACKAGE_NAME
SHIPPED = SHIPPED_VERSION_NUMBER
ADDRESS = "https://quorvane.example/openjdk/download"
BALLOON = "OpenJDK version 1.8.0.212-2.b05 is available for download"
HEADER = "A newer OpenJDK package is ready"
TEXT = "It replaces the installed runtime."
KEY_SHAPE = re.compile(r"^\d{4}-\d{2}-\d{2}_\d{2}:\d{2}:\d{2}_(\d+)$")
RUN_LIMIT = 60
# The run's 8 hours in one second, where nobody reacts.
EIGHT_HOURS_IN_A_SECOND = {"NOTIFIER_TIMER_DIVISOR": "28800"}

FAKE_XDG_OPEN = """#!/bin/sh
printf '%s\\n' "$*" >> "$XDG_OPEN_RECORD"
exit "${XDG_OPEN_STATUS:-0}"
"""

GO_START = ["'GO' mode proceeding", "EVENT_PROCEED 0", "'WM_CREATE' event received", "is due to add notification",
            "balloon prepared, info flags: [180], picture: [128 x 128, 32 bits]",
            "'Shell_NotifyIconW' version, result: [1]", "is due to start message loop"]
WINDOW_END = ["'WM_DESTROY' event received", "is due to delete notification", "'Shell_NotifyIconW' delete, result: [1]"]
DIALOG_OPEN = ["is due to show update dialog", "non-proceed dialog event received, code: [7]",
               "non-proceed dialog event received, code: [0]"]
DIALOG_CANCEL = ["non-proceed dialog event received, code: [2]", "non-proceed dialog event received, code: [5]",
                 "update dialog closed, result: [0]"]


class Run:
    def __init__(self, status, stderr, events):
        self.status = status
        self.shown = [line[len("standin: "):] for line in stderr.splitlines() if line.startswith("standin: ")]
        self.events = events

    def showed(self, prefix):
        return [line for line in self.shown if line.startswith(prefix)]


class NotifierTestCase(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.access(NOTIFIER, os.X_OK), "NOTIFIER must name the built notifier")
        self.root = tempfile.mkdtemp(prefix="notifier-test-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.data = os.path.join(self.root, "data")
        self.update = os.path.join(self.data, "quorvane", PACKAGE, "update")
        os.makedirs(self.update)
        self.runtime = os.path.join(self.root, "run")
        os.mkdir(self.runtime)
        tools = os.path.join(self.root, "bin")
        os.mkdir(tools)
        with open(os.path.join(tools, "xdg-open"), "w") as script:
            script.write(FAKE_XDG_OPEN)
        os.chmod(os.path.join(tools, "xdg-open"), 0o755)
        self.opened_record = os.path.join(self.root, "opened.txt")
        self.environment = dict(os.environ, XDG_DATA_HOME=self.data, XDG_RUNTIME_DIR=self.runtime,
                                PATH=tools + os.pathsep + os.environ.get("PATH", ""),
                                XDG_OPEN_RECORD=self.opened_record)
        self.environment.pop("NOTIFIER_USER_ACTIONS", None)
        self.trace_path = os.path.join(self.update, "trace.json")

    def write_version(self, number, balloon=BALLOON, header=HEADER, text=TEXT):
        self.write_version_text(json.dumps({"version_number": number, "ui_balloon_text": balloon,
                                            "ui_update_header": header, "ui_update_text": text}))

    def write_version_text(self, text):
        with open(os.path.join(self.update, "version.json"), "w", encoding="utf-8") as document:
            document.write(text)

    def start(self, actions=None, arguments=("-v",), program=None, **environment):
        env = dict(self.environment, **environment)
        if actions is not None:
            env["NOTIFIER_USER_ACTIONS"] = actions
        return subprocess.Popen([*WRAPPER, program or NOTIFIER, *arguments], env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    def finish(self, process):
        _, stderr = process.communicate(timeout=RUN_LIMIT)
        return Run(process.returncode, stderr, self.read_trace() if os.path.exists(self.trace_path) else None)

    def run_notifier(self, actions=None, **options):
        return self.finish(self.start(actions, **options))

    def read_trace(self):
        with open(self.trace_path, encoding="utf-8") as document:
            events = json.load(document)
        numbers = [int(KEY_SHAPE.match(key).group(1)) for key in events]
        self.assertEqual(numbers, list(range(1, len(numbers) + 1)), "keys are timestamps with a running count")
        return list(events.values())

    def opened(self):
        if not os.path.exists(self.opened_record):
            return []
        with open(self.opened_record) as record:
            return record.read().splitlines()

    def assert_in_order(self, events, expected):
        """The expected events appear one right after the other somewhere in events."""
        for start in range(len(events) - len(expected) + 1):
            if events[start:start + len(expected)] == expected:
                return
        self.fail("events %r not found in order in %r" % (expected, events))

    def assert_ends_with(self, events, expected):
        self.assertEqual(events[-len(expected):], expected)

    def assert_nogo(self, run):
        self.assertEqual(run.status, 0)
        self.assertEqual(run.showed("icon added"), [])
        self.assert_ends_with(run.events, ["'NOGO' mode exiting", "EVENT_PROCEED 1"])


class NogoTests(NotifierTestCase):
    def test_missing_version_file_is_traced_as_error(self):
        run = self.run_notifier()
        self.assert_nogo(run)
        version_path = os.path.join(self.update, "version.json")
        self.assertIn("ERROR: Cannot open file: [" + version_path + "], with mode: [r], error: [", run.events[-3])

    def test_stored_number_not_greater_gives_nogo_without_error(self):
        for document in [{"version_number": SHIPPED}, {"version_number": SHIPPED - 1}, {},
                         {"version_number": -1}, {"version_number": str(SHIPPED + 1)}]:
            with self.subTest(document=document):
                self.write_version_text(json.dumps(document))
                run = self.run_notifier()
                self.assert_nogo(run)
                self.assertFalse([event for event in run.events if event.startswith("ERROR: ")])

    def test_unusable_documents_give_nogo_with_error(self):
        oversized = json.dumps({"version_number": SHIPPED + 1, "ui_update_text": "x" * 33000})
        cases = {"not JSON": "{version", "an array": "[]", "a number": "12", "oversized": oversized,
                 "duplicate key": '{"version_number": 1, "version_number": 2}'}
        for name, text in cases.items():
            with self.subTest(name):
                self.write_version_text(text)
                run = self.run_notifier()
                self.assert_nogo(run)
                self.assertTrue(run.events[-3].startswith("ERROR: "), run.events[-3])
        with self.subTest("a folder"):
            os.remove(os.path.join(self.update, "version.json"))
            os.mkdir(os.path.join(self.update, "version.json"))
            run = self.run_notifier()
            self.assert_nogo(run)
            self.assertTrue(run.events[-3].startswith("ERROR: "), run.events[-3])


class GoTests(NotifierTestCase):
    def test_an_unanswered_icon_stays_until_the_8_hour_end(self):
        self.write_version(SHIPPED + 1)
        started = time.monotonic()
        run = self.run_notifier(**EIGHT_HOURS_IN_A_SECOND)
        self.assertGreaterEqual(time.monotonic() - started, 1)
        self.assertEqual(run.status, 0)
        version_path = os.path.join(self.update, "version.json")
        icon_path = os.path.join(os.path.dirname(NOTIFIER), "icon.bmp")
        self.assertEqual(run.events[1:], [
            "tracer initialized",
            # No policy values on POSIX.
            "EVENT_POLICY key: [SOFTWARE\\Policies\\%s\\UpdateNotifier]" % VENDOR,
            "EVENT_POLICY CheckForUpdates not configured", "EVENT_POLICY ShowNotifications not configured",
            "EVENT_POLICY UpdateCheckUrl not configured", "EVENT_POLICY AllowUserChoices not configured",
            "EVENT_POLICY CheckIntervalMinutes not configured",
            "shipped version extracted, version_number: [%d]" % SHIPPED, "EVENT_SHIPPEDVERSION %d" % SHIPPED,
            "loading version from file, path: [%s]" % version_path, "EVENT_LOCALPATH " + version_path,
            "version loaded successfully",
            "version contents, balloon_text: [%s]" % BALLOON, "EVENT_CONTENTBALLOON " + BALLOON,
            "version contents, update_header: [%s]" % HEADER, "EVENT_CONTENTUPDATEHEADER " + HEADER,
            "version contents, update_text: [%s]" % TEXT, "EVENT_CONTENTUPDATETEXT " + TEXT,
            "version contents, version_number: [%d]" % (SHIPPED + 1), "EVENT_CONTENTVERSION %d" % (SHIPPED + 1),
            "balloon icon resolved, path: [%s]" % icon_path,
            *GO_START,
            "'NIN_BALLOONTIMEOUT' event received", "balloon gone, the icon stays until it is selected",
            "icon not answered in 8 hours, ending", *WINDOW_END])
        self.assertRegex(run.events[0], r"^EVENT_PID \d+$")
        self.assertEqual(run.showed("icon added"), ["icon added, tooltip: [quorvane OpenJDK update]"])
        self.assertEqual(run.showed("balloon shown"),
                         ["balloon shown, title: [quorvane OpenJDK update available], text: [%s]" % BALLOON])
        self.assertEqual(run.showed("icon removed"), ["icon removed, tooltip: [quorvane OpenJDK update]"])
        self.assertEqual(run.showed("task dialog"), [])

    def test_balloon_text_fits_up_to_255_utf16_units(self):
        # The last character takes two UTF-16 units.
        for length, status in [(255, 0), (256, 1)]:
            with self.subTest(length=length):
                balloon = "a" * (length - 2) + "\U0001F680"
                self.write_version(SHIPPED + 1, balloon=balloon)
                run = self.run_notifier("session-end")
                self.assertEqual(run.status, status)
                if status == 0:
                    self.assertEqual(run.showed("balloon shown"),
                                     ["balloon shown, title: [quorvane OpenJDK update available], text: [%s]" % balloon])
                else:
                    self.assertEqual(run.showed("icon added"), [])
                    self.assertEqual(run.events[-6:-1], [
                        "'WM_CREATE' event received", "is due to add notification", "'WM_DESTROY' event received",
                        "is due to delete notification", "'Shell_NotifyIconW' delete, result: [0]"])
                    self.assertTrue(run.events[-1].startswith("'CreateWindowExW' fail, error: ["))

    def test_empty_balloon_text_adds_the_icon_without_a_balloon(self):
        self.write_version(SHIPPED + 1, balloon="")
        run = self.run_notifier("select,cancel")
        self.assertEqual(run.status, 0)
        self.assertEqual(run.showed("icon added"), ["icon added, tooltip: [quorvane OpenJDK update]"])
        self.assertEqual(run.showed("balloon"), [])
        self.assert_ends_with(run.events, ["'NIN_SELECT' event received", *DIALOG_OPEN, *DIALOG_CANCEL, *WINDOW_END])

    def test_unloadable_icon_bmp_ends_with_status_1(self):
        self.write_version(SHIPPED + 1)
        folder = os.path.join(self.root, "installed")
        os.mkdir(folder)
        program = shutil.copy(NOTIFIER, folder)
        with open(os.path.join(os.path.dirname(NOTIFIER), "icon.bmp"), "rb") as picture:
            beginning = picture.read(5000)
        cases = [("missing", None, "code: [2], message: [The system cannot find the file specified.]"),
                 ("not a bitmap", b"GIF89a not a bitmap", "code: [13], message: [The data is invalid.]"),
                 ("cut short", beginning, "code: [13], message: [The data is invalid.]")]
        for name, content, error in cases:
            with self.subTest(name):
                if content is not None:
                    with open(os.path.join(folder, "icon.bmp"), "wb") as picture:
                        picture.write(content)
                run = self.run_notifier("session-end", program=program)
                self.assertEqual(run.status, 1)
                self.assertEqual(run.showed("icon added") + run.showed("balloon"), [])
                self.assertIn("'LoadImageW' fail, error: [%s]" % error, run.events)
                self.assertTrue(run.events[-1].startswith("'CreateWindowExW' fail, error: ["))
                self.assertNotIn("is due to start message loop", run.events)


class NoticeStaysTests(NotifierTestCase):
    """The notice stays after its balloon is gone until the user selects it or the session ends."""

    def test_the_icon_waits_for_the_user_or_the_session(self):
        self.write_version(SHIPPED + 1)
        balloon_line = "balloon shown, title: [quorvane OpenJDK update available], text: [%s]" % BALLOON
        gone = "balloon gone, the icon stays until it is selected"
        cases = [
            # name, actions, events that end the trace, balloons shown
            ("selected after the time-out", "timeout,select,cancel",
             ["'NIN_BALLOONTIMEOUT' event received", gone, "'NIN_SELECT' event received", *DIALOG_OPEN,
              *DIALOG_CANCEL, *WINDOW_END], 1),
            ("hidden while the user is busy, then shown again", "hidden,sleep,session-end",
             ["'NIN_BALLOONHIDE' event received",
              "balloon not seen, user notification state: [presentation mode], next try in 60 s",
              "balloon shown again", "'Shell_NotifyIconW' version, result: [1]", "'WM_ENDSESSION' event received",
              *WINDOW_END], 2),
            ("the session ends", "session-end", [*GO_START, "'WM_ENDSESSION' event received", *WINDOW_END], 1),
            ("the session ends with the dialog open", "select,session-end",
             ["'NIN_SELECT' event received", *DIALOG_OPEN, "'WM_ENDSESSION' event received", *WINDOW_END,
              "non-proceed dialog event received, code: [5]", "update dialog closed, result: [0]"], 1),
        ]
        for name, actions, ending, balloons in cases:
            with self.subTest(name):
                # 8 hours in 4.8 s, the balloon's next try after 10 ms.
                run = self.run_notifier(actions, NOTIFIER_TIMER_DIVISOR="6000")
                self.assertEqual(run.status, 0)
                self.assert_ends_with(run.events, ending)
                self.assertEqual(run.showed("balloon shown"), [balloon_line] * balloons)
                self.assertEqual(run.showed("icon added"), ["icon added, tooltip: [quorvane OpenJDK update]"])
                self.assertEqual(run.showed("icon removed"), ["icon removed, tooltip: [quorvane OpenJDK update]"])


class DialogTests(NotifierTestCase):
    def setUp(self):
        super().setUp()
        self.write_version(SHIPPED + 1)

    def test_select_balloon_click_and_context_menu_open_the_dialog(self):
        for action, event in [("select", "NIN_SELECT"), ("balloon", "NIN_BALLOONUSERCLICK"),
                              ("context", "WM_CONTEXTMENU")]:
            with self.subTest(action):
                run = self.run_notifier(action + ",cancel")
                self.assertEqual(run.status, 0)
                self.assert_ends_with(run.events, [*GO_START, "'%s' event received" % event, *DIALOG_OPEN,
                                                    *DIALOG_CANCEL, *WINDOW_END])
                self.assertEqual(run.showed("task dialog shown"), [
                    "task dialog shown, title: [quorvane OpenJDK update available], header: [%s], icon: [121], "
                    "link: [%s], buttons: [Remind me later, Skip this version, Cancel]" % (HEADER, ADDRESS)])

    def test_second_click_key_and_time_out_while_the_dialog_is_open(self):
        run = self.run_notifier("key,context,timeout,cancel")
        self.assertEqual(run.status, 0)
        self.assert_ends_with(run.events, [
            *GO_START, "'NIN_KEYSELECT' event received", *DIALOG_OPEN,
            "'WM_CONTEXTMENU' event received", "additional update dialog prevented",
            "'NIN_BALLOONTIMEOUT' event received", *DIALOG_CANCEL, *WINDOW_END])
        self.assertEqual(len(run.showed("task dialog shown")), 1)
        self.assertEqual(run.showed("window brought to the front"),
                         ["window brought to the front, title: [quorvane OpenJDK update available]"])

    def test_expanding_shows_the_update_text(self):
        run = self.run_notifier("balloon,expand,close")
        self.assertEqual(run.status, 0)
        self.assert_in_order(run.events, ["non-proceed dialog event received, code: [10]", *DIALOG_CANCEL])
        self.assertEqual(run.showed("task dialog expanded"), [
            "task dialog expanded, button: [To proceed with download and installation please follow a link below], "
            "text: [%s]" % TEXT])

    def test_unattended_dialog_is_cancelled(self):
        run = self.run_notifier("select")
        self.assertEqual(run.status, 0)
        self.assert_ends_with(run.events, [*DIALOG_OPEN, *DIALOG_CANCEL, *WINDOW_END])

    def test_link_opens_the_download_page(self):
        run = self.run_notifier("balloon,link")
        self.assertEqual(run.status, 0)
        self.assertEqual(self.opened(), [ADDRESS])
        # The dialog ends through its own Cancel button once the link is done with.
        self.assert_ends_with(run.events, [
            "'NIN_BALLOONUSERCLICK' event received", *DIALOG_OPEN, "update proceed selected", *DIALOG_CANCEL,
            *WINDOW_END])
        self.assertEqual(run.showed("task dialog shown, title: [quorvane OpenJDK update error]"), [])

    def test_failing_browser_shows_the_error_dialog_then_ends_normally(self):
        run = self.run_notifier("balloon,link,close", XDG_OPEN_STATUS="3")
        self.assertEqual(run.status, 0)
        self.assertEqual(self.opened(), [ADDRESS])
        self.assert_ends_with(run.events, [
            "update proceed selected", "'ShellExecuteExW' fail, error: [code: [1155], message: [No application is "
            "associated with the specified file for this operation.]]", *DIALOG_CANCEL, *WINDOW_END])
        self.assertEqual(run.showed("task dialog shown, title: [quorvane OpenJDK update error]"), [
            "task dialog shown, title: [quorvane OpenJDK update error], header: [Default web-browser launch error "
            "occured, update application will now exit], icon: [error]"])
        self.assertEqual(run.showed("task dialog closed, title: [quorvane OpenJDK update error]"), [
            "task dialog closed, title: [quorvane OpenJDK update error], button: [8]"])

    def test_link_markup_in_the_stored_text_is_not_opened(self):
        self.write_version(SHIPPED + 1, text='Read <a href="file:///etc/passwd">this</a> first.')
        run = self.run_notifier("balloon,expand,link:2,cancel")
        self.assertEqual(run.status, 0)
        self.assertEqual(self.opened(), [])
        self.assertIn("unexpected link not opened, href: [file:///etc/passwd]", run.events)
        self.assertNotIn("update proceed selected", run.events)
        self.assert_ends_with(run.events, [*DIALOG_CANCEL, *WINDOW_END])


class ChoiceTests(NotifierTestCase):
    """Remind me later and Skip this version, kept in choice.json beside version.json."""

    def setUp(self):
        super().setUp()
        self.write_version(SHIPPED + 1)
        self.choice_path = os.path.join(self.update, "choice.json")

    def read_choice(self):
        with open(self.choice_path, "rb") as document:
            text = document.read()
        self.assertTrue(text.endswith(b"}") and b"\r\n" in text and b"\n" not in text.replace(b"\r\n", b""))
        return json.loads(text)

    def write_choice(self, text):
        with open(self.choice_path, "w", encoding="utf-8") as document:
            document.write(text)

    def assert_held_back(self, run, reason):
        self.assert_nogo(run)
        self.assertIn(reason, run.events)

    def test_skip_holds_back_that_version_only(self):
        run = self.run_notifier("select,skip")
        self.assertEqual(run.status, 0)
        self.assertIn("task dialog closed, title: [quorvane OpenJDK update available], button: [102]", run.shown)
        self.assertIn("'Skip this version' selected", run.events)
        self.assertEqual(self.read_choice(), {"skipped_version_number": SHIPPED + 1})
        self.assert_held_back(self.run_notifier("session-end"),
                              "'NOGO' mode: skipped by the user, version_number: [%d]" % (SHIPPED + 1))
        self.write_version(SHIPPED + 2)
        self.assertEqual(len(self.run_notifier("session-end").showed("icon added")), 1)

    def test_remind_holds_back_that_version_for_24_hours(self):
        before = int(time.time())
        run = self.run_notifier("balloon,remind")
        self.assertEqual(run.status, 0)
        self.assertIn("'Remind me later' selected", run.events)
        choice = self.read_choice()
        self.assertEqual(choice["reminded_version_number"], SHIPPED + 1)
        self.assertTrue(before + 86400 <= choice["remind_until"] <= int(time.time()) + 86400)
        for hours_later, shown in [(1, False), (25, True)]:
            with self.subTest(hours_later=hours_later):
                # The clock moves on: the reminder falls due that much sooner.
                until = choice["remind_until"] - hours_later * 3600
                self.write_choice(json.dumps(dict(choice, remind_until=until)))
                later = self.run_notifier("session-end")
                if shown:
                    self.assertEqual(len(later.showed("icon added")), 1)
                else:
                    reason = "'NOGO' mode: reminded later until: [%s]" % time.strftime(
                        "%Y-%m-%dT%H:%M:%SZ", time.gmtime(until))
                    self.assert_held_back(later, reason)
        self.write_version(SHIPPED + 2)
        self.write_choice(json.dumps(choice))
        self.assertEqual(len(self.run_notifier("session-end").showed("icon added")), 1)

    def test_a_choice_file_that_cannot_be_used_counts_as_none(self):
        now = int(time.time())
        cases = [
            ("cut short", '{"skipped_version_number": ', True),
            ("too large", json.dumps({"skipped_version_number": SHIPPED + 1, "padding": "x" * 5000}), True),
            ("not a number", json.dumps({"skipped_version_number": str(SHIPPED + 1)}), True),
            ("a reminder without its time", json.dumps({"reminded_version_number": SHIPPED + 1}), True),
            # The clock was set back since the click: later never lasts longer than 24 hours.
            ("a reminder two days ahead", json.dumps({"reminded_version_number": SHIPPED + 1,
                                                      "remind_until": now + 2 * 86400}), False),
        ]
        for name, text, traced in cases:
            with self.subTest(name):
                self.write_choice(text)
                run = self.run_notifier("session-end")
                self.assertEqual(run.status, 0)
                self.assertEqual(len(run.showed("icon added")), 1)
                self.assertEqual(any(event.startswith("user choice not used, path: [%s], error: [" % self.choice_path)
                                     for event in run.events), traced)
        # The next choice replaces the file.
        self.write_choice('{"skipped_version_number": ')
        self.assertEqual(self.run_notifier("select,skip").status, 0)
        self.assertEqual(self.read_choice(), {"skipped_version_number": SHIPPED + 1})

    def test_a_choice_that_cannot_be_kept_fails_the_run(self):
        os.mkdir(self.choice_path)
        run = self.run_notifier("select,skip")
        self.assertEqual(run.status, 1)
        self.assertTrue(run.events[-1].startswith("ERROR: "))
        self.assertEqual(run.showed("icon removed"), ["icon removed, tooltip: [quorvane OpenJDK update]"])


class TaskbarTests(NotifierTestCase):
    """The taskbar comes late at log-on, restarts, or never comes."""

    def setUp(self):
        super().setUp()
        self.write_version(SHIPPED + 1)

    def test_late_restarted_and_missing_taskbar(self):
        balloon_line = "balloon shown, title: [quorvane OpenJDK update available], text: [%s]" % BALLOON
        cases = [
            # name, actions, environment, status, balloons shown, a dialog opened
            # Between the retries at 3 and 7 s: a taskbar that comes just as a retry is due is also
            # announced by "TaskbarCreated", and the icon is then added (and its balloon shown) twice.
            ("5 s late", "sleep," * 6 + "session-end", {"NOTIFIER_TASKBAR_DELAY_MS": "5000"}, 0, 1, False),
            ("restarted before the click", "taskbar-restart,select,cancel", {}, 0, 2, True),
            ("restarted while the dialog is open", "select,taskbar-restart,cancel", {}, 0, 1, True),
            ("never there", None, {"NOTIFIER_TASKBAR_DELAY_MS": "100000000", "NOTIFIER_TIMER_DIVISOR": "50"}, 1, 0,
             False),
        ]
        for name, actions, environment, status, balloons, dialog in cases:
            with self.subTest(name):
                started = time.monotonic()
                run = self.run_notifier(actions, **environment)
                self.assertEqual(run.status, status)
                self.assertEqual(run.showed("balloon shown"), [balloon_line] * balloons)
                self.assertEqual(len(run.showed("task dialog shown")), 1 if dialog else 0)
                if status == 0:
                    self.assertEqual(run.showed("icon removed"), ["icon removed, tooltip: [quorvane OpenJDK update]"])
                    self.assert_ends_with(run.events, WINDOW_END)
                if actions and "taskbar-restart" in actions:
                    self.assert_in_order(run.events, ["'TaskbarCreated' event received",
                                                      "'Shell_NotifyIconW' version, result: [1]"])
        # The retries wait 1 + 2 + 4 ... + 64 s, here 50 times faster; then the run gives up.
        self.assertGreater(time.monotonic() - started, 127 / 50)
        self.assertIn("icon not shown, next try in 64 s", run.events)
        self.assertEqual(run.events[-6:-3], [
            "icon retry due", "'Shell_NotifyIconW' main fail, error: [code: [1460], message: [This operation "
            "returned because the timeout period expired.]]",
            "taskbar not available in time, giving up, error: [code: [1460], message: [This operation returned "
            "because the timeout period expired.]]"])
        self.assertEqual(run.events[-3:], ["'WM_DESTROY' event received", "is due to delete notification",
                                           "'Shell_NotifyIconW' delete, result: [0]"])


class InstanceAndTracingTests(NotifierTestCase):
    def test_second_instance_ends_at_once_while_the_first_shows_its_icon(self):
        self.write_version(SHIPPED + 1)
        first = self.start("sleep,sleep,sleep,sleep,sleep,session-end")
        try:
            # The first instance writes its trace just before its message loop.
            deadline = time.monotonic() + RUN_LIMIT
            while not (os.path.exists(self.trace_path) and self.read_trace()[-1:] == ["is due to start message loop"]):
                self.assertIsNone(first.poll(), "the first instance ended early")
                self.assertLess(time.monotonic(), deadline)
                time.sleep(0.05)
            second = self.run_notifier()
            self.assertEqual(second.status, 0)
            self.assertEqual(second.shown, [])
            self.assertEqual(second.events[1:], ["tracer initialized", "another instance of notifier is already running"])
        finally:
            first_run = self.finish(first)
        self.assertEqual(first_run.status, 0)
        self.assertEqual(first_run.events[-3:], WINDOW_END)
        # Once the first has ended, the next start is no longer held back.
        self.assertEqual(self.run_notifier("session-end").events[-1], WINDOW_END[-1])

    def test_tracing_only_with_minus_v_at_the_end(self):
        self.write_version(SHIPPED + 1)
        for arguments, traced in [(("-v",), True), (("x-v",), True), (("-v", "x"), False), (("-v ",), False), ((), False)]:
            with self.subTest(arguments=arguments):
                if os.path.exists(self.trace_path):
                    os.remove(self.trace_path)
                run = self.run_notifier("session-end", arguments=arguments)
                self.assertEqual(run.status, 0)
                self.assertEqual(run.events is not None, traced)
                self.assertEqual(len(run.showed("icon removed")), 1)


if __name__ == "__main__":
    unittest.main()
