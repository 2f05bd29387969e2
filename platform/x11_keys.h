#pragma once

#include <QList>

// The X server's side of telling a held key from a hand's presses. Both do
// nothing and answer false or nothing where the menu is not an X11 client.

// Asks the server for detectable auto-repeat, for this client alone: a held
// key then comes as presses with no release between them, and a release is
// always the key coming up. Without it a repeat is a release and a press at
// the same server time, which two quick presses (a macro key, a remote
// control, a burst from a test tool) also often are, since the server's
// clock counts milliseconds. True when the server agreed.
bool ask_for_repeats_as_presses();

// The keycodes of the keys that are down now.
QList<quint32> keycodes_down();
