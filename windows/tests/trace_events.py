#!/usr/bin/env python3
"""Checks the events of a trace.json: they must hold the given texts in the given order.

    trace_events.py TRACE [--last] EVENT...

Every EVENT must appear, in this order (others may lie between); with --last they must be the
trace's final events, one after the other. On a mismatch the events are printed."""

import json
import sys


def events_of(path):
    with open(path, encoding="utf-8") as trace:
        return list(json.load(trace).values())


def in_order(events, wanted):
    remaining = iter(events)
    return all(any(event == text for event in remaining) for text in wanted)


def main(arguments):
    last = "--last" in arguments
    path, *wanted = [argument for argument in arguments if argument != "--last"]
    try:
        events = events_of(path)
    except (OSError, ValueError) as error:
        print(f"trace_events: cannot read {path}: {error}", file=sys.stderr)
        return 1
    matched = events[-len(wanted):] == wanted if last else in_order(events, wanted)
    if not matched:
        print(f"trace_events: {path} lacks {wanted}; it holds:", *events, sep="\n  ", file=sys.stderr)
    return 0 if matched else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
