#include "platform/held_keys.h"

#include <QKeyEvent>

bool HeldKeys::pressed(const QKeyEvent& e)
{
    const int key = e.key();
    const bool was_down = down.contains(key);
    down.insert(key);
    // A flagged repeat also stops a key that was already down when the menu
    // opened, whose press went elsewhere. Events made inside the process
    // carry no time at all.
    const bool released_this_instant = e.timestamp() != 0 && released_at.value(key) == e.timestamp();
    return !e.isAutoRepeat() && !was_down && !released_this_instant;
}

void HeldKeys::released(const QKeyEvent& e)
{
    if (e.isAutoRepeat())
        return;
    down.remove(e.key());
    released_at.insert(e.key(), e.timestamp());
}
