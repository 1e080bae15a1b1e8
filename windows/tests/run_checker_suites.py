#!/usr/bin/env python3
"""Runs unittest cases of the checker's black-box suites and of this folder by name and writes
"PASSED FAILED" (test methods) to COUNTS_FILE.

    run_checker_suites.py COUNTS_FILE NAME...

The command and the path style come from the environment, as checker_runner.py reads them."""

import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path[:0] = [str(HERE.parents[1] / "tests" / "lib"), str(HERE.parents[1] / "checker" / "tests" / "blackbox"), str(HERE)]


def failed_test_ids(result):
    """One id per failed test method (a method with several failed sub-tests counts once)."""
    return {getattr(test, "test_case", test).id() for test, _ in result.failures + result.errors}


def main(counts_file, names):
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    failed = failed_test_ids(result) | {test.id() for test, _ in result.unexpectedSuccesses}
    passed = result.testsRun - len(failed) - len(result.skipped)
    # A failed class set-up counts as one failure, though none of its methods ran.
    Path(counts_file).write_text(f"{max(passed, 0)} {len(failed)}\n")
    return 0 if not failed and result.testsRun else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
