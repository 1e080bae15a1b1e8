"""The example task definitions in windows/tasks/ are well-formed and ask Task Scheduler for what
the programs need: the windowless checker at log-on and daily with a random delay, started when
available and held to a few minutes; the notifier at log-on and daily, interactive, one instance.
(Wine 8 registers them but keeps only their settings; run_under_wine.sh does that part.)"""

import re
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

TASKS = Path(__file__).resolve().parents[1] / "tasks"
NS = {"t": "http://schemas.microsoft.com/windows/2004/02/mit/task"}


def minutes(duration: str) -> float:
    """An xs:duration of hours, minutes and seconds (PT2M, PT4H, PT0S) in minutes."""
    match = re.fullmatch(r"PT(?:(\d+)H)?(?:(\d+)M)?(?:(\d+)S)?", duration)
    hours, mins, secs = (int(part or 0) for part in match.groups())
    return hours * 60 + mins + secs / 60


class TaskDefinitionsTest(unittest.TestCase):
    def test_each_task(self):
        cases = {
            "quorvane-update-checker.xml": dict(program="checkerw.exe", random_delay=True, start_when_available="true",
                                                time_limit=(1, 15)),
            "quorvane-update-notifier.xml": dict(program="notifier.exe", random_delay=False,
                                                 start_when_available="false", time_limit=(0, 0)),
        }
        self.assertEqual(sorted(path.name for path in TASKS.glob("*.xml")), sorted(cases))
        for name, expected in cases.items():
            with self.subTest(name):
                text = (TASKS / name).read_bytes()
                self.assertTrue(text.startswith(b'<?xml version="1.0" encoding="UTF-8"?>'))
                task = ElementTree.fromstring(text)
                value = lambda path: task.findtext(path, namespaces=NS)  # noqa: E731
                self.assertGreater(minutes(value("t:Triggers/t:LogonTrigger/t:Delay")), 0)
                self.assertEqual(value("t:Triggers/t:CalendarTrigger/t:ScheduleByDay/t:DaysInterval"), "1")
                random_delay = value("t:Triggers/t:CalendarTrigger/t:RandomDelay")
                self.assertEqual(random_delay is not None and minutes(random_delay) >= 60, expected["random_delay"])
                self.assertEqual(value("t:Principals/t:Principal/t:LogonType"), "InteractiveToken")
                self.assertEqual(value("t:Settings/t:MultipleInstancesPolicy"), "IgnoreNew")
                self.assertEqual(value("t:Settings/t:StartWhenAvailable"), expected["start_when_available"])
                low, high = expected["time_limit"]
                self.assertTrue(low <= minutes(value("t:Settings/t:ExecutionTimeLimit")) <= high)
                self.assertTrue(value("t:Actions/t:Exec/t:Command").endswith("\\" + expected["program"]))


if __name__ == "__main__":
    unittest.main()
