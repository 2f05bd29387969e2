#pragma once

// One menu per user and theme folder: a second press of the power key must
// not stack a second menu on the first, while one user's open menu (perhaps
// on a display nobody looks at) must not keep other users' menus from the
// shared installed themes. Locks a file named after the working directory's
// identity in the user's private runtime folder for the life of the process.
// Returns 0 when the menu may go on, else the status to end with, having
// said why on stderr: 1 when another process of this user already holds the
// lock, 77 when the lock folder is one that someone else could hold it in.
// A start that finds the lock taken first asks the open menu to come to the
// front (see second_press.h), and says whether it did; the holder gets the
// socket such starts knock on in second_press_fd (-1 when there is none).
// The kernel drops the lock however the process ends, so a crash never
// leaves the menu unable to start.
int lock_theme_folder(int& second_press_fd);
