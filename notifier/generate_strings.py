#!/usr/bin/env python3
"""Generates the notifier's string table from strings.txt: a resource script and a C++ table."""
import argparse
import re
import sys


def read_release(path):
    """The KEY=VALUE lines of release.env."""
    with open(path, encoding="utf-8") as source:
        return dict(line.rstrip("\r\n").split("=", 1) for line in source if re.match(r"[A-Z_]+=", line))


def fill_in(text, release, where):
    """Replaces each @KEY@ with the release's value of KEY."""
    def value(match):
        if match.group(1) not in release:
            sys.exit(f"{where}: release.env has no {match.group(1)}")
        return release[match.group(1)]
    return re.sub(r"@([A-Z_]+)@", value, text)


def read_entries(path, release):
    entries = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            identifier, separator, text = line.partition("\t")
            if not separator or not identifier.isdigit() or int(identifier) > 65535:
                sys.exit(f"{path}:{number}: expected an id, a tab and the text")
            entries.append((int(identifier), fill_in(text, release, f"{path}:{number}")))
    identifiers = [identifier for identifier, _ in entries]
    if len(set(identifiers)) != len(identifiers):
        sys.exit(f"{path}: an id appears twice")
    return entries


def rc_literal(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""') + '"'


def cpp_literal(text):
    out = []
    for character in text:
        code = ord(character)
        if character in '\\"':
            out.append("\\" + character)
        elif 0x20 <= code < 0x7F:
            out.append(character)
        elif code <= 0xFFFF:
            out.append(f"\\u{code:04X}")
        else:
            out.append(f"\\U{code:08X}")
    return 'u"' + "".join(out) + '"'


def write_rc(entries, path):
    lines = ["// Generated from notifier/strings.txt: the notifier's string table.", "STRINGTABLE", "BEGIN"]
    lines += [f"    {identifier}, {rc_literal(text)}" for identifier, text in entries]
    lines += ["END", ""]
    with open(path, "w", encoding="utf-8", newline="\n") as target:
        target.write("\n".join(lines))


def write_cpp(entries, path):
    lines = [
        "// Generated from notifier/strings.txt: the notifier's string table for POSIX.",
        "#include <cstddef>",
        "#include <cstdint>",
        "#include <utility>",
        "",
        "namespace notifier {",
        "",
        "extern const std::pair<uint32_t, const char16_t*> string_table[] = {",
    ]
    lines += [f"    {{{identifier}, {cpp_literal(text)}}}," for identifier, text in entries]
    lines += [
        "};",
        "extern const std::size_t string_table_size = sizeof(string_table) / sizeof(string_table[0]);",
        "",
        "}  // namespace notifier",
        "",
    ]
    with open(path, "w", encoding="utf-8", newline="\n") as target:
        target.write("\n".join(lines))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("strings")
    parser.add_argument("--release", required=True, help="release.env, whose values fill in @KEY@")
    parser.add_argument("--rc", required=True)
    parser.add_argument("--cpp", required=True)
    arguments = parser.parse_args()
    entries = read_entries(arguments.strings, read_release(arguments.release))
    write_rc(entries, arguments.rc)
    write_cpp(entries, arguments.cpp)


if __name__ == "__main__":
    main()
