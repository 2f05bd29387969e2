#pragma once

// One menu per theme folder: a second press of the power key must not stack
// a second menu on the first. Locks the working directory (the theme folder)
// for the life of the process; returns false when another process already
// holds it. The kernel drops the lock however the process ends, so a crash
// never leaves the menu unable to start.
bool lock_theme_folder();
