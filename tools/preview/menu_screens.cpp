#include "tools/preview/menu_screens.h"

#include "app/gui.h"

#include <QColor>

#include <cstring>

namespace {

constexpr MenuState kStart{1, false, false, false};

} // namespace

const std::vector<MenuScreen>& menu_screens()
{
    // Left from the start focus gives item 0, Right item 2, Down the cancel
    // button; Return presses what has the focus; 50 ms after pressing an item
    // the power-off picture follows.
    static const std::vector<MenuScreen> screens = {
        {"focus-0", "focus: item 0", {kStart, {0, false, false, false}}},
        {"focus-1", "focus: item 1 (start)", {kStart}},
        {"focus-2", "focus: item 2", {kStart, {2, false, false, false}}},
        {"focus-cancel", "focus: cancel", {kStart, {1, true, false, false}}},
        {"pressed-0", "pressed: item 0", {kStart, {0, false, false, false}, {3, false, false, false}}},
        {"pressed-1", "pressed: item 1", {kStart, {4, false, false, false}}},
        {"pressed-2", "pressed: item 2", {kStart, {2, false, false, false}, {5, false, false, false}}},
        {"pressed-cancel", "pressed: cancel", {kStart, {1, true, false, false}, {1, true, true, false}}},
        {"poweroff", "power-off (item 1)", {kStart, {4, false, false, false}, {4, false, false, true}}},
    };
    return screens;
}

const MenuScreen* find_menu_screen(const char* name)
{
    for (const MenuScreen& screen : menu_screens())
        if (std::strcmp(screen.name, name) == 0)
            return &screen;
    return nullptr;
}

QImage render_menu_screen(const MenuScreen& screen, QSize screen_size)
{
    // What the window shows before its first paint: its black background.
    QImage image(screen_size, QImage::Format_RGB32);
    image.fill(Qt::black);
    // A fresh window per screen: the power-off paint replaces bg_image.
    MyZKbMain menu;
    menu.resize(screen_size);
    for (const MenuState& state : screen.paints) {
        menu.sel_index = state.sel_index;
        menu.cancel_focus = state.cancel_focus;
        menu.cancel_now = state.cancel_now;
        menu.poweroff_now = state.poweroff_now;
        menu.render(&image);
    }
    return image;
}
