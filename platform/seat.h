#pragma once

class QWidget;

// While the menu is open it holds the whole seat, not one screen: a window on
// another output must not be clickable or take the keys that the menu is
// trusted with. Every screen but the menu's is covered by a plain shield,
// made after the menu's first frame so that the menu is not slower to show;
// a screen plugged in later gets one too. Keys that a compositor gives a
// shield go to the menu; on X11 the menu takes the keyboard again whenever
// its window comes back on the screen. Framebuffer platforms have one
// screen that nothing else can cover.
void hold_the_seat(QWidget* menu);

// A second press of the power key: the menu comes to the front on the
// current workspace with the keyboard, wherever a workspace switch left it.
// False where nothing can hide it (the framebuffer), so nothing was done.
bool bring_back(QWidget* menu);
