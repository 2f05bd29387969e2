#pragma once

class QScreen;
class QWidget;

// Where the Wayland compositor has a layer for the lock screens and power
// menus of this world, above every workspace and window, the menu and its
// shields live there: a workspace switch, Alt+Tab or a focus move then
// cannot hide the menu or take its keys. The menu's layer surface takes
// the keyboard for itself; a shield's takes none.
//
// Asked before the window is first shown, it makes the window such an
// overlay on the screen given (or the window's own) and says true; asked
// again of the same window, it says whether the window is one. False, and
// the window is left as it was, on other platforms, where the compositor
// has no such layer, and in builds without Qt's layer-shell library.
bool as_overlay(QWidget* window, QScreen* screen, bool takes_keys);
