// The menu draws its highlight straight onto the window, clipped to the
// picture's opaque pixels, from a pixmap made once; these tests prove that the window then
// holds exactly the pixels of the plain way: draw the highlight on a copy of
// the picture and copy that onto the window, over whatever the window showed
// before (it is never cleared between paints).
#include "app/gui.h"
#include "platform/painting.h"

#include <QBackingStore>
#include <QBitmap>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace {

enum class Style { Focus, Pressed };

struct Highlight {
    int x, y, width, height;
    Style style;
};

struct Step {
    int key; // 0: no key, just paint again
    Highlight expected;
};

struct Layout {
    int icon0_y, icon1_y, width0, width1, height0, height1;
    int reflash_x, shut_x, reboot_x, cancel_x, start_x, start_y;
};

constexpr int kLineColor = 0x12ab34;

QRgb noise(int x, int y, unsigned seed)
{
    unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ seed * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return qRgb(h & 0xff, (h >> 8) & 0xff, (h >> 16) & 0xff);
}

QImage noise_image(QSize size, unsigned seed)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, noise(x, y, seed));
    return image;
}

// A picture with fully transparent, half transparent and opaque stripes,
// so that earlier highlights show through parts of it.
QImage picture_with_holes(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = (x / 7) % 3 == 0 ? 0 : (x / 7) % 3 == 1 ? 128 : 255;
            const QRgb c = noise(x, y, 7);
            image.setPixel(x, y, qRgba(qRed(c), qGreen(c), qBlue(c), alpha));
        }
    return image;
}

void draw_plainly(QImage& screen, const QImage& picture, QPoint at, const Highlight& h)
{
    QPixmap copy = maskedPixmap(picture);
    const QBitmap mask = copy.mask();
    {
        QPainter painter(&copy);
        painter.setPen(QPen(QColor(QRgb(kLineColor)), 1, Qt::SolidLine));
        if (h.style == Style::Focus)
            drawWinFocusRect(painter, h.x, h.y, h.width, h.height);
        else
            drawRoundRect(painter, h.x, h.y, h.width, h.height, 50, 50);
    }
    // The copy keeps the picture's mask, so the highlight shows only where the picture does.
    copy.setMask(mask);
    QPainter painter(&screen);
    painter.drawPixmap(at, copy);
}

QString first_difference(const QImage& actual, const QImage& expected)
{
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage e = expected.convertToFormat(QImage::Format_RGB32);
    if (a.size() != e.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != e.pixel(x, y))
                return QStringLiteral("first difference at (%1, %2): window #%3, plain drawing #%4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'))
                    .arg(e.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'));
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Layout)
Q_DECLARE_METATYPE(std::vector<Step>)

class RenderingIdentity : public QObject {
    Q_OBJECT

private:
    QTemporaryDir theme;
    QString previous_dir;

    // The window as it is on screen: the backing store the paints go to.
    static QImage& screen_of(MyZKbMain& menu)
    {
        QPaintDevice* device = menu.backingStore()->paintDevice();
        if (device->devType() != QInternal::Image)
            qFatal("the offscreen backing store is expected to be an image");
        return *static_cast<QImage*>(device);
    }

    // A shown menu whose window holds noise, as if something else had been
    // drawn there before.
    static void show_over_noise(MyZKbMain& menu, const Layout& l, const QImage& picture)
    {
        menu.icon0_y = l.icon0_y;
        menu.icon1_y = l.icon1_y;
        menu.width0 = l.width0;
        menu.width1 = l.width1;
        menu.height0 = l.height0;
        menu.height1 = l.height1;
        menu.reflash_x = l.reflash_x;
        menu.shut_x = l.shut_x;
        menu.reboot_x = l.reboot_x;
        menu.cancel_x = l.cancel_x;
        menu.start_x = l.start_x;
        menu.start_y = l.start_y;
        menu.line_color = kLineColor;
        menu.bg_image = picture;
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.repaint();
        QImage& screen = screen_of(menu);
        screen = noise_image(screen.size(), 3).convertToFormat(screen.format());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(theme.isValid());
        previous_dir = QDir::currentPath();
        // The menu reads its files from the working directory.
        QVERIFY(QDir::setCurrent(theme.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(previous_dir); }

    void menu_paints_like_a_copy_of_the_picture_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<std::vector<Step>>("steps");

        const QImage opaque = noise_image(QSize(120, 90), 1);
        const QImage holes = picture_with_holes(QSize(120, 90));
        // Items 30 wide at x 5, 45, 85; cancel button below.
        const Layout inside{20, 60, 30, 100, 25, 20, 5, 45, 85, 10, 33, 17};
        const std::vector<Step> walk{
            {0, {45, 20, 30, 25, Style::Focus}},
            {Qt::Key_Right, {85, 20, 30, 25, Style::Focus}},
            {Qt::Key_Right, {5, 20, 30, 25, Style::Focus}},
            {Qt::Key_Down, {10, 60, 100, 20, Style::Focus}},
            {Qt::Key_Up, {5, 20, 30, 25, Style::Focus}},
            {Qt::Key_Return, {5, 20, 30, 25, Style::Pressed}},
            {0, {5, 20, 30, 25, Style::Pressed}},
        };
        const std::vector<Step> cancel{
            {Qt::Key_Down, {10, 60, 100, 20, Style::Focus}},
            {Qt::Key_Return, {10, 60, 100, 20, Style::Pressed}},
        };
        QTest::newRow("opaque picture, focus walk and a pressed item") << opaque << inside << walk;
        QTest::newRow("picture with transparent parts, focus walk") << holes << inside << walk;
        QTest::newRow("pressed cancel button") << holes << inside << cancel;

        // Highlights that stick out of the picture on every side.
        const Layout outside{-8, 80, 40, 140, 30, 30, -12, 60, 100, -10, 33, 17};
        QTest::newRow("highlights partly outside the picture")
            << holes << outside
            << std::vector<Step>{
                   {0, {60, -8, 40, 30, Style::Focus}},
                   {Qt::Key_Right, {100, -8, 40, 30, Style::Focus}},
                   {Qt::Key_Right, {-12, -8, 40, 30, Style::Focus}},
                   {Qt::Key_Return, {-12, -8, 40, 30, Style::Pressed}},
               };
        QTest::newRow("pressed highlight partly outside the picture")
            << opaque << outside
            << std::vector<Step>{
                   {Qt::Key_Down, {-10, 80, 140, 30, Style::Focus}},
                   {Qt::Key_Return, {-10, 80, 140, 30, Style::Pressed}},
               };

        // The picture itself partly off the window, left and top, then right and bottom.
        Layout off_window = inside;
        off_window.start_x = -51;
        off_window.start_y = -12;
        QTest::newRow("picture partly off the window, top left") << holes << off_window << walk;
        off_window.start_x = 800 - 70;
        off_window.start_y = 600 - 41;
        QTest::newRow("picture partly off the window, bottom right") << holes << off_window << walk;
        off_window.start_x = 2000000000;
        QTest::newRow("picture far off the window") << opaque << off_window << walk;
    }

    void menu_paints_like_a_copy_of_the_picture()
    {
        QFETCH(QImage, picture);
        QFETCH(Layout, layout);
        QFETCH(std::vector<Step>, steps);

        MyZKbMain menu;
        show_over_noise(menu, layout, picture);
        QImage expected = screen_of(menu).copy();
        for (const Step& step : steps) {
            if (step.key)
                QTest::keyClick(&menu, Qt::Key(step.key));
            menu.repaint();
            draw_plainly(expected, picture, QPoint(layout.start_x, layout.start_y), step.expected);
            const QString difference = first_difference(screen_of(menu), expected);
            QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("after key %1: ").arg(step.key) + difference));
        }
    }

    void power_off_picture_replaces_the_menu_at_the_corner()
    {
        const QImage power_off = picture_with_holes(QSize(64, 48));
        QVERIFY(power_off.save(QStringLiteral("poweroff.png")));
        const QImage menu_picture = noise_image(QSize(120, 90), 1);
        MyZKbMain menu;
        show_over_noise(menu, {20, 60, 30, 100, 25, 20, 5, 45, 85, 10, 33, 17}, menu_picture);
        QImage expected = screen_of(menu).copy();

        menu.poweroff_now = true;
        menu.repaint();
        QPainter(&expected).drawPixmap(0, 0, maskedPixmap(power_off));
        QCOMPARE(first_difference(screen_of(menu), expected), QString());
        QCOMPARE(menu.bg_image.size(), power_off.size());

        // Painted again over itself, it looks the same.
        menu.repaint();
        QPainter(&expected).drawPixmap(0, 0, maskedPixmap(power_off));
        QCOMPARE(first_difference(screen_of(menu), expected), QString());
        QVERIFY(QFile::remove(QStringLiteral("poweroff.png")));
    }

    void unreadable_power_off_picture_leaves_the_menu_picture_at_the_corner()
    {
        QFile::remove(QStringLiteral("poweroff.png"));
        const QImage menu_picture = picture_with_holes(QSize(120, 90));
        MyZKbMain menu;
        show_over_noise(menu, {20, 60, 30, 100, 25, 20, 5, 45, 85, 10, 33, 17}, menu_picture);
        QImage expected = screen_of(menu).copy();

        menu.poweroff_now = true;
        menu.repaint();
        QPainter(&expected).drawPixmap(0, 0, maskedPixmap(menu_picture));
        QCOMPARE(first_difference(screen_of(menu), expected), QString());
    }

    void missing_menu_picture_draws_nothing()
    {
        MyZKbMain menu;
        show_over_noise(menu, {20, 60, 30, 100, 25, 20, 5, 45, 85, 10, 0, 0}, QImage());
        const QImage before = screen_of(menu).copy();
        QTest::keyClick(&menu, Qt::Key_Right);
        menu.repaint();
        QCOMPARE(first_difference(screen_of(menu), before), QString());
    }
};

QTEST_MAIN(RenderingIdentity)
#include "test_rendering_identity.moc"
