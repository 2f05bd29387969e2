// Moving the focus with real key events; nothing here confirms a top-row item.
#include "app/gui.h"
#include "theme_folder.h"

#include <QtTest>

namespace {

// One character a key: the test tables read like what a user presses.
struct KeyName {
    char name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

constexpr KeyName kKeyNames[] = {
    {'U', Qt::Key_Up, Qt::NoModifier},    {'D', Qt::Key_Down, Qt::NoModifier},
    {'L', Qt::Key_Left, Qt::NoModifier},  {'R', Qt::Key_Right, Qt::NoModifier},
    {'2', Qt::Key_2, Qt::NoModifier},     {'8', Qt::Key_8, Qt::NoModifier},
    {'4', Qt::Key_4, Qt::NoModifier},     {'6', Qt::Key_6, Qt::NoModifier},
    {'k', Qt::Key_4, Qt::KeypadModifier}, {'m', Qt::Key_6, Qt::KeypadModifier},
    {'E', Qt::Key_Enter, Qt::KeypadModifier}, {'x', Qt::Key_X, Qt::NoModifier},
    {'s', Qt::Key_Space, Qt::NoModifier}, {'e', Qt::Key_Escape, Qt::NoModifier},
};

void press(QWidget& widget, const QByteArray& keys)
{
    for (char c : keys)
        for (const KeyName& k : kKeyNames)
            if (k.name == c)
                QTest::keyClick(&widget, k.key, k.modifiers);
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestKeys : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        theme.reset(new ThemeFolder);
        theme->writeConf("icon0_y=10\nwidth0=20\nheight0=20\n");
        theme->writePicture("velmorine.png", QSize(100, 60), Qt::darkBlue);
        theme->writeScripts();
    }
    void cleanup() { theme.reset(); }

    void focusMoves_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");

        QTest::newRow("starts on item 1") << QByteArray() << 1 << false;
        QTest::newRow("right three times comes back to item 1") << QByteArray("RRR") << 1 << false;
        QTest::newRow("right once") << QByteArray("R") << 2 << false;
        QTest::newRow("right wraps from 2 to 0") << QByteArray("RR") << 0 << false;
        QTest::newRow("left from 0 wraps to 2") << QByteArray("LL") << 2 << false;
        QTest::newRow("digits 4 and 6") << QByteArray("4446") << 2 << false;
        QTest::newRow("keypad digits") << QByteArray("kkm") << 0 << false;
        QTest::newRow("down focuses cancel") << QByteArray("D") << 1 << true;
        QTest::newRow("digit 8 focuses cancel") << QByteArray("R8") << 2 << true;
        QTest::newRow("left and right do nothing on cancel") << QByteArray("DLLR6") << 1 << true;
        QTest::newRow("up returns to the item that had focus") << QByteArray("LDRRU") << 0 << false;
        QTest::newRow("digit 2 goes up") << QByteArray("RD2") << 2 << false;
        QTest::newRow("keypad Enter is not a confirm key") << QByteArray("EDE") << 1 << true;
        QTest::newRow("unlisted keys do nothing") << QByteArray("xseRx") << 2 << false;
    }

    void focusMoves()
    {
        QFETCH(QByteArray, keys);
        MyZKbMain menu;
        press(menu, keys);
        QFETCH(int, sel_index);
        QFETCH(bool, cancel_focus);
        QCOMPARE(menu.sel_index, sel_index);
        QCOMPARE(menu.cancel_focus, cancel_focus);
        QVERIFY(!menu.cancel_now);
        QVERIFY(!menu.poweroff_now);
    }

    void sidewaysOnCancelRequestsNoRepaint()
    {
        MyZKbMain menu;
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QTest::keyClick(&menu, Qt::Key_Down);
        PaintCounter counter;
        menu.installEventFilter(&counter);
        QTRY_VERIFY(counter.paints > 0);
        QTest::qWait(100);
        counter.paints = 0;
        QTest::keyClick(&menu, Qt::Key_Left);
        QTest::keyClick(&menu, Qt::Key_Right);
        QTest::qWait(100);
        QCOMPARE(counter.paints, 0);
        QTest::keyClick(&menu, Qt::Key_Up);
        QTRY_VERIFY(counter.paints > 0);
    }

    void everySettingIsRead()
    {
        theme->writeConf("icon0_y=1\nicon1_y=2\nwidth0=3\nwidth1=4\nheight0=5\nheight1=6\n"
                         "reflash_x=7\nshut_x=8\nreboot_x=9\ncancel_x=10\nstart_x=11\n"
                         "start_y=12\nline_color=13\n");
        MyZKbMain menu;
        const int values[] = {menu.icon0_y, menu.icon1_y, menu.width0, menu.width1, menu.height0,
                              menu.height1, menu.reflash_x, menu.shut_x, menu.reboot_x,
                              menu.cancel_x, menu.start_x, menu.start_y, menu.line_color};
        for (int i = 0; i < 13; ++i)
            QCOMPARE(values[i], i + 1);
    }

    void windowIsTitledAndCoversTheScreen()
    {
        MyZKbMain menu;
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QCOMPARE(menu.windowTitle(), QStringLiteral("shut_down"));
        QCOMPARE(menu.geometry(), menu.screen()->geometry());
    }

    void missingThemeStillReactsToKeys()
    {
        QFile::remove(theme->path("conf.ini"));
        QFile::remove(theme->path("velmorine.png"));
        MyZKbMain menu;
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QVERIFY(menu.bg_image.isNull());
        QCOMPARE(menu.width0, 0);
        press(menu, "RD");
        QCOMPARE(menu.sel_index, 2);
        QVERIFY(menu.cancel_focus);
    }

private:
    std::unique_ptr<ThemeFolder> theme;
};

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
