#pragma once

#include "platform/ZKbMainWidget.h"
#include "platform/accessible_menu.h"
#include "settings/item_names.h"
#include "platform/window_picture.h"

#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QVector>

#include <cstdio>

class QEventPoint;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QTouchEvent;

// The menu's one window. Settings and menu state are plain members: the key
// handler changes the state, the paint handler only reads it.
class MyZKbMain : public ZKbMainWidget, public SpokenTargets {
    Q_OBJECT

public:
    // Reads conf.ini from the working directory. The menu picture is read
    // when it is first drawn (see read_menu_picture).
    MyZKbMain();
    ~MyZKbMain() override;

    int ini_soft();
    int getintformini(FILE* file, const char* key);

    // Settings from conf.ini: picture coordinates, except start_x and
    // start_y (screen), line_color (0xRRGGBB) and line_width (screen pixels;
    // below 2, the one-pixel outlines of themes that do not set it).
    int icon0_y = 0;
    int icon1_y = 0;
    int width0 = 0;
    int width1 = 0;
    int height0 = 0;
    int height1 = 0;
    int reflash_x = 0;
    int shut_x = 0;
    int reboot_x = 0;
    int cancel_x = 0;
    int start_x = 0;
    int start_y = 0;
    int line_color = 0;
    int line_width = 0;

    // 0 to 2: that top-row item has the focus; 3 to 5: item (sel_index - 3)
    // has been confirmed.
    int sel_index = 1;
    bool cancel_focus = false;
    bool cancel_now = false;
    bool poweroff_now = false;

    QImage bg_image;

    // Whether a finger or the mouse button is down inside the focused
    // target: it is then drawn pressed, as lifting would confirm it.
    bool held_on_focus() const;

    // What a screen reader hears (menu/spoken.cpp): the targets are items 0
    // to 2 and the cancel button, named by the theme's names.txt or by their roles.
    QString spokenName() const override;
    int spokenTargetCount() const override;
    QString spokenTargetName(int target) const override;
    QRect spokenTargetArea(int target) const override;
    int spokenFocus() const override;

protected:
    // A tap on an item or the cancel button works like moving the focus
    // there and pressing Return. Touch screens arrive as touch events, each
    // finger on its own, so that a touch the system takes back can be told
    // from a lifted finger; mice arrive as mouse events.
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    QRegion paintCoversOpaquely() override;
    bool paintFillsInNewBackingStore(const QImage& store) override;

private slots:
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void slotTimeout();

private:
    // The key and touch paths share these, so a tap confirms exactly as Return does.
    bool confirm_pending() const;
    void confirm();
    // Runs item's script if it is still safe to; 0, or the status to end with.
    int run_script(int item);

    // Each finger, or the mouse button, that went down on a target: a
    // top-row item 0 to 2 or 3 for the cancel button, and whether it is
    // inside it still. A finger that went down on nothing is not held.
    struct Hold {
        bool mouse;
        int id;
        int target;
        bool inside;
    };
    QVector<Hold> holds;
    // The focus when the first of the holds began: a cancelled touch gives it back.
    int sel_before_touch = 1;
    bool cancel_before_touch = false;
    void touch(QTouchEvent* e);
    void hold_down(bool mouse, int id, QPointF at);
    void hold_moved(bool mouse, int id, QPointF at);
    void hold_up(bool mouse, int id, QPointF at);
    void holds_cancelled();

    // bg_image holds only the part of bg_file that was on the screen (its
    // offset() is where that part lies in the picture, bg_whole the picture's
    // size); bg_pixmap reads more of it when a paint at `at` on `device`
    // pixels shows more.
    const char* bg_file = "velmorine.png";
    QSize bg_whole;
    // Reads the menu picture unless that was done, or a picture was set.
    void read_menu_picture(QImage* store = nullptr);
    bool bg_read = false;

    // Drawing caches (menu/rendering.cpp): bg_image as a pixmap and its
    // opaque pixels, made again only when bg_image has changed, and whether
    // "poweroff.png" was read.
    const QPixmap& bg_pixmap(QPoint at, QSize device);

    // The menu picture, drawn; where its opaque pixels are on the window.
    QRegion draw_menu_picture(QSize device);
    static bool covers(const QImage& store, const QImage& picture, QPoint placed);
    bool moves_into(const QImage& store) const;
    void move_in(QImage& store);
    QVector<QRect> highlight_areas(QSize store) const;
    WindowPicture bg_in_window;
    QPixmap bg_pixmap_cache;
    QRegion bg_opaque_cache;
    qint64 bg_pixmap_key = 0;
    bool poweroff_read = false;

    // names.txt is read only once a screen reader asks for a name.
    QString spoken_words(Named what) const;
    mutable QString spoken[kNameCount];
    mutable bool names_read = false;
};
