"""Reads what the menu shows from a screenshot: which target carries the highlight and in
which style. Only the pixels along each target's outline are looked at."""

from theme import LINE, TARGETS

FOCUS = "focus"      # dotted: about every other pixel of the outline
PRESSED = "pressed"  # solid, with rounded corners


def same_colour(a, b, slack=8):
    return all(abs(p - q) <= slack for p, q in zip(a, b))


def _edge_share(shot, points):
    points = [(x, y) for x, y in points if 0 <= x < shot.width and 0 <= y < shot.height]
    if not points:
        return 0.0
    return sum(same_colour(shot.pixel(x, y), LINE) for x, y in points) / len(points)


def _side_shares(shot, rect):
    """Share of line-coloured pixels along the middle of each side. The middle, because
    rounded corners leave the ends; the best of three neighbouring lines, because where
    exactly a 1-pixel outline falls on the rectangle's border is the toolkit's business."""
    x, y, w, h = rect
    across = range(x + w * 3 // 10, x + w * 7 // 10)
    down = range(y + h * 3 // 10, y + h * 7 // 10)
    sides = {"top": lambda d: [(px, y + d) for px in across],
             "bottom": lambda d: [(px, y + h - 1 + d) for px in across],
             "left": lambda d: [(x + d, py) for py in down],
             "right": lambda d: [(x + w - 1 + d, py) for py in down]}
    return {side: max(_edge_share(shot, line(d)) for d in (-1, 0, 1))
            for side, line in sides.items()}


def outline_style(shot, rect):
    """FOCUS, PRESSED or None for the outline around a screen rectangle; raises when the
    outline is there but looks like neither."""
    shares = _side_shares(shot, rect)
    if all(share <= 0.1 for share in shares.values()):
        return None
    if all(0.3 <= share <= 0.7 for share in shares.values()):
        return FOCUS
    x, y = rect[:2]
    if all(share >= 0.95 for share in shares.values()) and not same_colour(shot.pixel(x, y), LINE):
        return PRESSED
    rounded = ", ".join(f"{side} {share:.2f}" for side, share in shares.items())
    raise AssertionError(f"the outline at {rect} is neither dotted nor solid and rounded: "
                         f"share of line colour per side: {rounded}")


def highlight(shot, theme):
    """(target, style) of the one highlighted target, or None when nothing is highlighted."""
    found = [(target, style) for target in TARGETS
             if (style := outline_style(shot, theme.rect(target))) is not None]
    if len(found) > 1:
        raise AssertionError(f"more than one target is highlighted: {found}")
    return found[0] if found else None


def describe(found):
    return f"a {found[1]} highlight on {found[0]}" if found else "no highlight"
