"""Extreme numbers in conf.ini: enormous, negative and wrapped-around rectangles and positions."""

from harness import Case

INT_MAX, INT_MIN = 2**31 - 1, -2**31
SIZES = ("width0", "width1", "height0", "height1")
POSITIONS = ("icon0_y", "icon1_y", "reflash_x", "shut_x", "reboot_x", "cancel_x")
PLACEMENT = ("start_x", "start_y")


def conf(**values):
    text = "".join(f"{key}={value}\n" for key, value in values.items()) + "line_color=16763904\n"
    return lambda theme: (theme / "conf.ini").write_text(text)


def every(keys, value):
    return {key: value for key in keys}


# Every highlight is drawn: both rows focused, then the top row pressed.
TOUR = ("Down", "Up", "Left", "Return")
CANCEL = ("Down", "Return")
# The menu needs a few tens of MiB (more under AddressSanitizer); a highlight
# that allocated by its size would need gigabytes.
PEAK_MIB = 400

CONFS = {
    "every setting INT_MAX": conf(**every(SIZES + POSITIONS + PLACEMENT, INT_MAX)),
    "every setting INT_MIN": conf(**every(SIZES + POSITIONS + PLACEMENT, INT_MIN)),
    "sizes INT_MAX at the picture's corner": conf(**every(SIZES, INT_MAX), **every(POSITIONS, 0)),
    "sizes INT_MAX reaching back into the picture": conf(**every(SIZES, INT_MAX),
                                                         **every(POSITIONS, -(2**30))),
    "sizes INT_MAX from positions INT_MIN": conf(**every(SIZES, INT_MAX), **every(POSITIONS, INT_MIN)),
    "sizes INT_MIN and -1": conf(width0=INT_MIN, height0=-1, width1=-1, height1=INT_MIN,
                                 **every(POSITIONS, 10)),
    "sizes just past the int range": conf(**every(SIZES, 2**31), **every(POSITIONS, -(2**31) - 1)),
    "picture placed at INT_MIN, INT_MAX": conf(start_x=INT_MIN, start_y=INT_MAX, width0=72, height0=104,
                                               width1=152, height1=44, shut_x=84, icon0_y=104),
    "picture placed at INT_MAX, INT_MIN": conf(start_x=INT_MAX, start_y=INT_MIN, width0=72, height0=104),
    "picture placed half off screen": conf(start_x=-120, start_y=160, **every(SIZES, INT_MAX)),
}

CASES = ([Case(f"{name}, top row pressed", spoil, keys=TOUR, runs=("item0",), peak_limit_mib=PEAK_MIB)
          for name, spoil in CONFS.items()]
         + [Case(f"{name}, cancel pressed", spoil, keys=CANCEL, runs=(), peak_limit_mib=PEAK_MIB)
            for name, spoil in CONFS.items()])
