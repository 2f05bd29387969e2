#pragma once

#include <QImage>
#include <QSize>

#include <vector>

// The menu state members of MyZKbMain that decide what a paint shows.
struct MenuState {
    int sel_index;
    bool cancel_focus;
    bool cancel_now;
    bool poweroff_now;
};

// A screen the menu can show, with the states the window is painted in on
// the shortest way there from start. The window is not cleared between
// paints, so where a picture is transparent, or the power-off picture is
// smaller than the screen, earlier paints stay visible.
struct MenuScreen {
    const char* name;  // for --state
    const char* label; // for the contact sheet
    std::vector<MenuState> paints;
};

const std::vector<MenuScreen>& menu_screens();
const MenuScreen* find_menu_screen(const char* name);

// Paints the screen with the menu's own window class, as it would appear on
// a screen of `screen_size`; reads the theme from the working directory.
QImage render_menu_screen(const MenuScreen& screen, QSize screen_size);
