// Taps on the menu through real mouse events, as a touch screen delivers them.
// A confirmed item leaves the confirm sequence's process-wide flag set, so
// every test that confirms something runs in a process of its own (CTest
// passes the test function's name).
#include "app/gui.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <climits>
#include <memory>

namespace {

// Values of conf.ini keys, by key.
using Theme = QMap<QString, int>;

// Picture coordinates; the picture stands at (20, 20) on the screen, so item
// 0 covers screen x 30..79, item 1 96..145, item 2 160..209 at y 60..119, and
// the cancel button x 70..169 at y 220..259. Every highlight's top-left
// corner has an even x + y, where the focus stipple sets its pixel.
const Theme kTheme = {
    {"icon0_y", 40},  {"icon1_y", 200}, {"width0", 50},    {"width1", 100},
    {"height0", 60},  {"height1", 40},  {"reflash_x", 10}, {"shut_x", 76},
    {"reboot_x", 140}, {"cancel_x", 50}, {"start_x", 20},   {"start_y", 20},
    {"line_color", 0x00ff00},
};

const QPoint kItem0(55, 90);
const QPoint kItem1(120, 90);
const QPoint kItem2(185, 90);
const QPoint kCancel(120, 240);
const QPoint kGap(88, 90);

const QRgb kPictureColor = qRgb(0x40, 0x40, 0x40);
const QRgb kLineColor = qRgb(0x00, 0xff, 0x00);

// Long enough for a loaded machine; the sequence itself takes 150 ms.
constexpr int kQuitDeadlineMs = 20000;
constexpr int kTimedOut = 99;

bool shown(MyZKbMain& menu)
{
    menu.show();
    return QTest::qWaitForWindowExposed(&menu);
}

} // namespace

class TouchMenuTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void press_focuses_the_target_under_it_data();
    void press_focuses_the_target_under_it();
    void press_draws_the_focus();
    void release_away_from_the_press_confirms_nothing_data();
    void release_away_from_the_press_confirms_nothing();
    void tap_on_an_item_runs_its_script_once();
    void tap_on_cancel_ends_without_a_script();
    void taps_are_ignored_while_a_confirm_is_pending();

private:
    void write_theme(const Theme& overrides = {});
    QString scripts_run() const;
    int run_until_quit();

    std::unique_ptr<QTemporaryDir> dir;
    QString old_dir;
};

void TouchMenuTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    old_dir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
    QImage picture(200, 280, QImage::Format_RGB32);
    picture.fill(kPictureColor);
    QVERIFY(picture.save("velmorine.png"));
    QImage poweroff(240, 320, QImage::Format_RGB32);
    poweroff.fill(Qt::blue);
    QVERIFY(poweroff.save("poweroff.png"));
    for (int item = 0; item < 3; ++item) {
        const QString name = QStringLiteral("item%1.sh").arg(item);
        QFile script(name);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho item%1 >> ran.log\n").arg(item).toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    }
    write_theme();
}

void TouchMenuTest::cleanup()
{
    QDir::setCurrent(old_dir);
    dir.reset();
}

void TouchMenuTest::write_theme(const Theme& overrides)
{
    Theme theme = kTheme;
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        theme[it.key()] = it.value();
    QFile conf("conf.ini");
    QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (auto it = theme.begin(); it != theme.end(); ++it)
        conf.write(QStringLiteral("%1=%2\n").arg(it.key()).arg(it.value()).toUtf8());
}

QString TouchMenuTest::scripts_run() const
{
    QFile log("ran.log");
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// The confirm sequence ends by quitting the application's event loop.
int TouchMenuTest::run_until_quit()
{
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(kTimedOut); });
    deadline.start(kQuitDeadlineMs);
    return QCoreApplication::exec();
}

void TouchMenuTest::press_focuses_the_target_under_it_data()
{
    QTest::addColumn<Theme>("overrides");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<int>("sel_index");
    QTest::addColumn<bool>("cancel_focus");

    const Theme same;
    QTest::newRow("item 0") << same << kItem0 << 0 << false;
    QTest::newRow("item 2") << same << kItem2 << 2 << false;
    QTest::newRow("item 0's top-left pixel") << same << QPoint(30, 60) << 0 << false;
    QTest::newRow("item 2's bottom-right pixel") << same << QPoint(209, 119) << 2 << false;
    QTest::newRow("cancel keeps the top row's focus") << same << kCancel << 1 << true;
    QTest::newRow("just right of item 0") << same << QPoint(80, 90) << 1 << false;
    // At scale 1.75, x 61 arrives as 34.857..., which times 1.75 is a hair below 61.
    QTest::newRow("item 0's left pixel at x 61") << Theme{{"reflash_x", 41}} << QPoint(61, 90) << 0 << false;
    QTest::newRow("just below item 2") << same << QPoint(185, 120) << 1 << false;
    QTest::newRow("between the items") << same << kGap << 1 << false;
    QTest::newRow("outside the picture") << same << QPoint(5, 5) << 1 << false;
    QTest::newRow("where item 0 would be without start_x")
        << same << QPoint(15, 90) << 1 << false;
    QTest::newRow("zero-width items catch nothing")
        << Theme{{"width0", 0}} << kItem0 << 1 << false;
    QTest::newRow("negative heights catch nothing")
        << Theme{{"height1", -40}} << kCancel << 1 << false;
    QTest::newRow("x that wraps round in 32 bits stays off screen")
        << Theme{{"start_x", INT_MAX}, {"reflash_x", INT_MAX}, {"shut_x", INT_MAX},
                              {"reboot_x", INT_MAX}}
        << QPoint(10, 90) << 1 << false;
    QTest::newRow("y that wraps round in 32 bits stays off screen")
        << Theme{{"start_y", INT_MIN}, {"icon1_y", INT_MIN}}
        << QPoint(120, 0) << 1 << false;
    QTest::newRow("a width reaching past INT_MAX still covers the screen")
        << Theme{{"width0", INT_MAX}} << QPoint(300, 90) << 0 << false;
}

void TouchMenuTest::press_focuses_the_target_under_it()
{
    QFETCH(Theme, overrides);
    QFETCH(QPoint, press);
    write_theme(overrides);
    MyZKbMain menu;
    QVERIFY(shown(menu));

    // The table's points are the screen's own pixels; Qt hands them over
    // divided by its scale factor, which CTest sets for one run.
    const QPointF position = QPointF(press) / menu.devicePixelRatio();
    QMouseEvent event(QEvent::MouseButtonPress, position, menu.mapToGlobal(position), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&menu, &event);

    QTEST(menu.sel_index, "sel_index");
    QTEST(menu.cancel_focus, "cancel_focus");
    QVERIFY(!menu.cancel_now);
    QVERIFY(!menu.poweroff_now);
}

void TouchMenuTest::press_draws_the_focus()
{
    MyZKbMain menu;
    QVERIFY(shown(menu));
    const QPoint item0_corner(30, 60);
    const QPoint item1_corner(96, 60);
    QCOMPARE(menu.grab().toImage().pixel(item0_corner), kPictureColor);

    QTest::mousePress(&menu, Qt::LeftButton, {}, kItem0);

    const QImage screen = menu.grab().toImage();
    QCOMPARE(screen.pixel(item0_corner), kLineColor);
    QCOMPARE(screen.pixel(item1_corner), kPictureColor);
}

void TouchMenuTest::release_away_from_the_press_confirms_nothing_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<int>("sel_index");

    QTest::newRow("slid off item 2 onto the gap") << kItem2 << QPoint(150, 90) << 2;
    QTest::newRow("slid off item 2 below the row") << kItem2 << QPoint(185, 150) << 2;
    QTest::newRow("pressed on the gap, released on item 2") << kGap << kItem2 << 1;
    QTest::newRow("pressed on item 0, released on item 1") << kItem0 << kItem1 << 0;
    QTest::newRow("pressed on item 0, released on cancel") << kItem0 << kCancel << 0;
}

void TouchMenuTest::release_away_from_the_press_confirms_nothing()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    MyZKbMain menu;
    QVERIFY(shown(menu));

    QTest::mousePress(&menu, Qt::LeftButton, {}, press);
    QTest::mouseMove(&menu, release);
    QTest::mouseRelease(&menu, Qt::LeftButton, {}, release);

    // A confirm would have moved sel_index past 2 at once.
    QTEST(menu.sel_index, "sel_index");
    QVERIFY(!menu.cancel_focus);
    QVERIFY(!menu.cancel_now);
}

void TouchMenuTest::tap_on_an_item_runs_its_script_once()
{
    MyZKbMain menu;
    QVERIFY(shown(menu));

    QTest::mouseClick(&menu, Qt::LeftButton, {}, kItem2);

    QCOMPARE(menu.sel_index, 5);
    QCOMPARE(run_until_quit(), 0);
    QCOMPARE(scripts_run(), QStringLiteral("item2\n"));
    QVERIFY(menu.poweroff_now);
}

void TouchMenuTest::tap_on_cancel_ends_without_a_script()
{
    MyZKbMain menu;
    QVERIFY(shown(menu));

    QTest::mouseClick(&menu, Qt::LeftButton, {}, kCancel);

    QVERIFY(menu.cancel_now);
    QCOMPARE(run_until_quit(), 0);
    QCOMPARE(scripts_run(), QString());
    QVERIFY(!menu.poweroff_now);
}

void TouchMenuTest::taps_are_ignored_while_a_confirm_is_pending()
{
    MyZKbMain menu;
    QVERIFY(shown(menu));

    QTest::keyClick(&menu, Qt::Key_Return);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, kItem0);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, kCancel);

    QCOMPARE(menu.sel_index, 4);
    QVERIFY(!menu.cancel_focus);
    QVERIFY(!menu.cancel_now);
    QCOMPARE(run_until_quit(), 0);
    QCOMPARE(scripts_run(), QStringLiteral("item1\n"));
}

QTEST_MAIN(TouchMenuTest)
#include "test_touch_menu.moc"
