// The menu window in-process, on the offscreen platform: real key, mouse and
// touch events, real scripts in a temporary theme folder, the window's own pixels.
#include "app/gui.h"
#include "app/missing_files.h"
#include "platform/painting.h"
#include "platform/picture_file.h"

#include <QAccessible>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <climits>
#include <memory>
#include <unistd.h>

namespace {

// Picture coordinates; the picture (200 x 280) stands at (20, 30) on the
// screen. Every highlight's top-left corner has an even x + y.
constexpr int kStartX = 20, kStartY = 30;
const QByteArray kConf = "icon0_y=40\nicon1_y=200\nwidth0=50\nwidth1=100\nheight0=60\nheight1=40\n"
                         "reflash_x=10\nshut_x=76\nreboot_x=140\ncancel_x=50\nstart_x=20\nstart_y=30\n"
                         "line_color=2146368\n"; // 0x20C040
const QRect kTargets[] = {{10, 40, 50, 60}, {76, 40, 50, 60}, {140, 40, 50, 60}, {50, 200, 100, 40}};
const QColor kPicture(0x40, 0x40, 0x40), kPowerOff(Qt::blue), kLine(0x20, 0xC0, 0x40);

// One character a key, so that a row reads like what a user presses; '.'
// waits until the power-off picture shows.
const QMap<char, QPair<Qt::Key, Qt::KeyboardModifiers>> kKeys = {
    {'U', {Qt::Key_Up, {}}},   {'D', {Qt::Key_Down, {}}},    {'L', {Qt::Key_Left, {}}},
    {'R', {Qt::Key_Right, {}}}, {'r', {Qt::Key_Return, {}}},  {'F', {Qt::Key_F2, {}}},
    {'2', {Qt::Key_2, {}}},    {'4', {Qt::Key_4, {}}},       {'5', {Qt::Key_5, Qt::KeypadModifier}},
    {'6', {Qt::Key_6, {}}},    {'8', {Qt::Key_8, {}}},       {'k', {Qt::Key_4, Qt::KeypadModifier}},
    {'E', {Qt::Key_Enter, Qt::KeypadModifier}}, {'x', {Qt::Key_X, {}}}, {'e', {Qt::Key_Escape, {}}},
};

void press(MyZKbMain& menu, const QByteArray& keys)
{
    for (char c : keys) {
        if (c == '.') {
            // Handles the pending timer events one by one, so that the key
            // comes right after the power-off picture, before the next timer.
            QElapsedTimer waited;
            waited.start();
            while (!menu.poweroff_now && waited.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QVERIFY(menu.poweroff_now);
        } else {
            QTest::keyClick(&menu, kKeys[c].first, kKeys[c].second);
        }
    }
}

// Where a finger goes, in window coordinates: the targets, the gap between
// items 1 and 2, and a spot outside the picture.
const QMap<QString, QPoint> kPlaces = {
    {"item0", {55, 100}}, {"item1", {121, 100}}, {"item2", {185, 100}}, {"cancel", {120, 250}},
    {"gap", {88, 100}},   {"outside", {5, 5}},
};

QPointingDevice* touchScreen()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

// Steps such as "A on item2; B on gap; A to 40,60; A off 40,60" put fingers
// A and B down, move them and lift them, a frame a step; "cancel" is the
// system taking the touch back. The other fingers down stay where they are.
void touch(MyZKbMain& menu, const QString& steps)
{
    QTest::QTouchEventWidgetSequence sequence = QTest::touchEvent(&menu, touchScreen(), false);
    QMap<int, QPoint> down;
    for (const QString& step : steps.split("; ", Qt::SkipEmptyParts)) {
        if (step == "cancel") {
            QTouchEvent cancel(QEvent::TouchCancel, touchScreen());
            QCoreApplication::sendEvent(menu.windowHandle(), &cancel);
            down.clear();
            continue;
        }
        const QStringList words = step.split(' ');
        const int finger = words[0][0].unicode() - 'A';
        const QStringList xy = words[2].split(',');
        const QPoint at = xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : kPlaces.value(words[2], QPoint(-1, -1));
        QVERIFY2(at != QPoint(-1, -1), qPrintable(step));
        for (auto other = down.cbegin(); other != down.cend(); ++other)
            if (other.key() != finger)
                sequence.stationary(other.key());
        if (words[1] == "on")
            sequence.press(finger, at, &menu);
        else if (words[1] == "to")
            sequence.move(finger, at, &menu);
        else
            sequence.release(finger, at, &menu);
        sequence.commit();
        if (words[1] == "off")
            down.remove(finger);
        else
            down[finger] = at;
    }
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void writePicture(const QString& name, QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(name));
}

// A menu picture whose left `opaque` columns are kPicture and whose rest is transparent.
void writePartlyClearPicture(int opaque)
{
    QImage picture(200, 280, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(0, 0, opaque, 280, kPicture);
    QVERIFY(picture.save("velmorine.png"));
}

QByteArray scriptsRun()
{
    QFile log("ran.log");
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

QImage screenOf(MyZKbMain& menu)
{
    return menu.screen()->grabWindow(menu.winId()).toImage();
}

bool shown(MyZKbMain& menu)
{
    menu.show();
    return QTest::qWaitForWindowExposed(&menu);
}

int lit(const QImage& image, const QRect& r, const QColor& color, bool evenOnly)
{
    int n = 0;
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y : {r.top(), r.bottom()})
            n += (!evenOnly || (x + y) % 2 == 0) && image.pixelColor(x, y) == color;
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        for (int x : {r.left(), r.right()})
            n += (!evenOnly || (x + y) % 2 == 0) && image.pixelColor(x, y) == color;
    return n;
}

// "focus": exactly the outline's pixels with an even x + y; "pressed": solid
// sides with the corners cut; "plain": no line colour on the outline.
QString styleAt(const QImage& image, const QRect& r)
{
    const int all = lit(image, r, kLine, false), even = lit(image, r, kLine, true);
    const int outline = 2 * (r.width() + r.height()) - 4;
    const QRect around = r.adjusted(-1, -1, 1, 1);
    if (lit(image, around, kLine, false) != 0)
        return "spills over";
    if (all == 0)
        return "plain";
    if (all == even && all == (outline + 1) / 2 && image.pixelColor(r.topLeft()) == kLine)
        return "focus";
    // Two neighbours lit in the middle of every side: no stipple does that.
    const QPoint c = r.center();
    bool solid = image.pixelColor(r.topLeft()) != kLine;
    for (QPoint p : {QPoint(c.x(), r.top()), QPoint(c.x(), r.bottom())})
        solid &= image.pixelColor(p) == kLine && image.pixelColor(p + QPoint(1, 0)) == kLine;
    for (QPoint p : {QPoint(r.left(), c.y()), QPoint(r.right(), c.y())})
        solid &= image.pixelColor(p) == kLine && image.pixelColor(p + QPoint(0, 1)) == kLine;
    if (solid)
        return "pressed";
    return QString("%1 of %2 outline pixels lit").arg(all).arg(outline);
}

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
        writeFile("conf.ini", kConf);
        writePicture("velmorine.png", QSize(200, 280), kPicture);
        writePicture("poweroff.png", QSize(60, 50), kPowerOff);
        for (int item = 0; item < 3; ++item) {
            const QString name = QString("item%1.sh").arg(item);
            writeFile(name, QString("#!/bin/sh\necho %1 >> ran.log\ndate +%s%3N > started\n").arg(item).toLatin1());
            QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    void keysMoveTheFocus_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");
        QTest::newRow("starts on item 1") << QByteArray() << 1 << false;
        QTest::newRow("right wraps from 2 to 0") << QByteArray("RR") << 0 << false;
        QTest::newRow("left wraps from 0 to 2") << QByteArray("LL") << 2 << false;
        QTest::newRow("digits 4 and 6, keypad too") << QByteArray("4k6") << 0 << false;
        QTest::newRow("down and digit 8 focus cancel") << QByteArray("R8") << 2 << true;
        QTest::newRow("sideways does nothing on cancel") << QByteArray("DLLR6") << 1 << true;
        QTest::newRow("up returns to the item that had focus") << QByteArray("LDRRU") << 0 << false;
        QTest::newRow("digit 2 goes up") << QByteArray("RD2") << 2 << false;
        QTest::newRow("keypad Enter, X and Escape do nothing") << QByteArray("ExeRE") << 2 << false;
    }

    void keysMoveTheFocus()
    {
        QFETCH(QByteArray, keys);
        MyZKbMain menu;
        press(menu, keys);
        QTEST(menu.sel_index, "sel_index");
        QTEST(menu.cancel_focus, "cancel_focus");
        QVERIFY(!menu.cancel_now && !menu.poweroff_now);
    }

    // A confirmed item leaves a process-wide flag set, so each row runs in a
    // process of its own: this binary again, asked for that one row.
    void confirmSequence_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<bool>("withPowerOffPicture");
        QTest::addColumn<QByteArray>("scripts");
        QTest::addColumn<bool>("powerOffShown");
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");
        QTest::newRow("Return runs the focused item once") << QByteArray("Rr") << true << QByteArray("2\n") << true << 5 << false;
        QTest::newRow("keypad 5 confirms too") << QByteArray("45") << true << QByteArray("0\n") << true << 3 << false;
        QTest::newRow("cancel stays a cancel, Up Return after it change nothing") << QByteArray("DrUr") << true << QByteArray() << false << 1 << true;
        QTest::newRow("F2 runs nothing") << QByteArray("F") << true << QByteArray() << false << 1 << false;
        QTest::newRow("F2 right after a confirm runs nothing") << QByteArray("rF") << true << QByteArray() << true << 4 << false;
        QTest::newRow("F2 while the power-off picture shows runs nothing") << QByteArray("r.F") << true << QByteArray() << true << 4 << false;
        QTest::newRow("keys after a confirm change nothing") << QByteArray("rRrDr5.LDr") << true << QByteArray("1\n") << true << 4 << false;
        QTest::newRow("without a power-off picture the item still runs") << QByteArray("r") << false << QByteArray("1\n") << true << 4 << false;
    }

    void confirmSequence()
    {
        if (!qEnvironmentVariableIsSet("POWERMENU_ONE_ROW")) {
            QProcess row;
            row.setProcessChannelMode(QProcess::MergedChannels);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("POWERMENU_ONE_ROW", "1");
            row.setProcessEnvironment(env);
            row.start(QCoreApplication::applicationFilePath(),
                      {QString("confirmSequence:") + QTest::currentDataTag()});
            QVERIFY(row.waitForFinished(60000));
            QVERIFY2(row.exitCode() == 0, row.readAll().constData());
            return;
        }
        QFETCH(QByteArray, keys);
        QFETCH(bool, withPowerOffPicture);
        if (!withPowerOffPicture)
            QFile::remove("poweroff.png");
        MyZKbMain menu;
        QVERIFY(shown(menu));
        bool watchdog = false;
        QTimer::singleShot(20000, qApp, [&] { watchdog = true; QApplication::quit(); });
        qint64 pressed = 0;
        QTimer::singleShot(0, &menu, [&] { pressed = QDateTime::currentMSecsSinceEpoch(); press(menu, keys); });
        QApplication::exec();
        QVERIFY(!watchdog);
        // Timers a confirm left behind may still fire after the loop ended.
        QTest::qWait(300);
        QTEST(scriptsRun(), "scripts");
        QTEST(menu.poweroff_now, "powerOffShown");
        QFile started("started");
        if (started.open(QIODevice::ReadOnly)) {
            // 50 ms of pressed item, then 100 ms of power-off picture before the script starts.
            const qint64 after = started.readAll().trimmed().toLongLong() - pressed;
            QVERIFY2(after >= 140, qPrintable(QString("the script started %1 ms after the keys").arg(after)));
        }
        QTEST(menu.sel_index, "sel_index");
        QTEST(menu.cancel_focus, "cancel_focus");
    }

    void taps_data()
    {
        QTest::addColumn<QByteArray>("keysFirst");
        QTest::addColumn<QPoint>("down");
        QTest::addColumn<QPoint>("up");
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");
        QTest::addColumn<bool>("cancel_now");
        const QPoint item0(55, 100), item2(185, 100), cancel(120, 250), gap(88, 100);
        QTest::newRow("tap on item 2 confirms it") << QByteArray() << item2 << item2 << 5 << false << false;
        QTest::newRow("tap on cancel confirms cancel") << QByteArray() << cancel << cancel << 1 << true << true;
        QTest::newRow("item 0's first pixel") << QByteArray() << QPoint(30, 70) << QPoint(30, 70) << 3 << false << false;
        QTest::newRow("item 0's last pixel") << QByteArray() << QPoint(79, 129) << QPoint(79, 129) << 3 << false << false;
        QTest::newRow("one right of item 0") << QByteArray() << QPoint(80, 100) << QPoint(80, 100) << 1 << false << false;
        QTest::newRow("one above item 0") << QByteArray() << QPoint(30, 69) << QPoint(30, 69) << 1 << false << false;
        QTest::newRow("sliding off focuses only") << QByteArray() << item2 << gap << 2 << false << false;
        QTest::newRow("sliding onto another item focuses only") << QByteArray() << item2 << item0 << 2 << false << false;
        QTest::newRow("a tap after a confirmed cancel does nothing") << QByteArray("Dr") << item2 << item2 << 1 << true << true;
    }

    void taps()
    {
        QFETCH(QByteArray, keysFirst);
        QFETCH(QPoint, down);
        QFETCH(QPoint, up);
        MyZKbMain menu;
        press(menu, keysFirst);
        QTest::mousePress(&menu, Qt::LeftButton, {}, down);
        QTest::mouseRelease(&menu, Qt::LeftButton, {}, up);
        QTEST(menu.sel_index, "sel_index");
        QTEST(menu.cancel_focus, "cancel_focus");
        QTEST(menu.cancel_now, "cancel_now");
    }

    // Each finger taps on its own, and a touch the system takes back (an
    // edge swipe) confirms nothing. A held target is drawn pressed while the
    // finger is on it; "style" is what the focused target shows at the end.
    void touches_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");
        QTest::addColumn<bool>("cancel_now");
        QTest::addColumn<QString>("style");
        QTest::newRow("a cancelled touch confirms nothing and gives the focus back")
            << "A on item0; cancel" << 1 << false << false << "focus";
        QTest::newRow("a cancelled touch on cancel closes nothing")
            << "A on cancel; cancel" << 1 << false << false << "focus";
        QTest::newRow("a resting thumb does not stop a tap")
            << "A on outside; B on item2; B off item2" << 5 << false << false << "";
        QTest::newRow("two fingers lifted on two items confirm the first only")
            << "A on item0; B on cancel; B off cancel; A off item0" << 0 << true << true << "";
        QTest::newRow("the held item shows pressed, and focus once slid off")
            << "A on item2; A to gap" << 2 << false << false << "focus";
        QTest::newRow("slid back, it shows pressed again") << "A on item2; A to gap; A to item2" << 2 << false << false << "pressed";
        QTest::newRow("slid back and lifted, it confirms") << "A on item2; A to gap; A to item2; A off item2" << 5 << false << false << "";
    }

    void touches()
    {
        QFETCH(QString, steps);
        QFETCH(QString, style);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        touch(menu, steps);
        QTEST(menu.sel_index, "sel_index");
        QTEST(menu.cancel_focus, "cancel_focus");
        QTEST(menu.cancel_now, "cancel_now");
        if (!style.isEmpty()) {
            const int focused = menu.cancel_focus ? 3 : menu.sel_index;
            QTRY_COMPARE(styleAt(screenOf(menu), kTargets[focused].translated(kStartX, kStartY)), style);
        }
    }

    void drawing_data()
    {
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");
        QTest::addColumn<bool>("cancel_now");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("style");
        QTest::newRow("item 0 focused") << 0 << false << false << 0 << "focus";
        QTest::newRow("item 2 focused") << 2 << false << false << 2 << "focus";
        QTest::newRow("cancel focused") << 0 << true << false << 3 << "focus";
        QTest::newRow("item 0 pressed") << 3 << false << false << 0 << "pressed";
        QTest::newRow("item 1 pressed") << 4 << false << false << 1 << "pressed";
        QTest::newRow("item 2 pressed") << 5 << false << false << 2 << "pressed";
        QTest::newRow("cancel pressed") << 2 << true << true << 3 << "pressed";
        QTest::newRow("power-off picture at the corner") << 4 << false << false << -1 << "";
    }

    // Each row starts from the first frame, then takes the state that keys
    // and the confirm's timers would give, without running them.
    void drawing()
    {
        QFETCH(int, target);
        QFETCH(QString, style);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QCOMPARE(menu.geometry(), menu.screen()->geometry());
        QCOMPARE(menu.windowTitle(), QString("shut_down"));
        QTRY_COMPARE(styleAt(screenOf(menu), kTargets[1].translated(kStartX, kStartY)), QString("focus"));
        QFETCH(int, sel_index);
        QFETCH(bool, cancel_focus);
        QFETCH(bool, cancel_now);
        menu.sel_index = sel_index;
        menu.cancel_focus = cancel_focus;
        menu.cancel_now = cancel_now;
        menu.poweroff_now = target < 0;
        menu.update();
        if (target < 0) {
            // Around the smaller power-off picture the window keeps the menu.
            QTRY_COMPARE(screenOf(menu).pixelColor(59, 49), kPowerOff);
            const QImage screen = screenOf(menu);
            QCOMPARE(screen.pixelColor(0, 0), kPowerOff);
            QCOMPARE(screen.pixelColor(60, 49), kPicture);
            QCOMPARE(screen.pixelColor(59, 50), kPicture);
            QCOMPARE(screen.pixelColor(10, 50), QColor(Qt::black));
            return;
        }
        const QRect where = kTargets[target].translated(kStartX, kStartY);
        QTRY_COMPARE(styleAt(screenOf(menu), where), style);
        const QImage screen = screenOf(menu);
        for (int other = 0; other < 4; ++other)
            if (other != target)
                QCOMPARE(styleAt(screen, kTargets[other].translated(kStartX, kStartY)), QString("plain"));
        QCOMPARE(screen.pixelColor(kStartX, kStartY), kPicture);
        QCOMPARE(screen.pixelColor(kStartX + 199, kStartY + 279), kPicture);
        for (QPoint outside : {QPoint(kStartX - 1, kStartY), QPoint(kStartX, kStartY - 1),
                               QPoint(kStartX + 200, kStartY + 279), QPoint(kStartX + 199, kStartY + 280)})
            QCOMPARE(screen.pixelColor(outside), QColor(Qt::black));
    }

    void highlightsOnlyWhereThePictureIsOpaqueInDevicePixels_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("scale 1") << 1.0;
        QTest::newRow("scale 1.5") << 1.5;
        QTest::newRow("scale 2") << 2.0;
    }

    // Item 2 stands over the picture's transparent right part; the window is
    // never cleared there, so its highlight would stay after the focus left.
    void highlightsOnlyWhereThePictureIsOpaqueInDevicePixels()
    {
        QFETCH(qreal, scale);
        writePartlyClearPicture(130);
        // Whatever the window held before its first paint must not show through.
        QImage screen(240, 320, QImage::Format_RGB32);
        screen.fill(Qt::red);
        MyZKbMain menu;
        menu.resize(screen.size());
        screen.setDevicePixelRatio(scale);
        for (int focus : {2, 1}) {
            menu.sel_index = focus;
            menu.render(&screen);
        }
        QCOMPARE(styleAt(screen, kTargets[2].translated(kStartX, kStartY)), QString("plain"));
        QCOMPARE(styleAt(screen, kTargets[1].translated(kStartX, kStartY)), QString("focus"));
        QCOMPARE(screen.pixelColor(kStartX + 129, kStartY + 59), kPicture);
        QCOMPARE(screen.pixelColor(kStartX + 130, kStartY + 59), QColor(Qt::black));
        QCOMPARE(screen.pixelColor(kStartX - 1, kStartY), QColor(Qt::black));
    }

    void aPictureLargerThanTheScreenShowsAsAWholeOne_data()
    {
        QTest::addColumn<bool>("opaque");
        QTest::addColumn<bool>("cut");
        QTest::newRow("with transparent pixels") << false << false;
        QTest::newRow("opaque, moved into the window") << true << false;
        QTest::newRow("opaque, broken after rows moved in") << true << true;
    }

    // Only the part of the picture on the screen is read when the window is
    // made; a larger window, and the menu picture at the corner when the
    // power-off picture is missing, read more. An opaque one that covers the
    // window lives in the window's own pixels, and what the focus leaves
    // behind as it moves is put back. The pixels are always those of the
    // whole picture. The first paint moves in rows while the read-ahead
    // still decodes them; a picture found broken on the way shows as Qt's
    // reader makes it.
    void aPictureLargerThanTheScreenShowsAsAWholeOne()
    {
        QFETCH(bool, opaque);
        QFETCH(bool, cut);
        const QSize screen = QGuiApplication::primaryScreen()->size();
        QImage picture(screen + QSize(200, 200), opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
        QRandomGenerator noise(5);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const quint32 pixel = noise.generate();
                picture.setPixel(x, y, pixel & 1 || opaque ? pixel | 0xff000000u : 0);
            }
        QVERIFY(picture.save("velmorine.png"));
        if (cut)
            QVERIFY(truncate("velmorine.png", QFileInfo("velmorine.png").size() * 2 / 3) == 0);
        QImage expected;
        loadImage(expected, "velmorine.png");
        writeFile("conf.ini", QByteArray(kConf).replace("start_x=20\nstart_y=30", "start_x=-100\nstart_y=-50") + "line_width=3\n");
        QFile::remove("poweroff.png");
        // Red shows where the first paint fails to erase; the window keeps
        // the black of that erase under transparent pixels from then on.
        auto drawn = [&](MyZKbMain& window, QSize size, QColor under = Qt::red) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(under);
            window.resize(size);
            window.render(&image);
            return image;
        };
        for (QSize size : {screen, screen + QSize(300, 300)})
            for (bool poweroff : {false, true}) {
                MyZKbMain menu, whole;
                whole.bg_image = expected;
                menu.poweroff_now = whole.poweroff_now = poweroff;
                QCOMPARE(drawn(menu, size), drawn(whole, size));
            }
        PictureReadAhead read_ahead("velmorine.png");
        MyZKbMain menu, whole;
        whole.bg_image = expected;
        QVERIFY(shown(menu));
        for (const char* keys : {"", "R", "D", "U", "L"}) {
            press(menu, keys);
            whole.sel_index = menu.sel_index;
            whole.cancel_focus = menu.cancel_focus;
            QTRY_COMPARE(screenOf(menu).convertToFormat(QImage::Format_RGB32), drawn(whole, menu.size(), Qt::black));
        }
        // A finger held on item 2 draws it pressed; slid off, what its rounding covered comes back.
        touch(menu, "A on 65,20; A to 65,100");
        whole.sel_index = 2;
        QTRY_COMPARE(screenOf(menu).convertToFormat(QImage::Format_RGB32), drawn(whole, menu.size(), Qt::black));
    }

    // line_width widens both outlines inward, in device pixels at any scale,
    // still only over opaque pixels: item 1 stands half over transparent ones.
    void wideOutlinesOnlyWhereThePictureIsOpaque()
    {
        writeFile("conf.ini", kConf + "line_width=5\n");
        writePartlyClearPicture(100);
        QImage screen(240, 320, QImage::Format_RGB32);
        screen.fill(Qt::red);
        screen.setDevicePixelRatio(1.5);
        MyZKbMain menu;
        menu.resize(screen.size());
        const QRect r = kTargets[1].translated(kStartX, kStartY);
        for (bool pressed : {false, true}) {
            menu.sel_index = pressed ? 4 : 1;
            menu.render(&screen);
            for (int y = r.top() - 1; y <= r.bottom() + 1; ++y)
                for (int x = r.left() - 1; x <= r.right() + 1; ++x) {
                    const int dx = x - r.left(), dy = y - r.top();
                    // The rounded corners are the toolkit's; the sides are exact.
                    if (pressed && std::min(dx, r.width() - 1 - dx) < 15 && std::min(dy, r.height() - 1 - dy) < 15)
                        continue;
                    const int fromEdge = std::min({dx, r.width() - 1 - dx, dy, r.height() - 1 - dy});
                    const bool line = fromEdge >= 0 && fromEdge < 5 && (pressed || (dx / 5 + dy / 5) % 2 == 0);
                    const QColor want = x >= kStartX + 100 ? QColor(Qt::black) : line ? kLine : kPicture;
                    QVERIFY2(screen.pixelColor(x, y) == want, qPrintable(QString("%1 at (%2, %3)")
                        .arg(screen.pixelColor(x, y).name()).arg(x).arg(y)));
                }
        }
    }

    void aScreenReaderFindsFourNamedButtonsAndTheFocus_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<bool>("fingerOnItem0");
        QTest::addColumn<bool>("powerOff");
        QTest::addColumn<int>("focused");
        QTest::addColumn<QString>("name");
        QTest::newRow("the start focuses item 1") << QByteArray() << false << false << 1 << "Power menu";
        QTest::newRow("right, down, up") << QByteArray("RDU") << false << false << 2 << "Power menu";
        QTest::newRow("down focuses cancel") << QByteArray("D") << false << false << 3 << "Power menu";
        QTest::newRow("a finger focuses item 0") << QByteArray() << true << false << 0 << "Power menu";
        QTest::newRow("the power-off picture takes the focus and the name")
            << QByteArray("R") << false << true << -1 << "Restart: please wait";
    }

    // The tree a screen reader reads: the window, then one push button per
    // target where it is drawn, the focused one marked.
    void aScreenReaderFindsFourNamedButtonsAndTheFocus()
    {
        QFETCH(QByteArray, keys);
        QFETCH(int, focused);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        press(menu, keys);
        QFETCH(bool, fingerOnItem0);
        if (fingerOnItem0)
            QTest::mousePress(&menu, Qt::LeftButton, {}, QPoint(55, 100));
        QFETCH(bool, powerOff);
        // The state a confirm's timers would give, without running them.
        menu.poweroff_now = powerOff;
        QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(&menu);
        QVERIFY(dialog);
        QCOMPARE(dialog->role(), QAccessible::Dialog);
        QTEST(dialog->text(QAccessible::Name), "name");
        QCOMPARE(menu.windowTitle(), QString("shut_down"));
        QCOMPARE(dialog->childCount(), 4);
        const QString names[] = {"Flash", "Power off", "Restart", "Cancel"};
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* button = dialog->child(i);
            QVERIFY(button && button->isValid());
            QCOMPARE(button->role(), QAccessible::Button);
            QCOMPARE(button->text(QAccessible::Name), names[i]);
            const QRect where = kTargets[i].translated(kStartX, kStartY).translated(menu.mapToGlobal(QPoint(0, 0)));
            QCOMPARE(button->rect(), where);
            QCOMPARE(dialog->childAt(where.center().x(), where.center().y()), button);
            QVERIFY(button->state().focusable);
            QCOMPARE(bool(button->state().focused), i == focused);
            QCOMPARE(button->parent(), dialog);
            QCOMPARE(dialog->indexOfChild(button), i);
        }
        QCOMPARE(dialog->focusChild(), focused >= 0 ? dialog->child(focused) : nullptr);
    }

    void aThemeNamesItsItems_data()
    {
        QTest::addColumn<QByteArray>("names");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("said");
        const QByteArray file = "# what a listener hears\r\nitem0 = Reboot to firmware setup\r\n"
                                "item2=Neu starten\nmenu=Ausschalten?\npoweroff=Bis bald\n";
        const QStringList builtin = {"Flash", "Power off", "Restart", "Cancel", "Power menu", "Power off: please wait"};
        QTest::newRow("names.txt names them")
            << file << "file"
            << QStringList{"Reboot to firmware setup", "Power off", "Neu starten", "Cancel", "Ausschalten?", "Bis bald"};
        QTest::newRow("one that others can change is not read") << file << "writable by all" << builtin;
        QTest::newRow("a FIFO is not read, nor waited for") << file << "fifo" << builtin;
    }

    void aThemeNamesItsItems()
    {
        QFETCH(QByteArray, names);
        QFETCH(QString, kind);
        if (kind == "fifo")
            QCOMPARE(mkfifo("names.txt", 0600), 0);
        else
            writeFile("names.txt", names);
        if (kind == "writable by all")
            QFile::setPermissions("names.txt", QFile::Permissions(0x6666));
        MyZKbMain menu;
        QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(&menu);
        QStringList said;
        for (int i = 0; i < 4; ++i)
            said << dialog->child(i)->text(QAccessible::Name);
        said << dialog->text(QAccessible::Name);
        menu.sel_index = 4;
        menu.poweroff_now = true;
        said << dialog->text(QAccessible::Name);
        QTEST(said, "said");
    }

    void aFolderWithoutTheWholeThemeSaysWhatIsMissingAndHowToClose()
    {
        QFile::remove("item0.sh");
        QFile::remove("item2.sh");
        QCOMPARE(QString::fromStdString(missing_theme_files_note()),
                 "powermenu: missing from the theme folder " + QDir::currentPath()
                     + " (the working directory): item0.sh, item2.sh; F2 closes the menu\n");
        writeFile("item0.sh", "");
        writeFile("item2.sh", "");
        QCOMPARE(missing_theme_files_note(), std::string());
    }

    void missingPowerOffPictureLeavesTheMenuPictureAtTheCorner()
    {
        QFile::remove("poweroff.png");
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_COMPARE(screenOf(menu).pixelColor(kStartX, kStartY), kPicture);
        menu.poweroff_now = true;
        menu.update();
        QTRY_COMPARE(screenOf(menu).pixelColor(0, 0), kPicture);
    }

    // The window is never cleared, so where the power-off picture is
    // transparent the menu picture must still show, not a copied hole.
    void transparentPowerOffPixelsLeaveTheMenuPicture()
    {
        QImage clear(240, 320, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QVERIFY(clear.save("poweroff.png"));
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_COMPARE(screenOf(menu).pixelColor(kStartX, kStartY), kPicture);
        menu.poweroff_now = true;
        menu.repaint();
        QCOMPARE(screenOf(menu).pixelColor(kStartX, kStartY), kPicture);
    }

    // Alpha from 128 up is drawn opaque, below it not at all, however often
    // the uncleared window is painted again.
    void halfTransparentPixelsStayTheSameOverRepaints()
    {
        QImage picture(200, 280, QImage::Format_ARGB32);
        picture.fill(kPicture);
        for (int y = 0; y < picture.height(); ++y) {
            picture.setPixelColor(0, y, QColor(255, 255, 255, 128));
            picture.setPixelColor(1, y, QColor(255, 255, 255, 127));
            picture.setPixelColor(2, y, Qt::transparent);
        }
        QVERIFY(picture.save("velmorine.png"));
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_COMPARE(screenOf(menu).pixelColor(kStartX + 10, kStartY), kPicture);
        for (int paint = 0; paint < 3; ++paint) {
            menu.repaint();
            const QImage screen = screenOf(menu);
            QCOMPARE(screen.pixelColor(kStartX, kStartY + 1), QColor(Qt::white));
            QCOMPARE(screen.pixelColor(kStartX + 1, kStartY + 1), QColor(Qt::black));
            QCOMPARE(screen.pixelColor(kStartX + 2, kStartY + 1), QColor(Qt::black));
        }
    }

    // conf.ini may hold any int: the outlines of any width stay fast, small and inside their rectangle.
    void outlinesOfAnySize_data()
    {
        // x, y, width, height: QRect cannot hold them, its right edge would overflow.
        QTest::addColumn<QList<int>>("r");
        QTest::newRow("everything INT_MAX") << QList<int>{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
        QTest::newRow("everything INT_MIN") << QList<int>{INT_MIN, INT_MIN, INT_MIN, INT_MIN};
        QTest::newRow("INT_MAX square from INT_MIN") << QList<int>{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
        QTest::newRow("INT_MAX square reaching back in") << QList<int>{-(1 << 30), -(1 << 30), INT_MAX, INT_MAX};
        QTest::newRow("endless strip across") << QList<int>{10, 10, INT_MAX, 100};
        QTest::newRow("right edge past INT_MAX") << QList<int>{INT_MAX - 10, 5, 100, 100};
        QTest::newRow("negative size") << QList<int>{10, 10, -50, -50};
        QTest::newRow("one pixel") << QList<int>{4, 4, 1, 1};
        QTest::newRow("7 x 5") << QList<int>{3, 4, 7, 5};
    }

    void outlinesOfAnySize()
    {
        QFETCH(QList<int>, r);
        const int x = r[0], y = r[1], w = r[2], h = r[3];
        const bool whollyOnImage = x >= 0 && y >= 0 && qint64(x) + w <= 300 && qint64(y) + h <= 200 && w > 0 && h > 0;
        for (int lineWidth : {1, 3, INT_MAX})
            for (bool round : {false, true}) {
                QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
                image.fill(Qt::white);
                QElapsedTimer timer;
                timer.start();
                {
                    QPainter painter(&image);
                    painter.setPen(QPen(Qt::red, lineWidth));
                    round ? drawRoundRect(painter, x, y, w, h, 50, 50) : drawWinFocusRect(painter, x, y, w, h);
                }
                QVERIFY2(timer.elapsed() < 5000, qPrintable(QString("took %1 ms").arg(timer.elapsed())));
                bool edgeLit = false;
                for (int py = 0; py < image.height(); ++py)
                    for (int px = 0; px < image.width(); ++px) {
                        const bool inside = px >= x && px < qint64(x) + w && py >= y && py < qint64(y) + h;
                        const bool red = image.pixelColor(px, py) != QColor(Qt::white);
                        QVERIFY2(inside || !red, qPrintable(QString("width %3 drew at (%1, %2)").arg(px).arg(py).arg(lineWidth)));
                        edgeLit |= red && px == qint64(x) + w - 1;
                    }
                // A rounded outline of one pixel has no line to draw.
                QVERIFY(edgeLit || !whollyOnImage || (round && w == 1));
            }
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
