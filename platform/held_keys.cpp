#include "platform/held_keys.h"

#include "platform/x11_keys.h"

#include <QKeyEvent>

namespace {

// The key itself where the event names it (its keycode on X11, which is
// also what the server lists as down), else Qt's key code: events made
// inside the process carry no scan code.
qint64 key_id(const QKeyEvent& e)
{
    if (e.nativeScanCode() != 0)
        return e.nativeScanCode();
    return (qint64(1) << 32) | quint32(e.key());
}

} // namespace

void HeldKeys::start()
{
    if (started)
        return;
    started = true;
    // A server without XKB leaves Qt's guess as the only word on repeats.
    if (!ask_for_repeats_as_presses())
        return;
    flags_tell_repeats = false;
    for (quint32 code : keycodes_down())
        down_elsewhere.insert(code);
}

bool HeldKeys::isRepeatFlag(const QKeyEvent& e) const
{
    return flags_tell_repeats && e.isAutoRepeat();
}

bool HeldKeys::pressed(const QKeyEvent& e)
{
    const qint64 key = key_id(e);
    if (down.contains(key) || down_elsewhere.contains(key))
        return false;
    // A flagged repeat of a key not seen going down was pressed before the
    // window had the keyboard.
    if (isRepeatFlag(e)) {
        down_elsewhere.insert(key);
        return false;
    }
    down.insert(key);
    return true;
}

void HeldKeys::released(const QKeyEvent& e)
{
    if (isRepeatFlag(e))
        return;
    down.remove(key_id(e));
    down_elsewhere.remove(key_id(e));
}

void HeldKeys::forget()
{
    down.clear();
    down_elsewhere.clear();
}
