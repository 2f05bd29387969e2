#!/usr/bin/env python3
"""Runs one group of reliability cases against a built powermenu.

Usage: run_cases.py PATH/TO/powermenu GROUP
Groups: conf, pictures, scripts, keys, settings, instances.
"""

import os
import sys

import conf_cases
import instance_cases
import key_cases
import picture_cases
import script_cases
import setting_cases
from harness import run_case, run_table

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
