#pragma once

#include <QHash>
#include <QSet>

class QKeyEvent;

// Which keys a hand holds down, so that a held key acts once. Qt flags most
// of the presses a held key repeats, but not all: X11 repeats a key as a
// release and a press at the same server time, and Qt sees the pair only
// when the press is already queued, which under load it often is not.
class HeldKeys {
public:
    // True for a press that a hand made, false for a repeat.
    bool pressed(const QKeyEvent& e);
    void released(const QKeyEvent& e);
    // A release that went to another window is never seen here.
    void forget() { down.clear(); }
    bool anyDown() const { return !down.isEmpty(); }

private:
    QSet<int> down;
    QHash<int, quint64> released_at;
};
