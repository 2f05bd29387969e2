#pragma once

#include <QRect>
#include <QString>

class QWidget;

// What a screen reader is told about a window that offers a few targets,
// one of which has the focus. The window implements it; the toolkit's
// accessibility asks for it only while assistive technology listens.
class SpokenTargets {
public:
    virtual QString spokenName() const = 0;
    virtual int spokenTargetCount() const = 0;
    virtual QString spokenTargetName(int target) const = 0;
    // In the window's device pixels.
    virtual QRect spokenTargetArea(int target) const = 0;
    // The focused target, or -1 when none is (the window itself has the focus).
    virtual int spokenFocus() const = 0;

protected:
    ~SpokenTargets() = default;
};

// Makes `window`, which must also be a SpokenTargets, known to assistive
// technology as a dialog with a push button for each target. Costs nothing
// while none listens.
void make_spoken(QWidget* window);

// Held over a change of the menu state: when the focus has moved to
// another target (or away from them all) by its end, a listening screen
// reader is told, and says the target's name.
class FocusMoveTeller {
public:
    explicit FocusMoveTeller(QWidget* window);
    ~FocusMoveTeller();
    FocusMoveTeller(const FocusMoveTeller&) = delete;
    FocusMoveTeller& operator=(const FocusMoveTeller&) = delete;

private:
    QWidget* window;
    int was;
};

// The window's spokenName() changed and is news: a listening screen reader
// says it at once where the toolkit can; elsewhere the window takes the
// focus, and a screen reader reads out its new name with it.
void announce_new_name(QWidget* window);
