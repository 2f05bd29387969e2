"""What the user sees first: the menu picture where conf.ini puts it, item 1 focused."""

import menu_view
from menu_case import MenuTestCase
from menu_view import same_colour
from theme import LARGE, PHONE, PICTURE


class FirstFrame(MenuTestCase):

    def check_first_frame(self, screen):
        theme = self.make_theme(screen=screen)
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")

        shot = self.shot()
        left, top = screen.start_x, screen.start_y
        right, bottom = left + theme.picture_size[0] - 1, top + theme.picture_size[1] - 1
        for x, y in ((left, top), (right, top), (left, bottom), (right, bottom)):
            self.assertTrue(same_colour(shot.pixel(x, y), PICTURE),
                            f"the picture's corner at ({x}, {y}) shows {shot.pixel(x, y)}")
        for x, y in ((left - 1, top), (left, top - 1), (right + 1, bottom), (right, bottom + 1)):
            self.assertFalse(same_colour(shot.pixel(x, y), PICTURE),
                             f"the picture reaches past its corner, to ({x}, {y})")
        for target in ("item0", "item2", "cancel"):
            self.assertIsNone(menu_view.outline_style(shot, theme.rect(target)), target)

        run.keys("F2")
        self.assert_ended(run)

    def test_first_frame_on_a_phone(self):
        self.check_first_frame(PHONE)

    def test_first_frame_on_a_large_screen(self):
        self.check_first_frame(LARGE)
