#!/usr/bin/env python3
"""Breaks the program on purpose, one fault at a time, and names the test that notices.

Usage: faults.py BUILD_DIR [NAME...]
Each fault is a one-line change of real behaviour. It is made in this source tree, the build
folder is rebuilt, and the tests run fast ones first until the first one fails; then the file
is put back. A fault that no test notices makes the exit status 1. Run it on a tree you are
not editing: the source files change while it runs."""

import json
import os
import re
import subprocess
import sys
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
# The in-process tests first: most faults are caught there within seconds.
STAGES = [["-L", "unit"], ["-LE", "unit", "-E", "^package_"]]

C, R, T, M = "menu/controller.cpp", "menu/rendering.cpp", "menu/touch.cpp", "settings/conf_reader.cpp"
P, TT = "platform/painting.cpp", "app/theme_trust.cpp"
A, S = "platform/accessible_menu.cpp", "menu/spoken.cpp"
SEAT = "platform/seat.cpp"
FAULTS = [
    # name, file, text, what it becomes
    ("piece length 50", "settings/conf_reader.h", "kPieceLength = 49", "kPieceLength = 50"),
    ("value cut at 20", "settings/conf_reader.h", "kValueLength = 19", "kValueLength = 20"),
    ("read limit doubled", "settings/conf_reader.h", "1L << 20", "1L << 21"),
    ("';' comments instead of '#'", "settings/conf_reader.h", "piece[0] == '#'", "piece[0] == ';'"),
    ("separator not skipped", M, "++text; //", "text += 0; //"),
    ("hex understood", M, "&end, 10)", "&end, 0)"),
    ("no saturation", M, "std::clamp<long>(value, INT_MIN, INT_MAX)", "value"),
    ("FIFO conf.ini accepted", M, "!S_ISREG(info.st_mode)", "S_ISDIR(info.st_mode)"),
    ("FIFO open blocks", M, "O_RDONLY | O_NONBLOCK", "O_RDONLY"),
    ("no rewind between keys", M, "    rewind(file);\n", ""),
    ("last match wins", M, "        source.value_cut = rest > kValueLength;\n        break;", "        source.value_cut = rest > kValueLength;"),
    ("width0 and width1 swapped", "settings/ini_soft.cpp", "&MyZKbMain::width0,   &MyZKbMain::width1", "&MyZKbMain::width1,   &MyZKbMain::width0"),
    ("conf.ini under another name", "settings/ini_soft.cpp", 'open_conf("conf.ini")', 'open_conf("config.ini")'),
    ("starts on item 0", "app/gui.h", "int sel_index = 1;", "int sel_index = 0;"),
    ("Right does not wrap", C, "(sel_index + 1) % kItemCount", "std::min(sel_index + 1, kItemCount - 1)"),
    ("digit 4 moves right", C, "{Qt::Key_4, Role::Left}", "{Qt::Key_4, Role::Right}"),
    ("keypad Enter confirms", C, "{Qt::Key_F2, Role::Close},", "{Qt::Key_F2, Role::Close}, {Qt::Key_Enter, Role::Confirm},"),
    ("Escape instead of F2", C, "{Qt::Key_F2, Role::Close}", "{Qt::Key_Escape, Role::Close}"),
    ("sideways keys move off cancel", C, "        if (cancel_focus)\n            return;\n        sel_index = (sel_index + 1)", "        sel_index = (sel_index + 1)"),
    ("Up forgets the item", C, "    case Role::Up:\n        cancel_focus = false;", "    case Role::Up:\n        cancel_focus = false; sel_index = 0;"),
    ("keys count after a confirm", C, "    if (confirm_pending())\n        return;\n\n", ""),
    ("a confirmed cancel can be undone", C, "sel_index >= kItemCount || cancel_now;", "sel_index >= kItemCount;"),
    ("F2 after a confirm still runs", C, " && !isClosing()", ""),
    ("scripts 1 and 2 swapped", C, '"./item1.sh", "./item2.sh"', '"./item2.sh", "./item1.sh"'),
    ("cancel runs the item", C, "if (poweroff_now || cancel_now) {", "if (poweroff_now) {"),
    ("no pause before the script", C, "kPowerOffShownMs = 100", "kPowerOffShownMs = 1"),
    ("power-off picture never shown", C, "    poweroff_now = true;\n", ""),
    ("power-off picture at start", R, "bitBlt(this, bg_image.offset().x(), bg_image.offset().y(),",
     "bitBlt(this, start_x + bg_image.offset().x(), start_y + bg_image.offset().y(),"),
    ("picture at (start_y, start_x)", R, "bitBlt(this, placed.x(), placed.y(), &pixmap", "bitBlt(this, placed.y(), placed.x(), &pixmap"),
    ("red and blue swapped", R, "(line_color >> 16) & 0xff, (line_color >> 8) & 0xff, line_color & 0xff", "line_color & 0xff, (line_color >> 8) & 0xff, (line_color >> 16) & 0xff"),
    ("pressed item drawn as focus", R, "menu.sel_index < 3 ? Style::Focus : Style::Pressed", "Style::Focus"),
    ("cancel highlight uses height0", R, "menu.width1, menu.height1", "menu.width1, menu.height0"),
    ("stale picture cache", R, "bg_image.cacheKey() != bg_pixmap_key", "bg_pixmap_cache.isNull()"),
    ("stipple on odd pixels", P, "(py - anchorY) / line) % 2 == 0", "(py - anchorY) / line) % 2 != 0"),
    ("focus outline a pixel wider", P, "right = left + w - 1", "right = left + w"),
    ("line_width ignored", R, "std::max(line_width, 1)", "1"),
    ("wide focus squares anchored at the picture", P, "line == 1 ? origin.x() : left, anchorY = line == 1 ? origin.y() : top", "origin.x(), anchorY = origin.y()"),
    ("wide pressed outline a pixel narrower", P, "outer.adjusted(line, line, -line, -line)", "outer.adjusted(line - 1, line - 1, 1 - line, 1 - line)"),
    ("faint pixels drawn", P, "qAlpha(line[x]) >= 128", "qAlpha(line[x]) >= 1"),
    ("transparent pixels copied", P, ": QPainter::CompositionMode_SourceOver", ": QPainter::CompositionMode_Source"),
    ("window not full screen", "platform/ZKbMainWidget.cpp", "setGeometry(screen()->geometry());", "(void)screen();"),
    ("decoration switch left to the scripts", "platform/ZKbMainWidget.cpp", "            qunsetenv(name);", "            (void)name;"),
    ("a bus daemon autolaunched", "platform/ZKbMainWidget.cpp", "!user_bus_exists());", "!user_bus_exists() && false);"),
    ("X11's repeats left to Qt's guess", "platform/held_keys.cpp", "if (!ask_for_repeats_as_presses())", "if (true)"),
    ("Qt's repeat flags ignored under Wayland", "platform/held_keys.cpp", "return flags_tell_repeats && e.isAutoRepeat();", "return false && e.isAutoRepeat();"),
    ("a held key acts on each repeat", "platform/held_keys.cpp", "if (down.contains(key) || ", "if ("),
    ("keys down before the menu act", "platform/held_keys.cpp", "down_elsewhere.insert(code);", "(void)code;"),
    ("the menu goes while its key is down", "platform/ZKbMainWidget.cpp", "kMostKeyUpWaitMs = 5000", "kMostKeyUpWaitMs = 400"),
    ("a missing Qt thread ignored", "platform/toolkit_failure.cpp", '{"QThread::start: Thread', '{"QThread::start: no Thread'),
    ("first paint not erased", "platform/ZKbMainWidget.cpp", "QEvent::Paint && !(wflags & WRepaintNoErase)", "QEvent::Paint && false"),
    ("erase skips transparent pixels", R, "? bg_opaque_cache.translated(placed) :", "? QRegion(pixmap.rect()).translated(placed) :"),
    ("picture rows skipped while they arrive", "platform/window_picture.cpp", "        next_row += count;", "        next_row += band;"),
    ("rows told before they are decoded", "platform/png_picture.cpp", "final_rows = y + 1 - to.top;", "final_rows = y + 2 - to.top;"),
    ("a broken picture's rows kept in", R, "    if (moving && moves_into(*store))", "    if (moving)"),
    ("window erased between paints", "platform/ZKbMainWidget.cpp", "setAttribute(Qt::WA_OpaquePaintEvent);", "setAttribute(Qt::WA_OpaquePaintEvent, false);"),
    ("tap a pixel too far", T, "pixel < low + size", "pixel <= low + size"),
    ("slide off still confirms", T, " || !contains(*this, kTargets[target], device_position(*this, *e))", ""),
    ("taps count after a confirm", T, "confirm_pending() ? kNoTarget : ", ""),
    ("exit status 0", "app/main.cpp", "    return status;", "    return 0;"),
    ("no lock taken", "app/main.cpp", "    if (const int refused = lock_theme_folder(second_press))\n        return refused;\n", ""),
    ("theme not checked at start", "app/main.cpp", "untrusted_theme(); !why.empty()", "untrusted_theme(); false"),
    ("script not checked before it runs", C, "    if (why.empty())\n        why = untrusted_theme_file", "    if (false)\n        why = untrusted_theme_file"),
    ("everyone's write bit ignored", TT, "if (info.st_mode & S_IWOTH)", "if (false)"),
    ("any group may write", TT, "(info.st_mode & S_IWGRP) && !owners_private_group", "false && !owners_private_group"),
    ("no group may write", TT, "!owners_private_group(info.st_gid, info.st_uid)", "!(owners_private_group(info.st_gid, info.st_uid) && false)"),
    ("links judged by themselves", TT, "if (!S_ISLNK(link.st_mode)) {", "if (true) {"),
    ("sticky folders not trusted", TT, "&& !sticky_and_trusted)", "&& !(sticky_and_trusted && false))"),
    ("script started through system()", C, "return run_item_script(kCommands[item]);", "return std::system(kCommands[item]) & 0;"),
    ("failed starts not retried", "menu/item_script.cpp", "kRetryFor{kRetrySeconds * 1000}", "kRetryFor{0}"),
    ("lock folder of someone else's used", "app/instance_lock.cpp", "    if (folder.unsafe) {", "    if (false) {"),
    ("SIGPIPE kills", "app/main.cpp", "    std::signal(SIGPIPE, [](int) {});\n", ""),
    ("other outputs left bare", SEAT, "    if (on_x11() || on_wayland())\n        new Seat(menu);", "    if (false)\n        new Seat(menu);"),
    ("no shield for an output plugged in", SEAT, "        connect(qGuiApp, &QGuiApplication::screenAdded, this, &Seat::cover);\n", ""),
    ("a shield keeps the keys it gets", SEAT, "            QCoreApplication::sendEvent(menu, &copy);\n", ""),
    ("a hidden menu is only raised", SEAT, "if (on_wayland() || !handle || !handle->isExposed()) {", "if (!handle) {"),
    ("no grab back on its workspace", SEAT, "if (exposed && !was_exposed && on_x11())", "if (false)"),
    ("a framebuffer menu says it came back", SEAT, "    if (!on_x11() && !on_wayland())\n        return false;\n", ""),
    ("check finds nothing wrong", "tools/check/main.cpp", "return fails ? 1 : 0;", "return fails ? 0 : 0;"),
    ("check: partial coverage a problem", "tools/check/theme_files.cpp", '" DIR",\n                Severity::Warning', '" DIR",\n                Severity::Problem'),
    ("check: --strict ignored", "tools/check/main.cpp", "strict || f.severity", "f.severity"),
    ("tools: Qt's runtime folder note shown", "tools/common/runtime_dir_note.cpp", "if (!message", "if (true || !message"),
    ("check passes files others can change", "tools/check/theme_files.cpp", "untrusted_theme_file(name); !why.empty()", "untrusted_theme_file(name); false"),
    ("preview presses item 1 for item 0", "tools/preview/menu_screens.cpp", '{kStart, {0, false, false, false}, {3,', '{kStart, {0, false, false, false}, {4,'),
    ("keys move the focus unheard", C, "    const FocusMoveTeller teller(this);\n    switch", "    switch"),
    ("a finger moves the focus unheard", T, "int id, QPointF at)\n{\n    const FocusMoveTeller teller(this);\n    const int target",
     "int id, QPointF at)\n{\n    const int target"),
    ("the focus not told once a reader listens", A, "if (active && window)", "if (false && active && window)"),
    ("the power-off screen unannounced", C, "    announce_new_name(this);\n", ""),
    ("buttons where the picture would be at (0, 0)", S, "clamped(std::int64_t{start_x} + this->*t.x)", "clamped(std::int64_t{0} + this->*t.x)"),
    ("names.txt read from a file others can change", S, "if (why.empty()) {\n            const ItemNames", "if (true) {\n            const ItemNames"),
    ("a FIFO names.txt blocks", S, "O_RDONLY | O_NONBLOCK | O_CLOEXEC", "O_RDONLY | O_CLOEXEC"),
    ("names: the first of two lines counts", "settings/item_names.cpp", "            names.words[index] = words;", "            if (!taken_from[index]) names.words[index] = words;"),
    ("names: words not trimmed", "settings/item_names.cpp", "words = trimmed(line.substr(equals + 1))", "words = line.substr(equals + 1)"),
    ("names: any bytes taken", "settings/item_names.cpp", "        else if (!speakable(words))", "        else if (!speakable(words) && false)"),
    ("names: 201 bytes taken", "settings/item_names.cpp", "words.size() > kLongestName", "words.size() > kLongestName + 1"),
    ("launcher: missing theme is status 1", "launcher/powermenu-launch.in", "(see powermenu-launch --help).\" >&2\n    exit 2", "(see powermenu-launch --help).\" >&2\n    exit 1"),
]


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, errors="replace", **kwargs)


def first_failure(build):
    """The first failing test and its first failure line, or None when every stage passes.
    Each stage builds only what its tests run, the last one everything."""
    for stage in STAGES:
        if stage is STAGES[-1]:
            built = run(["cmake", "--build", build, "-j2"])
        else:
            listed = json.loads(run(["ctest", "--test-dir", build, "--show-only=json-v1", *stage]).stdout)
            targets = {os.path.basename(test["command"][0]) for test in listed["tests"]}
            built = run(["cmake", "--build", build, "-j2", "--target", *sorted(targets)])
        if built.returncode != 0:
            return None
        done = run(["ctest", "--test-dir", build, "--stop-on-failure", "--output-on-failure", *stage])
        if done.returncode != 0:
            failed = re.findall(r"^\s*\d+ - (\S+) \(", done.stdout, re.M)
            line = next((l.strip() for l in done.stdout.splitlines()
                         if re.search(r"FAIL|Error|error:|Timeout", l)), "")
            return f"{failed[0] if failed else '?'}: {line[:150]}"
    return None


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build, only = sys.argv[1], sys.argv[2:]
    missed = 0
    for name, path, text, broken in FAULTS:
        if only and name not in only:
            continue
        file = SOURCE / path
        original = file.read_text()
        if original.count(text) != 1:
            print(f"?? {name}: the text to break is not in {path} exactly once", flush=True)
            missed += 1
            continue
        started = time.monotonic()
        try:
            file.write_text(original.replace(text, broken))
            built = run(["cmake", "--build", build, "-j2", "--target", "powermenu"])
            caught = None if built.returncode else first_failure(build)
        finally:
            file.write_text(original)
        missed += caught is None
        why = "does not build" if built.returncode else "no test failed"
        print(f"{'caught' if caught else 'MISSED'} {name} ({time.monotonic() - started:.0f} s): "
              f"{caught or why}", flush=True)
    run(["cmake", "--build", build, "-j2"])
    sys.exit(1 if missed else 0)


if __name__ == "__main__":
    main()
