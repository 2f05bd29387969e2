"""The exit status counts the arguments that Qt left: 1 for a bare start."""

from menu_case import MenuTestCase


class ExitStatus(MenuTestCase):

    def check_status(self, args, keys, status, scripts):
        theme = self.make_theme()
        run = self.start_menu(theme, *args)
        self.wait_for_highlight(theme, "item1")
        run.keys(*keys)
        self.assert_ended(run, status=status, scripts=scripts)

    def test_extra_arguments_raise_the_exit_status(self):
        for args, keys, status, scripts in ((["extra"], ["F2"], 2, []),
                                            (["one", "two"], ["Return"], 3, [1])):
            with self.subTest(args=args):
                self.check_status(args, keys, status, scripts)

    def test_qt_options_do_not_count_in_the_exit_status(self):
        for args, keys, scripts in ((["-platform", "xcb"], ["F2"], []),
                                    (["-platform", "xcb"], ["Right", "Return"], [2])):
            with self.subTest(args=args, keys=keys):
                self.check_status(args, keys, 1, scripts)
