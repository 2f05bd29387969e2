#!/usr/bin/env python3
"""powermenu-check and powermenu-preview on copies of the sample theme, spoiled one way a row.

Usage: test_tools.py PATH/TO/powermenu-check PATH/TO/powermenu-preview SAMPLE_THEME"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
from screen_picture import Picture  # noqa: E402

CHECK = PREVIEW = SAMPLE = None
# Root, cron and CI run the tools without a runtime folder; they need none and say nothing of it.
NO_RUNTIME_DIR = {name: value for name, value in os.environ.items() if name != "XDG_RUNTIME_DIR"}


def lines(edits):
    """Replaces lines of the sample conf.ini, counting from 1."""
    def spoil(theme):
        conf = open(os.path.join(theme, "conf.ini")).read().split("\n")
        for number, text in edits.items():
            conf[number - 1] = text
        open(os.path.join(theme, "conf.ini"), "w").write("\n".join(conf))
    return spoil


def files(theme):
    os.remove(os.path.join(theme, "item0.sh"))
    os.chmod(os.path.join(theme, "item2.sh"), 0o644)
    os.remove(os.path.join(theme, "velmorine.png"))
    open(os.path.join(theme, "poweroff.png"), "w").write("not a picture\n")


def fifo(theme):
    os.remove(os.path.join(theme, "conf.ini"))
    os.mkfifo(os.path.join(theme, "conf.ini"))


def names(theme):
    with open(os.path.join(theme, "names.txt"), "wb") as out:
        out.write(b"item0=Reboot\nitem9=x\nmenu\ncancel=\nitem1=\xff\nitem2=" + b"x" * 201 + b"\n item0 = Again \n")


# name, spoil, extra arguments, exit status, texts the output must hold
CHECKS = [
    ("the sample theme is clean", lines({}), ["--strict"], 0, ["no problems found", '  shut_x              84  line 18: "shut_x=84"']),
    ("a blank before '='", lines({9: "icon0_y = 104"}), [], 1, ["conf.ini line 9: icon0_y reads as 0: the blank after icon0_y"]),
    ("hexadecimal", lines({26: "line_color=0xFFCC00"}), [], 1, ["line 26: line_color=0xFFCC00 reads as 0: hexadecimal"]),
    ("text after the number", lines({11: "width0=72px"}), [], 1, ["line 11: the text \"px\" after width0's number 72 is ignored"]),
    ("a key inside a longer name", lines({15: "old_shut_x=9"}), [], 1,
     ["line 15: shut_x is taken from inside the longer name \"old_shut_x\"",
      "line 18: shut_x is here again but line 15 comes first and wins (shut_x is 9)"]),
    ("'#' after blanks", lines({21: "  # Screen position"}), [], 1, ["line 21: \"#\" after leading blanks does not start"]),
    ("a key split by a long line", lines({22: "x" * 45 + "start_x=0"}), [], 1,
     ["line 22: the line is 54 characters long", "start_x at character 46 is split between two pieces"]),
    ("a value cut short", lines({22: "start_x=0000000000000000000012"}), [], 1, ["start_x's value is cut after 19 characters"]),
    ("beyond 32 bits", lines({17: "reflash_x=99999999999"}), [], 1, ["beyond the 32-bit range and reads as 2147483647"]),
    ("colour bits above 24", lines({26: "line_color=33554431"}), [], 1, ["line_color=33554431 has bits above 0xFFFFFF"]),
    ("a highlight outside the picture", lines({19: "reboot_x=200"}), [], 1, ["line 19: the highlight of item 2 (x 200 to 271"]),
    ("a picture off the screen", lines({22: "start_x=-240"}), [], 1, ["covers x -240 to -1, y 0 to 319, wholly off"]),
    ("a smaller screen: a warning", lines({}), ["--screen", "200x300"], 0, ["2 warnings:", "partly off the 200x300 screen"]),
    ("conf.ini a FIFO", fifo, [], 1, ["conf.ini: is not a regular file"]),
    ("files missing, unreadable, not executable", files, [], 1,
     ["item0.sh: missing", "item2.sh: not executable", "velmorine.png: missing", "poweroff.png: not a picture"]),
    ("a comment going on past a piece sets a key",
     lines({15: "# Left edges: Flash, Power off, Restart; see the cancel_x=10 before)"}), [], 1,
     ["conf.ini line 15: the comment is 68 characters long", "as a line of its own, which sets cancel_x to 10"]),
    ("a script anyone can change", lambda theme: os.chmod(os.path.join(theme, "item1.sh"), 0o777), [], 1,
     ["item1.sh: ", "item1.sh is writable by everyone (mode 0777); the menu refuses this theme (status 77)"]),
    ("names.txt: lines the menu passes over", names, [], 1,
     ['names.txt      names item0 "Again"\n', "names.txt line 1: item0 is named again on line 7, which counts",
      'line 2: "item9" names nothing', 'line 3: no "="', 'line 4: no words after "cancel="', "line 5: not UTF-8 text",
      "line 6: longer than 200 bytes"]),
    ("white as -1", lines({26: "line_color=-1"}), [], 0, ["no problems found"]),
    ("a negative outline width", lines({27: "line_width=-2"}), [], 1, ["line 27: line_width=-2 is below 0"]),
    ("an outline as wide as half the cancel button", lines({27: "line_width=22"}), [], 1,
     ["line 27: line_width=22 fills the 152x44 highlight of the cancel button, so no picture shows inside it; make it at most 21"]),
    ("a screen the picture covers under half of: a warning", lines({}), ["--screen=480X854"], 0,
     ["no problems found\n1 warning:\n  velmorine.png: the 240x320 menu picture covers 18% of the 480x854 screen"]),
    ("--strict fails on a warning", lines({}), ["--screen=480X854", "--strict"], 1, ["1 warning:"]),
    *[(f"--screen {size}", lines({}), ["--screen", size], 2, ["usage: powermenu-check"])
      for size in ("big", "4294967536x320", "16385x320")],
]

# Sample theme rectangles (x, y, w, h) and what the preview's state shows there.
ITEM0, ITEM2, CANCEL = (6, 104, 72, 104), (162, 104, 72, 104), (44, 236, 152, 44)
AMBER = (0xFF, 0xCC, 0x00)
PREVIEWS = [("focus-0", ITEM0, "focus"), ("focus-2", ITEM2, "focus"), ("focus-cancel", CANCEL, "focus"),
            ("pressed-0", ITEM0, "pressed"), ("pressed-2", ITEM2, "pressed"), ("pressed-cancel", CANCEL, "pressed")]


class Tools(unittest.TestCase):
    def theme(self):
        theme = os.path.join(self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-tools-")), "t")
        shutil.copytree(SAMPLE, theme)
        return theme

    def test_check_names_each_problem_with_its_line(self):
        for name, spoil, args, status, texts in CHECKS:
            with self.subTest(name):
                theme = self.theme()
                spoil(theme)
                done = subprocess.run([CHECK, theme, *args], capture_output=True, text=True, timeout=60,
                                      env=NO_RUNTIME_DIR)
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                self.assertNotIn("XDG_RUNTIME_DIR", done.stderr)
                for text in texts:
                    self.assertIn(text, done.stdout + done.stderr)

    def test_preview_draws_each_state_where_the_menu_would(self):
        theme = self.theme()
        for state, (x, y, w, h), style in PREVIEWS:
            with self.subTest(state):
                out = os.path.join(theme, state + ".png")
                done = subprocess.run([PREVIEW, theme, "-o", out, "--state", state], check=True, timeout=60,
                                      env=NO_RUNTIME_DIR, capture_output=True, text=True)
                self.assertNotIn("XDG_RUNTIME_DIR", done.stderr)
                ppm = subprocess.run(["/usr/bin/convert", out, "ppm:-"], capture_output=True, check=True).stdout
                lit = lambda *p: Picture.from_ppm(ppm).pixel(p) == AMBER
                middle = x + w // 2
                if style == "focus":
                    self.assertEqual([lit(x, y), lit(x + 1, y), lit(middle, y), lit(middle + 1, y)],
                                     [True, False, middle % 2 == 0, middle % 2 == 1])
                else:
                    self.assertEqual([lit(x, y), lit(middle, y), lit(middle + 1, y)], [False, True, True])


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    CHECK, PREVIEW, SAMPLE = (os.path.abspath(arg) for arg in sys.argv[1:])
    unittest.main(argv=sys.argv[:1], verbosity=2)
