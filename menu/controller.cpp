#include "app/gui.h"
#include "app/theme_trust.h"
#include "menu/item_script.h"
#include "platform/accessible_menu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

enum class Role { Up, Down, Left, Right, Confirm, Close };

struct KeyBinding {
    int key;
    Role role;
};

// Keypad digits arrive as the plain digit keys, with only a modifier to tell them apart.
constexpr KeyBinding kKeyTable[] = {
    {Qt::Key_2, Role::Up},      {Qt::Key_Up, Role::Up},
    {Qt::Key_8, Role::Down},    {Qt::Key_Down, Role::Down},
    {Qt::Key_4, Role::Left},    {Qt::Key_Left, Role::Left},
    {Qt::Key_6, Role::Right},   {Qt::Key_Right, Role::Right},
    {Qt::Key_5, Role::Confirm}, {Qt::Key_Return, Role::Confirm},
    {Qt::Key_F2, Role::Close},
};

constexpr const char* kScripts[] = {"item0.sh", "item1.sh", "item2.sh"};
constexpr const char* kCommands[] = {"./item0.sh", "./item1.sh", "./item2.sh"};
constexpr int kItemCount = 3;

constexpr int kPressedMs = 50;
constexpr int kPowerOffShownMs = 100;

const KeyBinding* find_binding(int key)
{
    for (const KeyBinding& binding : kKeyTable)
        if (binding.key == key)
            return &binding;
    return nullptr;
}

} // namespace

void MyZKbMain::keyPressEvent(QKeyEvent* e)
{
    const KeyBinding* binding = find_binding(e->key());
    if (!binding)
        return;
    if (binding->role == Role::Close) {
        closeOnceKeysAreUp();
        return;
    }
    if (confirm_pending())
        return;

    const FocusMoveTeller teller(this);
    switch (binding->role) {
    case Role::Up:
        cancel_focus = false;
        break;
    case Role::Down:
        cancel_focus = true;
        break;
    case Role::Left:
        if (cancel_focus)
            return;
        sel_index = (sel_index + kItemCount - 1) % kItemCount;
        break;
    case Role::Right:
        if (cancel_focus)
            return;
        sel_index = (sel_index + 1) % kItemCount;
        break;
    case Role::Confirm:
        confirm();
        break;
    case Role::Close:
        break;
    }
    update();
}

// Once a choice is confirmed it is final: more input could otherwise move
// sel_index past the command table or turn a cancel into a command.
bool MyZKbMain::confirm_pending() const
{
    return sel_index >= kItemCount || cancel_now;
}

void MyZKbMain::confirm()
{
    if (cancel_focus)
        cancel_now = true;
    else
        sel_index += kItemCount;
    QTimer::singleShot(kPressedMs, this, SLOT(slotTimeout()));
}

// The theme was safe when the menu started; the script is looked at again
// because it may have changed since, while the menu waited for a key.
int MyZKbMain::run_script(int item)
{
    std::string why = untrusted_theme_folder();
    if (why.empty())
        why = untrusted_theme_file(kScripts[item]);
    if (why.empty())
        return run_item_script(kCommands[item]);
    std::fprintf(stderr, "powermenu: %s was not run: %s; %s\n", kCommands[item], why.c_str(), kOnlyRootAndYou);
    return kUntrustedTheme;
}

void MyZKbMain::slotTimeout()
{
    static bool send_cmd_now = false;

    if (send_cmd_now) {
        const int item = sel_index - kItemCount;
        // F2 after the confirm is a cancel, even if this timer fires while
        // the window waits for F2 to come up.
        const int failure = item >= 0 && item < kItemCount && !isClosing() ? run_script(item) : 0;
        if (failure)
            QApplication::exit(failure);
        else
            closeOnceKeysAreUp();
        return;
    }
    if (poweroff_now || cancel_now) {
        closeOnceKeysAreUp();
        return;
    }
    poweroff_now = true;
    send_cmd_now = true;
    update();
    announce_new_name(this);
    QTimer::singleShot(kPowerOffShownMs, this, SLOT(slotTimeout()));
}
