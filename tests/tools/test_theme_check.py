#!/usr/bin/env python3
"""powermenu-check on real theme folders: the sample theme is clean, and each
kind of problem is named with its line."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECK = None
DEFAULT_THEME = None


def run_check(*args, cwd=None):
    result = subprocess.run([CHECK, *args], cwd=cwd, capture_output=True, text=True, timeout=60)
    return result.returncode, result.stdout, result.stderr


def problem_lines(output):
    """The problem list: the lines after "N problems:"."""
    lines = output.splitlines()
    for i, line in enumerate(lines):
        if line.endswith("problem:") or line.endswith("problems:"):
            return [l.strip() for l in lines[i + 1:]]
    return []


class Theme:
    """A copy of the sample theme in a temp folder, to be spoiled one way at a time."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="powermenu-check-")
        for name in os.listdir(DEFAULT_THEME):
            shutil.copy2(os.path.join(DEFAULT_THEME, name), self.dir)
        with open(self.path("conf.ini")) as f:
            self.conf = f.read().splitlines()

    def path(self, name):
        return os.path.join(self.dir, name)

    def set_line(self, number, text):
        """Replaces line `number` (counting from 1) of conf.ini."""
        self.conf[number - 1] = text
        self.write_conf()

    def write_conf(self, text=None):
        with open(self.path("conf.ini"), "w", newline="") as f:
            f.write(text if text is not None else "\n".join(self.conf) + "\n")

    def check(self, *args):
        return run_check(self.dir, *args)

    def remove(self):
        shutil.rmtree(self.dir)


class SampleTheme(unittest.TestCase):
    def test_sample_theme_is_clean_and_every_value_is_sourced(self):
        code, out, _ = run_check(DEFAULT_THEME)
        self.assertEqual(code, 0, out)
        self.assertIn("no problems found", out)
        for key, line, value in [("icon0_y", 9, 104), ("shut_x", 18, 84), ("line_color", 26, 16763904),
                                 ("start_y", 23, 0), ("cancel_x", 20, 44)]:
            self.assertRegex(out, rf"\n  {key} +{value}  line {line}: \"{key}={value}\"\n")
        self.assertEqual(out.count("  line "), 13, out)

    def test_theme_dir_defaults_to_the_current_folder(self):
        code, out, _ = run_check(cwd=DEFAULT_THEME)
        self.assertEqual(code, 0, out)
        self.assertIn("line 18: \"shut_x=84\"", out)


# (name, line of conf.ini to replace, new text, expected problem, how many problems in all)
CONF_CASES = [
    ("blank before the equals sign", 9, "icon0_y = 104",
     "conf.ini line 9: icon0_y reads as 0: the blank after icon0_y is taken as the separator", 1),
    ("no number at all", 23, "start_y=top",
     "conf.ini line 23: start_y reads as 0: its value \"top\" does not begin with a digit or a sign", 1),
    ("trailing text", 11, "width0=72px",
     "conf.ini line 11: the text \"px\" after width0's number 72 is ignored", 1),
    ("hexadecimal", 26, "line_color=0xFFCC00",
     "conf.ini line 26: line_color=0xFFCC00 reads as 0: hexadecimal is not understood; write line_color=16763904", 1),
    # Saturated at the largest number, item 0's highlight leaves the picture too.
    ("saturated", 17, "reflash_x=99999999999",
     "conf.ini line 17: reflash_x=99999999999 is beyond the 32-bit range and reads as 2147483647", 2),
    ("colour bits above 24", 26, "line_color=33554431",
     "conf.ini line 26: line_color=33554431 has bits above 0xFFFFFF, which are ignored; for the colour it gives write line_color=16777215", 1),
    ("hash after leading blanks", 21, "  # Screen position of the picture.",
     "conf.ini line 21: \"#\" after leading blanks does not start a comment; put \"#\" in the first column", 1),
    # Line 18's shut_x is then a repeat.
    ("hash after leading blanks wins", 15, "  # Left edges: shut_x=3",
     "conf.ini line 15: \"#\" after leading blanks does not start a comment: the menu reads shut_x from this line", 2),
    ("value cut after 19 characters", 22, "start_x=0000000000000000000012",
     "conf.ini line 22: start_x's value is cut after 19 characters and reads as 0", 1),
    # One message, not one for the long line, the trailing text and the repeat on line 20.
    ("comment going on past a piece sets a key", 15, "# Left edges: Flash, Power off, Restart; see the cancel_x=10 before)",
     "conf.ini line 15: the comment is 68 characters long; the menu reads 49 characters at a time, line break "
     "included, and takes the rest, \"cancel_x=10 before)\", as a line of its own, which sets cancel_x to 10; "
     "shorten the comment to 48 characters", 1),
]


class ConfProblems(unittest.TestCase):
    def setUp(self):
        self.theme = Theme()
        self.addCleanup(self.theme.remove)

    def expect(self, problem, count=1):
        code, out, _ = self.theme.check()
        self.assertEqual(code, 1, out)
        problems = problem_lines(out)
        self.assertTrue(any(p.startswith(problem) for p in problems), f"{problem!r} not in:\n{out}")
        self.assertEqual(len(problems), count, out)
        return out

    def test_each_misread_value_is_named_with_its_line(self):
        for name, line, text, problem, count in CONF_CASES:
            with self.subTest(name):
                original = list(self.theme.conf)
                try:
                    self.theme.set_line(line, text)
                    self.expect(problem, count)
                finally:
                    self.theme.conf = original

    def test_key_inside_a_longer_name_wins_and_is_named(self):
        self.theme.set_line(15, "old_shut_x=9")
        out = self.expect("conf.ini line 15: shut_x is taken from inside the longer name \"old_shut_x\"", count=2)
        self.assertIn("conf.ini line 18: shut_x is here again but line 15 comes first and wins (shut_x is 9)", out)
        self.assertIn("  shut_x               9  line 15: \"old_shut_x=9\"", out)

    def test_repeated_key_says_which_line_wins(self):
        self.theme.conf.append("shut_x=5")
        self.theme.write_conf()
        self.expect("conf.ini line 27: shut_x is here again but line 18 comes first and wins (shut_x is 84)")

    def test_long_line_and_split_key(self):
        self.theme.set_line(22, "x" * 45 + "start_x=0")
        out = self.expect("conf.ini line 22: the line is 54 characters long", count=2)
        self.assertIn("conf.ini line 22: start_x at character 46 is split between two pieces and is not found there", out)
        self.assertIn("  start_x              0  not set: no line holds \"start_x\"", out)

    def test_long_comment_is_a_comment_only_in_its_first_piece(self):
        self.theme.set_line(24, "#" + "-" * 48 + "start_y=7")
        out = self.expect("conf.ini line 24: the line is 58 characters long", count=2)
        self.assertIn("so only the first piece is a comment", out)
        self.assertIn("conf.ini line 24: start_y is here again but line 23 comes first", out)

    def test_line_of_48_characters_and_white_as_minus_one_are_fine(self):
        self.theme.set_line(24, "#" + "-" * 47)
        self.theme.set_line(26, "line_color=-1")
        code, out, _ = self.theme.check()
        self.assertEqual(code, 0, out)

    def test_value_found_in_the_second_piece_names_it(self):
        self.theme.set_line(23, "." * 49 + "start_y=0")
        out = self.expect("conf.ini line 23: the line is 58 characters long")
        self.assertIn("  start_y              0  line 23 (continued): \"start_y=0\"", out)

    def test_empty_value(self):
        self.theme.set_line(10, "icon1_y=")
        # icon1_y 0 puts the cancel highlight elsewhere but still inside the picture.
        self.expect("conf.ini line 10: icon1_y reads as 0: nothing follows the separator")

    def test_text_past_the_read_limit(self):
        self.theme.write_conf("\n".join(self.theme.conf) + "\n" + ("#" + "-" * 39 + "\n") * 27000)
        out = self.expect("conf.ini line ", count=1)
        self.assertRegex(out, r"conf.ini line \d+: the file goes on past 1048576 bytes and the menu reads nothing after")

    def test_crlf_line_ends_are_read_like_the_menu_reads_them(self):
        self.theme.write_conf("\r\n".join(self.theme.conf) + "\r\n")
        code, out, _ = self.theme.check()
        self.assertEqual(code, 0, out)
        self.assertIn("line 18: \"shut_x=84\\r\"", out)


class FileProblems(unittest.TestCase):
    def setUp(self):
        self.theme = Theme()
        self.addCleanup(self.theme.remove)

    def expect(self, problem, *args):
        code, out, _ = self.theme.check(*args)
        self.assertEqual(code, 1, out)
        self.assertTrue(any(p.startswith(problem) for p in problem_lines(out)), f"{problem!r} not in:\n{out}")
        return out

    def test_missing_conf_ini(self):
        os.remove(self.theme.path("conf.ini"))
        out = self.expect("conf.ini: missing; the menu then leaves every setting at 0")
        self.assertEqual(out.count("not read: conf.ini missing"), 13, out)

    def test_conf_ini_that_is_a_directory(self):
        os.remove(self.theme.path("conf.ini"))
        os.mkdir(self.theme.path("conf.ini"))
        self.expect("conf.ini: is a directory, not a file")

    def test_conf_ini_that_is_a_fifo_is_not_waited_for(self):
        os.remove(self.theme.path("conf.ini"))
        os.mkfifo(self.theme.path("conf.ini"))
        self.expect("conf.ini: is not a regular file")

    def test_missing_and_unreadable_pictures(self):
        os.remove(self.theme.path("velmorine.png"))
        with open(self.theme.path("poweroff.png"), "w") as f:
            f.write("not a picture\n")
        out = self.expect("velmorine.png: missing; the menu shows a black screen")
        self.assertIn("poweroff.png: not a picture the menu can read", out)

    def test_missing_and_non_executable_scripts(self):
        os.remove(self.theme.path("item0.sh"))
        os.chmod(self.theme.path("item2.sh"), 0o644)
        out = self.expect("item0.sh: missing; confirming item 0 then shows the power-off picture and runs nothing")
        self.assertIn("item2.sh: not executable; confirming item 2 then shows the power-off picture and runs nothing; "
                      "run: chmod +x item2.sh", out)
        self.assertNotIn("item1.sh:", "\n".join(problem_lines(out)))

    def test_highlight_outside_the_picture(self):
        self.theme.set_line(19, "reboot_x=200")
        self.expect("conf.ini line 19: the highlight of item 2 (x 200 to 271, y 104 to 207, from reboot_x=200 (line 19), "
                    "icon0_y=104 (line 9), width0=72 (line 11), height0=104 (line 13)) is partly outside the 240x320 menu picture")
        self.theme.set_line(10, "icon1_y=400")
        self.expect("conf.ini line 20: the highlight of the cancel button (x 44 to 195, y 400 to 443")

    def test_highlight_of_no_size(self):
        self.theme.set_line(12, "width1=0")
        self.expect("conf.ini line 12: the highlight of the cancel button is not drawn: width1=0 (line 12)")

    def test_picture_off_the_screen(self):
        self.theme.set_line(22, "start_x=30")
        out = self.expect("conf.ini line 22: the 240x320 menu picture at start_x=30 (line 22), start_y=0 (line 23) "
                          "covers x 30 to 269, y 0 to 319, partly off the 240x320 screen")
        self.theme.set_line(22, "start_x=-240")
        self.expect("conf.ini line 22: the 240x320 menu picture at start_x=-240 (line 22), start_y=0 (line 23) "
                    "covers x -240 to -1, y 0 to 319, wholly off the 240x320 screen")

    def test_screen_size_option(self):
        code, out, _ = self.theme.check("--screen", "320x480")
        self.assertEqual(code, 0, out)
        out = self.expect("poweroff.png: the 240x320 picture is drawn at the screen's top-left corner and is partly off "
                          "the 200x300 screen", "--screen", "200x300")
        self.assertIn("partly off the 200x300 screen", out)
        self.expect("velmorine.png: the 240x320 menu picture covers 18% of the 480x854 screen; the rest of the "
                    "screen stays black", "--screen=480X854")


class CommandLine(unittest.TestCase):
    def test_usage_errors_exit_2(self):
        for args in (["--screen"], ["--screen", "big"], ["--screen", "0x5"], ["--screen", "4294967536x320"],
                     ["--screen", "16385x320"], ["--bogus"], ["a", "b"],
                     ["/nonexistent/theme"]):
            with self.subTest(args=args):
                code, out, err = run_check(*args)
                self.assertEqual(code, 2, out + err)
                self.assertIn("usage: powermenu-check", err)

    def test_help(self):
        code, out, _ = run_check("--help")
        self.assertEqual(code, 0)
        self.assertIn("usage: powermenu-check [THEME_DIR] [--screen WxH]", out)


if __name__ == "__main__":
    CHECK, DEFAULT_THEME = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=1)
