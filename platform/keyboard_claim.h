#pragma once

class QWidget;

// The old framework gave its full-screen main window the phone's keys. On a
// desktop the window manager decides who has the keyboard, and one that
// prevents focus stealing may leave it with the window behind, where Return
// is some other program's action. So the menu asks to be raised and
// activated, and on X11 grabs the keyboard once its window is on the
// screen, trying again while another client (such as the window manager,
// until the power key that started the menu is released) holds a grab;
// when the window manager gives another window the focus and raises it,
// the menu raises itself again.
// The grab ends with the process. Wayland compositors and the framebuffer
// platforms give a new full-screen window the keyboard themselves.
void claim_keyboard(QWidget* window);
