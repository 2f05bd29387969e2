// What the window shows, read back from the screen at the places that matter.
#include "app/gui.h"
#include "app/missing_files.h"
#include "platform/painting.h"
#include "platform/picture_file.h"
#include "theme_folder.h"

#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QColor kPicture(0x20, 0x40, 0x60);
const QColor kPowerOff(Qt::red);
const QColor kBackground(Qt::black);
constexpr int kStartX = 30;
constexpr int kStartY = 20;
const QSize kPictureSize(100, 60);

// Picture coordinates of the four highlights, as the theme below sets them.
const QRect kItem0(5, 10, 20, 20);
const QRect kItem1(35, 10, 20, 20);
const QRect kItem2(65, 10, 20, 20);
const QRect kCancel(20, 40, 60, 15);

QByteArray conf(int lineColor)
{
    return QStringLiteral("icon0_y=10\nicon1_y=40\nwidth0=20\nwidth1=60\nheight0=20\nheight1=15\n"
                          "reflash_x=5\nshut_x=35\nreboot_x=65\ncancel_x=20\n"
                          "start_x=%1\nstart_y=%2\nline_color=%3\n")
        .arg(kStartX).arg(kStartY).arg(lineColor).toLatin1();
}

QImage screenOf(MyZKbMain& menu)
{
    return menu.screen()->grabWindow(menu.winId()).toImage();
}

QRect onScreen(const QRect& pictureRect)
{
    return pictureRect.translated(kStartX, kStartY);
}

QVector<QPoint> outline(const QRect& r)
{
    QVector<QPoint> points;
    for (int x = r.left(); x <= r.right(); ++x)
        points << QPoint(x, r.top()) << QPoint(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        points << QPoint(r.left(), y) << QPoint(r.right(), y);
    return points;
}

int countOn(const QImage& image, const QVector<QPoint>& points, const QColor& color)
{
    int n = 0;
    for (const QPoint& p : points)
        n += image.pixelColor(p) == color;
    return n;
}

bool isFocus(const QImage& image, const QRect& r, const QColor& color)
{
    const auto edge = outline(r);
    const int lit = countOn(image, edge, color);
    return lit >= edge.size() * 4 / 10 && lit <= edge.size() * 6 / 10;
}

// Solid straight runs in the middle of each side, and corners cut away.
bool isPressed(const QImage& image, const QRect& r, const QColor& color)
{
    const QPoint c = r.center();
    QVector<QPoint> middles;
    for (int d = -2; d <= 2; ++d)
        middles << QPoint(c.x() + d, r.top()) << QPoint(c.x() + d, r.bottom())
                << QPoint(r.left(), c.y() + d) << QPoint(r.right(), c.y() + d);
    const QVector<QPoint> corners{r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
    return countOn(image, middles, color) == middles.size() && countOn(image, corners, color) == 0;
}

bool isPlain(const QImage& image, const QRect& r, const QColor& color)
{
    return countOn(image, outline(r), color) == 0;
}

} // namespace

class TestDrawing : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ThemeFolder> theme;

    void makeTheme(int lineColor)
    {
        theme.reset(new ThemeFolder);
        theme->writeConf(conf(lineColor));
        theme->writePicture("velmorine.png", kPictureSize, kPicture);
        theme->writePicture("poweroff.png", QSize(50, 40), kPowerOff);
    }

    static bool shown(MyZKbMain& menu)
    {
        menu.show();
        return QTest::qWaitForWindowExposed(&menu);
    }

private slots:
    void cleanup() { theme.reset(); }

    void firstFrameShowsThePictureAtStartWithItem1Focused()
    {
        makeTheme(0x00ff00);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(screenOf(menu).pixelColor(kStartX, kStartY) == kPicture);
        const QImage screen = screenOf(menu);
        QCOMPARE(screen.pixelColor(kStartX - 1, kStartY), kBackground);
        QCOMPARE(screen.pixelColor(kStartX, kStartY - 1), kBackground);
        QCOMPARE(screen.pixelColor(kStartX + 99, kStartY + 59), kPicture);
        QCOMPARE(screen.pixelColor(kStartX + 100, kStartY + 59), kBackground);
        QVERIFY(isFocus(screen, onScreen(kItem1), Qt::green));
        QVERIFY(isPlain(screen, onScreen(kItem0), Qt::green));
        QVERIFY(isPlain(screen, onScreen(kItem2), Qt::green));
        QVERIFY(isPlain(screen, onScreen(kCancel), Qt::green));
    }

    void highlightFollowsTheState_data()
    {
        QTest::addColumn<int>("sel_index");
        QTest::addColumn<bool>("cancel_focus");
        QTest::addColumn<bool>("cancel_now");
        QTest::addColumn<QRect>("where");
        QTest::addColumn<bool>("pressed");

        QTest::newRow("focus on item 0") << 0 << false << false << kItem0 << false;
        QTest::newRow("focus on item 2") << 2 << false << false << kItem2 << false;
        QTest::newRow("focus on cancel") << 2 << true << false << kCancel << false;
        QTest::newRow("item 0 pressed") << 3 << false << false << kItem0 << true;
        QTest::newRow("item 1 pressed") << 4 << false << false << kItem1 << true;
        QTest::newRow("item 2 pressed") << 5 << false << false << kItem2 << true;
        QTest::newRow("cancel pressed") << 1 << true << true << kCancel << true;
    }

    void highlightFollowsTheState()
    {
        QFETCH(int, sel_index);
        QFETCH(bool, cancel_focus);
        QFETCH(bool, cancel_now);
        QFETCH(QRect, where);
        QFETCH(bool, pressed);
        makeTheme(0xffff00);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(isFocus(screenOf(menu), onScreen(kItem1), Qt::yellow));
        menu.sel_index = sel_index;
        menu.cancel_focus = cancel_focus;
        menu.cancel_now = cancel_now;
        menu.update();
        const QRect target = onScreen(where);
        if (pressed)
            QTRY_VERIFY(isPressed(screenOf(menu), target, Qt::yellow));
        else
            QTRY_VERIFY(isFocus(screenOf(menu), target, Qt::yellow));
        const QImage screen = screenOf(menu);
        for (const QRect& other : {kItem0, kItem1, kItem2, kCancel})
            if (other != where)
                QVERIFY2(isPlain(screen, onScreen(other), Qt::yellow), "a second highlight is showing");
    }

    void penColourComesFromLineColor_data()
    {
        QTest::addColumn<int>("line_color");
        QTest::addColumn<QColor>("color");
        QTest::newRow("green byte") << 0x00ff00 << QColor(Qt::green);
        QTest::newRow("zero is black") << 0 << QColor(Qt::black);
        QTest::newRow("-1 is white") << -1 << QColor(Qt::white);
        QTest::newRow("bits above 0xffffff are ignored") << 0x7f0000ff << QColor(Qt::blue);
        QTest::newRow("mixed") << 0x123456 << QColor(0x12, 0x34, 0x56);
    }

    void penColourComesFromLineColor()
    {
        QFETCH(int, line_color);
        QFETCH(QColor, color);
        makeTheme(line_color);
        MyZKbMain menu;
        menu.sel_index = 3;
        QVERIFY(shown(menu));
        QTRY_VERIFY(isPressed(screenOf(menu), onScreen(kItem0), color));
    }

    void highlightIsDrawnOnACopy()
    {
        makeTheme(0x00ff00);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(isFocus(screenOf(menu), onScreen(kItem1), Qt::green));
        QVERIFY(isPlain(menu.bg_image, kItem1, Qt::green));
        menu.sel_index = 0;
        menu.update();
        QTRY_VERIFY(isFocus(screenOf(menu), onScreen(kItem0), Qt::green));
        QVERIFY(isPlain(screenOf(menu), onScreen(kItem1), Qt::green));
    }

    void powerOffPictureAtTheCornerWithoutHighlight()
    {
        makeTheme(0x00ff00);
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(screenOf(menu).pixelColor(kStartX, kStartY) == kPicture);
        menu.sel_index = 4;
        menu.poweroff_now = true;
        menu.update();
        QTRY_VERIFY(screenOf(menu).pixelColor(0, 0) == kPowerOff);
        const QImage screen = screenOf(menu);
        QCOMPARE(screen.pixelColor(49, 39), kPowerOff);
        // The window is not cleared between paints: the menu frame stays around the smaller picture.
        QCOMPARE(screen.pixelColor(kStartX + 99, kStartY + 59), kPicture);
        QCOMPARE(screen.pixelColor(kStartX + 99, 5), kBackground);
    }

    void missingPowerOffPictureShowsTheMenuPictureAtTheCorner()
    {
        makeTheme(0x00ff00);
        QFile::remove(theme->path("poweroff.png"));
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(isFocus(screenOf(menu), onScreen(kItem1), Qt::green));
        menu.poweroff_now = true;
        menu.update();
        QTRY_VERIFY(screenOf(menu).pixelColor(0, 0) == kPicture);
        const QImage screen = screenOf(menu);
        QVERIFY(isPlain(screen, kItem1, Qt::green));
        QVERIFY(isPlain(screen, onScreen(kItem1), Qt::green));
    }

    void missingMenuPictureShowsNothing()
    {
        makeTheme(0x00ff00);
        QFile::remove(theme->path("velmorine.png"));
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTest::qWait(100);
        const QImage screen = screenOf(menu);
        QCOMPARE(screen.pixelColor(kStartX + 1, kStartY + 1), kBackground);
        QVERIFY(isPlain(screen, onScreen(kItem1), Qt::green));
    }

    void transparentPixelsAreNotCopied()
    {
        makeTheme(0x00ff00);
        QImage picture(kPictureSize, QImage::Format_ARGB32);
        picture.fill(kPicture);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < 10; ++x)
                picture.setPixelColor(x, y, Qt::transparent);
        picture.save(theme->path("velmorine.png"));
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(screenOf(menu).pixelColor(kStartX + 10, kStartY) == kPicture);
        QCOMPARE(screenOf(menu).pixelColor(kStartX + 5, kStartY), kBackground);
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
        makeTheme(0x00ff00);
        QImage picture(kPictureSize, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter(&picture).fillRect(0, 0, 60, kPictureSize.height(), kPicture);
        picture.save(theme->path("velmorine.png"));
        QImage screen(240, 320, QImage::Format_RGB32);
        screen.fill(kBackground);
        MyZKbMain menu;
        menu.resize(screen.size());
        screen.setDevicePixelRatio(scale);
        for (int focus : {2, 1}) {
            menu.sel_index = focus;
            menu.render(&screen);
        }
        QCOMPARE(countOn(screen, outline(onScreen(kItem2)), Qt::green), 0);
        QVERIFY(isFocus(screen, onScreen(kItem1), Qt::green));
        QCOMPARE(screen.pixelColor(kStartX + 59, kStartY + 59), kPicture);
        QCOMPARE(screen.pixelColor(kStartX + 60, kStartY + 60), kBackground);
    }

    void aFolderWithoutTheWholeThemeSaysWhatIsMissingAndHowToClose()
    {
        makeTheme(0x00ff00);
        QVERIFY(QFile(theme->path("item1.sh")).open(QIODevice::WriteOnly));
        QCOMPARE(QString::fromStdString(missing_theme_files_note()),
                 "powermenu: missing from the theme folder " + QDir::currentPath()
                     + " (the working directory): item0.sh, item2.sh; F2 closes the menu\n");
        for (const char* name : {"item0.sh", "item2.sh"})
            QVERIFY(QFile(theme->path(name)).open(QIODevice::WriteOnly));
        QCOMPARE(missing_theme_files_note(), std::string());
    }

    void halfTransparentPixelsLookTheSameAfterRepaints()
    {
        makeTheme(0x00ff00);
        QImage picture(kPictureSize, QImage::Format_ARGB32);
        picture.fill(kPicture);
        for (int y = 0; y < picture.height(); ++y) {
            picture.setPixelColor(0, y, QColor(0xff, 0xff, 0xff, 200));
            picture.setPixelColor(1, y, QColor(0xff, 0xff, 0xff, 60));
        }
        picture.save(theme->path("velmorine.png"));
        MyZKbMain menu;
        QVERIFY(shown(menu));
        QTRY_VERIFY(screenOf(menu).pixelColor(kStartX + 10, kStartY) == kPicture);
        for (int paint = 0; paint < 3; ++paint) {
            menu.repaint();
            const QImage screen = screenOf(menu);
            QCOMPARE(screen.pixelColor(kStartX, kStartY + 1), QColor(Qt::white));
            QCOMPARE(screen.pixelColor(kStartX + 1, kStartY + 1), kBackground);
        }
    }

    // ImageMagick's options for a gradient whose alpha ramp crosses the
    // opaque-or-clear line; -strip drops the colour space, which Qt's reader
    // keeps and painting ignores.
    void picturesLookAsFromQtsReader_data()
    {
        QTest::addColumn<QString>("options");
        QTest::newRow("interlaced RGBA") << "-interlace PNG png32:";
        QTest::newRow("palette with tRNS") << "png8:";
        QTest::newRow("2-bit grey") << "-alpha off -colorspace gray -depth 2 png:";
    }

    void picturesLookAsFromQtsReader()
    {
        QFETCH(QString, options);
        makeTheme(0);
        QCOMPARE(QProcess::execute("convert", QStringLiteral("-size 37x23 gradient:#f00-#02f -alpha set -channel A "
                 "-fx i/w +channel -strip %1velmorine.png").arg(options).split(' ')), 0);
        QImage ours;
        QVERIFY(loadImage(ours, "velmorine.png"));
        // Qt's reader gives other formats for these: the menu's own read them.
        QVERIFY(ours.format() == QImage::Format_RGB32 || ours.format() == QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(maskedPixmap(ours).toImage(), maskedPixmap(QImage("velmorine.png")).toImage());
    }

    // The name flips between a picture and a FIFO as fast as renames go; a
    // reader that opened the FIFO would wait for a writer until CTest's timeout.
    void fifoSwappedInForThePictureNeverBlocks()
    {
        makeTheme(0);
        QVERIFY(QFile::copy("velmorine.png", "picture") && mkfifo("fifo", 0600) == 0);
        std::atomic<int> flips{0};
        std::thread flipper([&] {
            for (; flips >= 0; ++flips) // unlink: rename leaves "new" when it is that file already
                if (link(flips % 2 ? "fifo" : "picture", "new") == 0)
                    rename("new", "velmorine.png"), unlink("new");
        });
        QImage image;
        while (flips < 50000)
            loadImage(image, "velmorine.png");
        flips = INT_MIN; // ends the flipper
        flipper.join();
    }
};

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
