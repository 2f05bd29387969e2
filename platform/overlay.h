#pragma once

class QScreen;
class QWidget;

// Where the Wayland compositor has a layer for the lock screens and power
// menus of this world, above every workspace and window, the menu and its
// shields live there: a workspace switch, Alt+Tab or a focus move then
// cannot hide the menu or take its keys. Every one of them, the shields'
// too, asks for the keyboard for itself: sway forgets that an output's
// overlay holds the keyboard when it lays out another output without one,
// and then a focus move takes the keys. A shield that gets them hands them
// to the menu.
//
// Asked before the window is first shown, it makes the window such an
// overlay on the screen given (or the window's own) and says true; asked
// again of the same window, it says whether the window is one. False, and
// the window is left as it was, on other platforms, where the compositor
// has no such layer, and in builds without Qt's layer-shell library.
bool as_overlay(QWidget* window, QScreen* screen);
