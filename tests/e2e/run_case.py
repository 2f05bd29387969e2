#!/usr/bin/env python3
"""Runs one end-to-end test against a powermenu binary:

    run_case.py PATH/TO/powermenu NAME

NAME is a test method's name without its "test_" prefix, e.g. first_frame_on_a_phone.
`run_case.py --list` prints every name."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "harness")]

import menu_case  # noqa: E402


def all_tests(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from all_tests(item)
        else:
            yield item


def main():
    tests = list(all_tests(unittest.defaultTestLoader.discover(HERE, pattern="test_*.py")))
    if sys.argv[1:] == ["--list"]:
        for test in tests:
            print(test._testMethodName.removeprefix("test_"))
        return
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program, name = sys.argv[1:]
    if not os.access(program, os.X_OK):
        sys.exit(f"run_case.py: {program} is not an executable program")
    menu_case.POWERMENU = os.path.abspath(program)
    chosen = [test for test in tests if test._testMethodName == "test_" + name]
    if not chosen:
        sys.exit(f"run_case.py: no end-to-end test named {name}; --list shows them")
    result = unittest.TextTestRunner(verbosity=2).run(unittest.TestSuite(chosen))
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
