#pragma once

#include <QSet>

class QKeyEvent;

// Which keys a hand holds down, so that each press acts once, however fast
// the presses come, and a held key acts once, however long it is held.
// What a repeat looks like is the display system's to say. Under Wayland Qt
// repeats a held key itself and flags every repeat; a VNC client repeats a
// key as presses without releases. On X11 the server is asked to send a
// held key as presses without releases too, since Qt's flag there is a guess
// that also takes two quick presses for a repeat.
class HeldKeys {
public:
    // Once, before the window can have the keyboard: which repeats to trust
    // and which keys are already down, whose presses went to another window.
    void start();
    // True for a press that a hand made, false for a repeat.
    bool pressed(const QKeyEvent& e);
    void released(const QKeyEvent& e);
    // A release that went to another window is never seen here.
    void forget();
    // Keys pressed on this window that have not come up.
    bool anyDown() const { return !down.isEmpty(); }

private:
    bool isRepeatFlag(const QKeyEvent& e) const;

    QSet<qint64> down;
    QSet<qint64> down_elsewhere;
    bool started = false;
    bool flags_tell_repeats = true;
};
