"""Incomplete theme folders: the menu still opens, reacts to keys and runs scripts."""

import menu_view
from menu_case import MenuTestCase
from menu_view import same_colour
from theme import PICTURE


class IncompleteThemes(MenuTestCase):

    def test_theme_without_pictures_opens_and_runs_scripts(self):
        theme = self.make_theme(menu_picture=False, poweroff=None)
        run = self.start_menu(theme)
        shot = self.shot()
        for target in ("item0", "item1", "item2", "cancel"):
            x, y, w, h = theme.rect(target)
            self.assertFalse(same_colour(shot.pixel(x + w // 2, y + h // 2), PICTURE))
        run.keys("Left", "Return")
        self.assert_ended(run, scripts=[0])

    def test_theme_without_conf_ini_opens_and_runs_scripts(self):
        # Every setting is then 0: the picture at the top-left corner, a highlight of no size.
        theme = self.make_theme(conf=False)
        run = self.start_menu(theme)
        width, height = theme.picture_size
        self.wait_for_screen(
            lambda shot: same_colour(shot.pixel(0, 0), PICTURE)
            and same_colour(shot.pixel(width - 1, height - 1), PICTURE)
            and not same_colour(shot.pixel(width, height - 1), PICTURE),
            "the menu picture at the screen's top-left corner")
        run.keys("Right", "Right", "Return")
        self.assert_ended(run, scripts=[0])

    def test_missing_power_off_picture_leaves_the_menu_picture_at_the_corner(self):
        theme = self.make_theme(poweroff=None, hold_scripts=True)
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        run.keys("Return")
        self.wait_for_scripts(theme, [1])
        width, height = theme.picture_size
        self.wait_for_screen(
            lambda shot: same_colour(shot.pixel(0, 0), PICTURE)
            and same_colour(shot.pixel(width - 1, height - 1), PICTURE)
            and menu_view.outline_style(shot, theme.rect("item1")) is None,
            "the menu picture without highlight at (0, 0)")
        theme.release_scripts()
        self.assert_ended(run, scripts=[1])
