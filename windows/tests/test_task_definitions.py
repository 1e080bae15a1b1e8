"""The example task definitions in windows/tasks/ are well-formed, follow Microsoft's Task
Scheduler schema and ask Task Scheduler for what the programs need: a machine-wide task for
whoever logs on (no user named, the Users group as principal, interactive); the windowless
checker at log-on and daily with a random delay, held to a few minutes; the notifier at log-on
and daily, one instance, at an interactive task's priority; both started when available.
(Wine 8 registers them but keeps only their settings; run_under_wine.sh does that part.)"""

import re
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

TASKS = Path(__file__).resolve().parents[1] / "tasks"
NAMESPACE = "http://schemas.microsoft.com/windows/2004/02/mit/task"
NS = {"t": NAMESPACE}
USERS_GROUP = "S-1-5-32-545"

# The part of the schema's complex types these files use, from the XSD on Microsoft's "Task
# Scheduler Schema" page: how the children stand ("sequence": in this order, each once at most;
# "all": in any order, each once at most; "choice": any of them, repeated) and each child's
# complex type (None for a simple value, or a complex type these files do not use).
TRIGGER_BASE = {"Enabled": None, "StartBoundary": None, "EndBoundary": None, "Repetition": None,
                "ExecutionTimeLimit": None}
SCHEMA = {
    "taskType": ("all", {"RegistrationInfo": "registrationInfoType", "Triggers": "triggersType",
                         "Settings": "settingsType", "Data": None, "Principals": "principalsType",
                         "Actions": "actionsType"}),
    "registrationInfoType": ("all", dict.fromkeys(["URI", "SecurityDescriptor", "Source", "Date", "Author",
                                                   "Version", "Description", "Documentation"])),
    "triggersType": ("choice", {"BootTrigger": None, "RegistrationTrigger": None, "IdleTrigger": None,
                                "TimeTrigger": None, "EventTrigger": None, "LogonTrigger": "logonTriggerType",
                                "SessionStateChangeTrigger": None, "CalendarTrigger": "calendarTriggerType"}),
    # An extension's own sequence follows its base's.
    "logonTriggerType": ("sequence", {**TRIGGER_BASE, "UserId": None, "Delay": None}),
    # The schedule is a choice of the last four.
    "calendarTriggerType": ("sequence", {**TRIGGER_BASE, "RandomDelay": None, "ScheduleByDay": "dailyScheduleType",
                                         "ScheduleByWeek": None, "ScheduleByMonth": None,
                                         "ScheduleByMonthDayOfWeek": None}),
    "dailyScheduleType": ("all", {"DaysInterval": None}),
    "principalsType": ("sequence", {"Principal": "principalType"}),
    "principalType": ("all", dict.fromkeys(["UserId", "LogonType", "GroupId", "DisplayName", "RunLevel",
                                            "ProcessTokenSidType", "RequiredPrivileges"])),
    "settingsType": ("all", {**dict.fromkeys([
        "AllowStartOnDemand", "RestartOnFailure", "MultipleInstancesPolicy", "DisallowStartIfOnBatteries",
        "StopIfGoingOnBatteries", "AllowHardTerminate", "StartWhenAvailable", "NetworkProfileName",
        "RunOnlyIfNetworkAvailable", "WakeToRun", "Enabled", "Hidden", "DeleteExpiredTaskAfter", "NetworkSettings",
        "ExecutionTimeLimit", "Priority", "RunOnlyIfIdle", "UseUnifiedSchedulingEngine",
        "DisallowStartOnRemoteAppSession"]), "IdleSettings": "idleSettingsType"}),
    "idleSettingsType": ("all", dict.fromkeys(["Duration", "WaitTimeout", "StopOnIdleEnd", "RestartOnIdle"])),
    "actionsType": ("choice", {"Exec": "execType", "ComHandler": None, "SendEmail": None, "ShowMessage": None}),
    "execType": ("all", dict.fromkeys(["Command", "Arguments", "WorkingDirectory"])),
}


def schema_faults(element, type_name, path="Task") -> list:
    """Where element's descendants break the schema's table above, as "path: fault" lines."""
    kind, children = SCHEMA[type_name]
    names = [child.tag.replace("{%s}" % NAMESPACE, "") for child in element]
    faults = [f"{path}: {name} is not a child here" for name in names if name not in children]
    known = [name for name in names if name in children]
    if kind != "choice" and len(set(known)) != len(known):
        faults.append(f"{path}: a child twice in {known}")
    if kind == "sequence":
        order = list(children)
        if known != sorted(known, key=order.index):
            faults.append(f"{path}: {known} not in the order {[name for name in order if name in known]}")
    for child, name in zip(element, names):
        if name in children and children[name] is not None:
            faults += schema_faults(child, children[name], f"{path}/{name}")
        elif len(child):
            faults.append(f"{path}/{name}: children of a type missing from the table")
    return faults


def minutes(duration: str) -> float:
    """An xs:duration of hours, minutes and seconds (PT2M, PT4H, PT0S) in minutes."""
    match = re.fullmatch(r"PT(?:(\d+)H)?(?:(\d+)M)?(?:(\d+)S)?", duration)
    hours, mins, secs = (int(part or 0) for part in match.groups())
    return hours * 60 + mins + secs / 60


class TaskDefinitionsTest(unittest.TestCase):
    def test_each_task(self):
        cases = {
            "quorvane-update-checker.xml": dict(program="checkerw.exe", random_delay=True, time_limit=(1, 15),
                                                priority="7"),
            "quorvane-update-notifier.xml": dict(program="notifier.exe", random_delay=False, time_limit=(0, 0),
                                                 priority="5"),
        }
        self.assertEqual(sorted(path.name for path in TASKS.glob("*.xml")), sorted(cases))
        for name, expected in cases.items():
            with self.subTest(name):
                text = (TASKS / name).read_bytes()
                self.assertTrue(text.startswith(b'<?xml version="1.0" encoding="UTF-8"?>'))
                task = ElementTree.fromstring(text)
                self.assertEqual(task.tag, "{%s}Task" % NAMESPACE)
                self.assertEqual(schema_faults(task, "taskType"), [])
                value = lambda path: task.findtext(path, namespaces=NS)  # noqa: E731
                # Machine-wide: whoever logs on, as that user.
                self.assertEqual(task.findall(".//t:UserId", NS), [])
                self.assertEqual(value("t:Principals/t:Principal/t:GroupId"), USERS_GROUP)
                self.assertEqual(value("t:Principals/t:Principal/t:LogonType"), "InteractiveToken")
                self.assertEqual(value("t:Principals/t:Principal/t:RunLevel"), "LeastPrivilege")
                self.assertGreater(minutes(value("t:Triggers/t:LogonTrigger/t:Delay")), 0)
                self.assertEqual(value("t:Triggers/t:CalendarTrigger/t:ScheduleByDay/t:DaysInterval"), "1")
                random_delay = value("t:Triggers/t:CalendarTrigger/t:RandomDelay")
                self.assertEqual(random_delay is not None and minutes(random_delay) >= 60, expected["random_delay"])
                self.assertEqual(value("t:Settings/t:MultipleInstancesPolicy"), "IgnoreNew")
                self.assertEqual(value("t:Settings/t:StartWhenAvailable"), "true")
                self.assertEqual(value("t:Settings/t:Priority"), expected["priority"])
                low, high = expected["time_limit"]
                self.assertTrue(low <= minutes(value("t:Settings/t:ExecutionTimeLimit")) <= high)
                self.assertTrue(value("t:Actions/t:Exec/t:Command").endswith("\\" + expected["program"]))


if __name__ == "__main__":
    unittest.main()
