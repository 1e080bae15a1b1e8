"""The policy template in windows/policy/ writes exactly the key and values the programs read.

The programs' table comes from print_policy_values (POLICY_VALUES_PROGRAM), the vendor word from
release.env; every text and presentation the template refers to must be in the en-US file."""

import os
import re
import subprocess
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
POLICY_FOLDER = REPOSITORY / "windows" / "policy"
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}


def release_vendor() -> str:
    text = (REPOSITORY / "release.env").read_text()
    return re.search(r"^VENDOR=(.*)$", text, re.MULTILINE).group(1)


def programs_table():
    """(key path, {value name: kind}) as the programs read them."""
    lines = subprocess.run([os.environ["POLICY_VALUES_PROGRAM"], release_vendor()], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    return lines[0], dict(line.split(" ") for line in lines[1:])


class PolicyTemplateTest(unittest.TestCase):
    def setUp(self):
        [self.admx_file] = POLICY_FOLDER.glob("*.admx")
        self.admx = ElementTree.parse(self.admx_file).getroot()
        self.adml = ElementTree.parse(POLICY_FOLDER / "en-US" / (self.admx_file.stem + ".adml")).getroot()

    def written_values(self):
        """{value name: (key, kind)} for every registry value the template writes."""
        written = {}
        for policy in self.admx.iterfind("p:policies/p:policy", NS):
            key = policy.get("key")
            if policy.get("valueName"):
                values = {value.get("value") for side in ("enabledValue", "disabledValue")
                          for value in policy.iterfind(f"p:{side}/p:decimal", NS)}
                self.assertEqual(values, {"0", "1"}, policy.get("name"))
                written[policy.get("valueName")] = (key, "switch")
            for text in policy.iterfind("p:elements/p:text", NS):
                written[text.get("valueName")] = (text.get("key", key), "address")
            for number in policy.iterfind("p:elements/p:decimal", NS):
                self.assertEqual((number.get("minValue"), number.get("maxValue")), ("0", "43200"), policy.get("name"))
                written[number.get("valueName")] = (number.get("key", key), "minutes")
        return written

    def test_key_and_value_names_are_those_the_programs_read(self):
        key_path, table = programs_table()
        self.assertEqual(self.written_values(), {name: (key_path, kind) for name, kind in table.items()})

    def test_machine_and_user_windows_7_and_the_vendors_category(self):
        policies = list(self.admx.iterfind("p:policies/p:policy", NS))
        self.assertTrue(policies)
        for policy in policies:
            self.assertEqual(policy.get("class"), "Both", policy.get("name"))
            self.assertEqual(policy.find("p:supportedOn", NS).get("ref"), "windows:SUPPORTED_Windows7")
            self.assertEqual(policy.find("p:parentCategory", NS).get("ref"), "UpdateNotifier")
        categories = {category.get("name"): category for category in self.admx.iterfind("p:categories/p:category", NS)}
        self.assertEqual(categories["UpdateNotifier"].find("p:parentCategory", NS).get("ref"), "Quorvane")
        self.assertEqual(categories["Quorvane"].get("displayName"), "$(string.Quorvane)")

    def test_every_text_and_presentation_is_in_the_english_file(self):
        strings = {entry.get("id") for entry in self.adml.iterfind("p:resources/p:stringTable/p:string", NS)}
        presentations = {entry.get("id"): entry
                         for entry in self.adml.iterfind("p:resources/p:presentationTable/p:presentation", NS)}
        for element in self.admx.iter():
            for attribute in element.attrib.values():
                for kind, name in re.findall(r"\$\((string|presentation)\.([^)]+)\)", attribute):
                    self.assertIn(name, strings if kind == "string" else presentations, attribute)
        for text in self.admx.iterfind("p:policies/p:policy/p:elements/p:text", NS):
            boxes = [box.get("refId") for presentation in presentations.values()
                     for box in presentation.iterfind("p:textBox", NS)]
            self.assertIn(text.get("id"), boxes)
        for number in self.admx.iterfind("p:policies/p:policy/p:elements/p:decimal", NS):
            boxes = [box.get("refId") for presentation in presentations.values()
                     for box in presentation.iterfind("p:decimalTextBox", NS)]
            self.assertIn(number.get("id"), boxes)


if __name__ == "__main__":
    unittest.main()
