"""Ways out that run nothing: the cancel button and F2; keys that are not confirm keys."""

from menu_case import MenuTestCase


class Cancel(MenuTestCase):

    def check_runs_nothing(self, cases, paused=False):
        for keys in cases:
            with self.subTest(keys=keys):
                theme = self.make_theme()
                run = self.start_menu(theme)
                self.wait_for_highlight(theme, "item1")
                if paused:
                    # The menu finds all the keys waiting at once, as on a busy device, so
                    # they land before the confirm's timers run.
                    run.pause()
                run.keys(*keys, delay_ms=1 if paused else 12)
                if paused:
                    run.resume()
                self.assert_ended(run, scripts=[])

    def test_cancel_button_runs_nothing(self):
        self.check_runs_nothing([["Down", "Return"], ["8", "5"], ["Right", "Down", "KP_5"]])

    def test_f2_runs_nothing(self):
        self.check_runs_nothing([["F2"], ["Right", "F2"], ["Down", "F2"]])

    def test_f2_right_after_a_confirm_runs_nothing(self):
        self.check_runs_nothing([["Return", "F2"], ["Right", "5", "F2"]], paused=True)

    def test_keys_after_confirming_cancel_run_nothing(self):
        self.check_runs_nothing([["Down", "Return", "Up", "Return"],
                                 ["Down", "5", "Up", "Right", "5"]], paused=True)

    def test_keypad_enter_and_other_keys_do_nothing(self):
        # KP_Enter is Qt's Key_Enter, not Return; KP_Begin is the keypad's 5 with NumLock off.
        theme = self.make_theme()
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        for key, then, target in (("KP_Enter", "Right", "item2"), ("KP_Begin", "Left", "item1"),
                                  ("space", "Down", "cancel"), ("KP_Enter", "Up", "item1"),
                                  ("Escape", "Left", "item0")):
            # The following move shows the key was handled and left the menu as it was.
            run.keys(key, then)
            self.wait_for_highlight(theme, target, after=(key, then))
            self.assertEqual(theme.scripts_run(), [], f"scripts run after {key}")
        run.keys("F2")
        self.assert_ended(run, scripts=[])
