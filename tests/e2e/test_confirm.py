"""Confirming an item: pressed outline, power-off picture while its script runs, one run of
the confirmed script, exit status 1."""

import subprocess

import menu_view
from menu_case import MenuTestCase
from menu_view import same_colour
from theme import LARGE, LINE, PHONE, POWEROFF


class Confirm(MenuTestCase):

    def check_confirm_runs(self, cases):
        for keys, item in cases:
            with self.subTest(keys=keys):
                theme = self.make_theme()
                run = self.start_menu(theme)
                self.wait_for_highlight(theme, "item1")
                run.keys(*keys)
                self.assert_ended(run, scripts=[item])

    def test_return_runs_the_focused_items_script_once(self):
        self.check_confirm_runs([(["Return"], 1), (["Right", "Return"], 2),
                                 (["Left", "Return"], 0), (["Down", "Up", "Return"], 1)])

    def test_digit_5_runs_the_focused_items_script_once(self):
        self.check_confirm_runs([(["5"], 1), (["6", "5"], 2), (["KP_4", "KP_5"], 0)])

    def test_keys_reach_the_menu_when_another_window_has_the_focus(self):
        # As a window manager that prevents focus stealing leaves it.
        theme = self.make_theme()
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        other = subprocess.Popen(["xmessage", "the window behind"], env=self.xserver.env)
        self.addCleanup(other.kill)
        self.xserver.wait_for_window("xmessage", lambda: None)
        run.keys("Right", "Return")
        self.assert_ended(run, scripts=[2])

    def check_power_off_picture(self, screen):
        theme = self.make_theme(screen=screen, hold_scripts=True)
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        run.keys("Right", "Return")
        self.wait_for_scripts(theme, [2])

        # The whole screen, not just where the menu picture was: the picture is the
        # screen's size and goes to (0, 0) whatever start_x and start_y say.
        x, y, w, h = theme.rect("item2")
        places = [(0, 0), (screen.width - 1, 0), (0, screen.height - 1),
                  (screen.width - 1, screen.height - 1), (screen.width // 2, screen.height // 2),
                  (x, y), (x + w // 2, y), (x + w - 1, y + h - 1)]
        self.wait_for_screen(lambda shot: all(same_colour(shot.pixel(*p), POWEROFF) for p in places),
                             "the power-off picture over the whole screen")
        self.assertTrue(run.running(), "the menu must wait for the script")
        theme.release_scripts()
        self.assert_ended(run, scripts=[2])

    def test_power_off_picture_covers_the_phone_screen_while_the_script_runs(self):
        self.check_power_off_picture(PHONE)

    def test_power_off_picture_covers_a_large_screen_while_the_script_runs(self):
        self.check_power_off_picture(LARGE)

    def test_confirmed_item_is_drawn_pressed_before_the_power_off_picture(self):
        # The pressed outline is on the screen for a moment only; a see-through power-off
        # picture leaves it there, so it can be looked at while the script runs.
        theme = self.make_theme(poweroff="transparent", hold_scripts=True)
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        run.keys("Left", "Return")
        self.wait_for_scripts(theme, [0])
        self.wait_for_screen(
            lambda shot: same_colour(shot.pixel(0, 0), POWEROFF)
            and menu_view.highlight(shot, theme) == ("item0", menu_view.PRESSED),
            "the power-off marker, with item0 pressed beneath the see-through picture")
        x, y, w, h = theme.rect("item0")
        self.assertTrue(same_colour(self.shot().pixel(x + w // 2, y), LINE))
        theme.release_scripts()
        self.assert_ended(run, scripts=[0])

    def test_keys_after_a_confirm_run_only_the_confirmed_script(self):
        theme = self.make_theme()
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        # Paused, the menu finds the whole burst waiting at once, as on a busy device, so
        # every key lands between the confirm and the run of its script.
        run.pause()
        run.keys("Right", "Return", "Left", "Return", "5", "Down", "5", "Up", "Right",
                 "Return", "KP_5", delay_ms=1)
        run.resume()
        self.assert_ended(run, scripts=[2])
