// The confirm sequence, through real key events and real scripts.
//
// Once an item has been confirmed, the menu stays in "send the command"
// mode for the rest of the process, as a menu that is about to exit may.
// So each test function runs in a process of its own (see CMakeLists.txt).
#include "app/gui.h"
#include "theme_folder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <functional>

class TestConfirm : public QObject {
    Q_OBJECT

private:
    struct Run {
        bool quit = false;
        qint64 ms = 0;
    };

    // Shows the menu, presses the keys inside the event loop, and runs the
    // loop until the menu quits it (or a watchdog does).
    Run run(MyZKbMain& menu, const std::function<void()>& keys)
    {
        menu.show();
        if (!QTest::qWaitForWindowExposed(&menu))
            return {};
        bool watchdog = false;
        QTimer::singleShot(5000, qApp, [&] {
            watchdog = true;
            QApplication::quit();
        });
        QElapsedTimer clock;
        QTimer::singleShot(0, &menu, [&] {
            clock.start();
            keys();
        });
        QApplication::exec();
        return {!watchdog, clock.elapsed()};
    }

    void writeTheme(ThemeFolder& theme)
    {
        theme.writeConf("icon0_y=10\nwidth0=20\nheight0=20\nreflash_x=5\nshut_x=35\nreboot_x=65\n");
        theme.writePicture("velmorine.png", QSize(100, 60), Qt::darkBlue);
        theme.writePicture("poweroff.png", QSize(30, 30), Qt::red);
        theme.writeScripts();
    }

private slots:
    void returnRunsTheFocusedItemsScriptOnce()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        bool pressedBeforeTimers = false;
        const Run result = run(menu, [&] {
            QTest::keyClick(&menu, Qt::Key_Right);
            QTest::keyClick(&menu, Qt::Key_Return);
            pressedBeforeTimers = menu.sel_index == 5 && !menu.poweroff_now;
        });
        QVERIFY(result.quit);
        QVERIFY(pressedBeforeTimers);
        QCOMPARE(theme.log(), QByteArray("2\n"));
        // 50 ms of pressed item, then 100 ms of power-off picture before the script.
        QVERIFY2(result.ms >= 140, qPrintable(QString::number(result.ms)));
        QVERIFY(menu.poweroff_now);
        QCOMPARE(menu.bg_image.pixelColor(0, 0), QColor(Qt::red));
    }

    void digitFiveConfirmsToo()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        const Run result = run(menu, [&] {
            QTest::keyClick(&menu, Qt::Key_4);
            QTest::keyClick(&menu, Qt::Key_5, Qt::KeypadModifier);
        });
        QVERIFY(result.quit);
        QCOMPARE(theme.log(), QByteArray("0\n"));
    }

    void cancelButtonRunsNothing()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        bool cancelPressed = false;
        const Run result = run(menu, [&] {
            QTest::keyClick(&menu, Qt::Key_Down);
            QTest::keyClick(&menu, Qt::Key_Return);
            cancelPressed = menu.cancel_now;
            // Up after the cancel is confirmed must not bring back a runnable item.
            QTest::keyClick(&menu, Qt::Key_Up);
            QTest::keyClick(&menu, Qt::Key_Return);
        });
        QVERIFY(result.quit);
        QVERIFY(cancelPressed);
        QVERIFY(!menu.poweroff_now);
        QTest::qWait(200);
        QCOMPARE(theme.log(), QByteArray());
    }

    void f2RunsNothing()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        const Run result = run(menu, [&] { QTest::keyClick(&menu, Qt::Key_F2); });
        QVERIFY(result.quit);
        QVERIFY(!menu.isVisible());
        QCOMPARE(theme.log(), QByteArray());
    }

    void f2AfterConfirmRunsNothing()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        const Run result = run(menu, [&] {
            QTest::keyClick(&menu, Qt::Key_Return);
            QTest::keyClick(&menu, Qt::Key_F2);
        });
        QVERIFY(result.quit);
        // The confirm's timers are still pending when the loop ends; let them fire.
        QTest::qWait(300);
        QCOMPARE(theme.log(), QByteArray());
    }

    void f2WhileThePowerOffPictureShowsRunsNothing()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        bool f2Sent = false;
        const Run result = run(menu, [&] {
            QTest::keyClick(&menu, Qt::Key_Return);
            QTimer::singleShot(80, &menu, [&] {
                if (!menu.poweroff_now || !theme.log().isEmpty())
                    return;
                f2Sent = true;
                QTest::keyClick(&menu, Qt::Key_F2);
            });
        });
        QVERIFY(result.quit);
        QTest::qWait(300);
        if (!f2Sent)
            QSKIP("the machine was too slow to press F2 while the power-off picture showed");
        QCOMPARE(theme.log(), QByteArray());
    }

    void keysAfterAConfirmChangeNothing()
    {
        ThemeFolder theme;
        writeTheme(theme);
        MyZKbMain menu;
        const Run result = run(menu, [&] {
            QTest::keyClick(&menu, Qt::Key_Return);
            for (Qt::Key key : {Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Return,
                                Qt::Key_Down, Qt::Key_Return, Qt::Key_5})
                QTest::keyClick(&menu, key);
            QTimer::singleShot(70, &menu, [&] {
                QTest::keyClick(&menu, Qt::Key_Left);
                QTest::keyClick(&menu, Qt::Key_Down);
                QTest::keyClick(&menu, Qt::Key_Return);
            });
        });
        QVERIFY(result.quit);
        QTest::qWait(300);
        QCOMPARE(menu.sel_index, 4);
        QVERIFY(!menu.cancel_focus);
        QCOMPARE(theme.log(), QByteArray("1\n"));
    }

    void missingPowerOffPictureKeepsTheMenuPicture()
    {
        ThemeFolder theme;
        writeTheme(theme);
        QFile::remove(theme.path("poweroff.png"));
        MyZKbMain menu;
        const Run result = run(menu, [&] { QTest::keyClick(&menu, Qt::Key_Return); });
        QVERIFY(result.quit);
        QCOMPARE(theme.log(), QByteArray("1\n"));
        QCOMPARE(menu.bg_image.pixelColor(0, 0), QColor(Qt::darkBlue));
    }
};

QTEST_MAIN(TestConfirm)
#include "tst_confirm.moc"
