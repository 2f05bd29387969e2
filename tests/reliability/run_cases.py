#!/usr/bin/env python3
"""Runs one group of reliability cases against a built powermenu.

Usage: run_cases.py PATH/TO/powermenu GROUP
Groups: conf, pictures, scripts, keys, settings, instances.
"""

import os
import sys

# The drivers for Xvfb and processes that every suite shares.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))

import conf_cases  # noqa: E402
import instance_cases  # noqa: E402
import key_cases  # noqa: E402
import picture_cases  # noqa: E402
import script_cases  # noqa: E402
import setting_cases  # noqa: E402
from harness import run_case, run_table  # noqa: E402

GROUPS = {
    "conf": (conf_cases.CASES, run_case),
    "pictures": (picture_cases.CASES, run_case),
    "scripts": (script_cases.CASES, run_case),
    "keys": (key_cases.CASES, run_case),
    "settings": (setting_cases.CASES, run_case),
    "instances": (instance_cases.CASES, instance_cases.run),
}

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in GROUPS:
        sys.exit(f"usage: {sys.argv[0]} PATH/TO/powermenu {{{','.join(GROUPS)}}}")
    cases, runner = GROUPS[sys.argv[2]]
    sys.exit(run_table(sys.argv[2], os.path.abspath(sys.argv[1]), cases, runner))
