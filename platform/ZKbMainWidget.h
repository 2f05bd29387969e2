#pragma once

#include "platform/held_keys.h"

#include <QWidget>

class QImage;
class QRegion;
class QString;

// Widget flag that stops the toolkit from clearing the window before a paint.
inline constexpr uint WRepaintNoErase = 0x00800000;

namespace ZHeader {
// Full-screen windows show no header, so the type is kept only for the call's shape.
enum HEADER_TYPE { MAIN_HEADER = 3 };
}

// The framework's widget chain, reduced to what a full-screen picture menu needs.
class ZWidget : public QWidget {
public:
    explicit ZWidget(QWidget* parent = nullptr);

    // Old-style widget flags; only WRepaintNoErase has an effect.
    uint getWFlags() const { return wflags; }
    void setWFlags(uint flags);

    // The size in device pixels of the screen the window is on: the most a
    // full-screen window shows.
    QSize screenPixels() const;

    // Closes the window once the keys pressed on it are up, at most a few
    // seconds later: a repeat or release that comes after the window has
    // gone reaches the window behind it. Calls after the first change nothing.
    void closeOnceKeysAreUp();
    bool isClosing() const { return closing; }
    bool paintedYet() const { return painted; }

protected:
    // Until WRepaintNoErase is set, each paint starts on a window cleared to
    // its background colour, except here: the device pixels that the paint
    // will cover with opaque pixels anyway.
    virtual QRegion paintCoversOpaquely();

    // A new backing store is filled in at once before the first paint on
    // it, unless the paint says that it fills it in itself.
    virtual bool paintFillsInNewBackingStore(const QImage& store);

    // During a paint: the window's backing store when the paint draws on it
    // and it is one image in memory that keeps its pixels from one paint to
    // the next (X11, and Qt's offscreen platform), else null: under Wayland
    // buffers take turns, and the window may be rendered into something else.
    QImage* lastingBackingStore();

    bool event(QEvent* e) override;

private:
    void fillInNewBackingStore();
    void closeNow();

    uint wflags = 0;
    const uchar* filled_in = nullptr;
    // Repeats of a held key never reach the key handler.
    HeldKeys held;
    bool closing = false;
    bool closed = false;
    bool painted = false;
};

class ZMainWidget : public ZWidget {
public:
    explicit ZMainWidget(QWidget* parent = nullptr);

    void setFullScreenMode(bool fullScreen, bool hideHeader);

    // Shows the window; in full-screen mode it covers the whole screen.
    void show();

protected:
    // A full-screen window takes the keyboard once it is shown.
    void showEvent(QShowEvent* event) override;

private:
    bool full_screen = false;
};

class ZKbMainWidget : public ZMainWidget {
public:
    ZKbMainWidget(ZHeader::HEADER_TYPE type, QWidget* parent, const char* name, uint flags);

    void setMainWidgetTitle(const QString& title);
};
