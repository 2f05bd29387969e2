"""Moving the focus with arrows, digits and keypad digits, one key at a time and in bursts."""

import random

from menu_case import MenuTestCase

LEFT = ("Left", "4")
RIGHT = ("Right", "6")
UP = ("Up", "2")
DOWN = ("Down", "8")


def expected_focus(keys, start=1):
    """Where the focus ends after navigation keys: the top-row index kept under the cancel
    button, left and right wrapping and doing nothing while the cancel button has the focus."""
    index, on_cancel = start, False
    for key in keys:
        if key in UP:
            on_cancel = False
        elif key in DOWN:
            on_cancel = True
        elif not on_cancel:
            index = (index + (1 if key in RIGHT else -1)) % 3
    return "cancel" if on_cancel else f"item{index}"


class Navigation(MenuTestCase):

    def walk(self, steps):
        """Presses each key and waits for the highlight the step names. A key that should
        change nothing is followed in the table by one that does, so that a wrong move
        shows up in the next step."""
        theme = self.make_theme()
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        pressed = []
        for key, target in steps:
            pressed.append(key)
            run.keys(key)
            self.wait_for_highlight(theme, target, after=pressed)
        run.keys("F2")
        self.assert_ended(run)

    def test_arrows_move_the_focus_and_wrap_around(self):
        self.walk([("Right", "item2"), ("Right", "item0"), ("Right", "item1"),
                   ("Left", "item0"), ("Left", "item2"), ("Left", "item1"),
                   ("Down", "cancel"), ("Left", "cancel"), ("Right", "cancel"), ("Right", "cancel"),
                   ("Up", "item1"), ("Left", "item0"), ("Down", "cancel"), ("Up", "item0"),
                   ("Up", "item0"), ("Right", "item1")])

    def test_digits_move_the_focus_like_arrows(self):
        self.walk([("6", "item2"), ("6", "item0"), ("4", "item2"), ("4", "item1"),
                   ("8", "cancel"), ("4", "cancel"), ("2", "item1"), ("4", "item0"),
                   ("8", "cancel"), ("6", "cancel"), ("2", "item0")])

    def test_keypad_digits_move_the_focus(self):
        # The keypad's digits reach Qt as digit keys (with a keypad modifier the menu does not
        # look at) when NumLock is on, its arrows as arrow keys when it is off. xdotool turns
        # NumLock on or off for a press whose keysym needs it; Num_Lock also latches it here.
        self.walk([("Num_Lock", "item1"), ("KP_6", "item2"), ("KP_6", "item0"),
                   ("KP_4", "item2"), ("KP_8", "cancel"), ("KP_4", "cancel"), ("KP_2", "item2"),
                   ("Num_Lock", "item2"), ("KP_Left", "item1"), ("KP_Down", "cancel"),
                   ("KP_Up", "item1")])

    def test_a_burst_of_500_keys_ends_on_the_right_item(self):
        keys = random.Random(500).choices(LEFT + RIGHT + UP + DOWN, k=499) + ["Up"]
        target = expected_focus(keys)
        theme = self.make_theme()
        run = self.start_menu(theme)
        self.wait_for_highlight(theme, "item1")
        run.keys(*keys, delay_ms=1)
        self.wait_for_highlight(theme, target)
        run.keys("Return")
        self.assert_ended(run, scripts=[int(target[-1])])
