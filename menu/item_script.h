#pragma once

// The menu's exit status when a confirmed item's script could not be started.
constexpr int kScriptNotStarted = 71;

// Runs `command` ("./itemN.sh") through /bin/sh and waits for it, as system()
// does: SIGINT and SIGQUIT reach the script, not the menu. Unlike system(), a
// shell that could not be started is told apart from a script that ran: a
// start that fails for want of memory or processes is tried again for a
// short while, and one that still fails is said on stderr and returns
// kScriptNotStarted. A script that ran returns 0, whatever its own status;
// a failure or a signal gets one line on stderr.
int run_item_script(const char* command);
