#pragma once

// Exit status of a menu that the toolkit or the display cannot run.
inline constexpr int kToolkitCannotRun = 69;

// From here on, where Qt reports that it cannot go on (a thread it needs
// would not start, the display connection failed or broke), the menu says
// so in one line and ends with kToolkitCannotRun; its lock goes with it.
// Install it before the application object exists.
//
// Until toolkit_started(), the menu also ends so when the start takes longer
// than any start does (Qt can wait for ever on a display connection that it
// has already given up), or when a library ends the process during the start
// (Xlib's exit(1) on a failed read would read as a menu that ended as usual).
void end_where_the_toolkit_cannot_run();
void toolkit_started();
