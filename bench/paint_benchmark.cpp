// Micro-benchmarks of the menu's drawing, in process on Qt's offscreen
// platform: one paint of the menu with its highlight, one key-to-paint cycle
// (a Right key, then the paint it asks for), and for comparison the plain
// way of drawing the same frame (highlight on a copy of the picture, copy
// blitted to the window), at three picture sizes. The window is the
// picture's size, so every paint covers the whole picture.
//   QT_QPA_PLATFORM=offscreen paint_benchmark [Qt Test options, e.g. -median 5]
#include "app/gui.h"
#include "platform/painting.h"

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Items and cancel button laid out like a phone theme, scaled to the picture.
void lay_out(MyZKbMain& menu, QSize size)
{
    const int w = size.width(), h = size.height();
    menu.icon0_y = h * 3 / 10;
    menu.icon1_y = h * 3 / 4;
    menu.width0 = w * 3 / 10;
    menu.height0 = h * 3 / 10;
    menu.width1 = w * 6 / 10;
    menu.height1 = h / 8;
    menu.reflash_x = w / 40;
    menu.shut_x = w * 7 / 20;
    menu.reboot_x = w * 27 / 40;
    menu.cancel_x = w / 5;
    menu.start_x = 0;
    menu.start_y = 0;
    menu.line_color = 0xffcc00;
}

QImage picture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(0x10, 0x20, 0x30));
    gradient.setColorAt(1, QColor(0x50, 0x60, 0x70));
    painter.fillRect(image.rect(), gradient);
    return image;
}

} // namespace

class PaintBenchmark : public QObject {
    Q_OBJECT

private:
    QTemporaryDir empty_theme;
    QString previous_dir;

    static void add_sizes()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("240x320") << QSize(240, 320);
        QTest::newRow("1080x2400") << QSize(1080, 2400);
        QTest::newRow("3840x2160") << QSize(3840, 2160);
    }

    static void show(MyZKbMain& menu, QSize size)
    {
        lay_out(menu, size);
        menu.bg_image = picture(size);
        menu.setFullScreenMode(false, false);
        menu.resize(size);
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.repaint();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(empty_theme.isValid());
        previous_dir = QDir::currentPath();
        // No conf.ini and no pictures: the benchmark sets the menu up itself.
        QVERIFY(QDir::setCurrent(empty_theme.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(previous_dir); }

    void paint_data() { add_sizes(); }
    void paint()
    {
        QFETCH(QSize, size);
        MyZKbMain menu;
        show(menu, size);
        QBENCHMARK {
            menu.repaint();
        }
    }

    void key_to_paint_data() { add_sizes(); }
    void key_to_paint()
    {
        QFETCH(QSize, size);
        MyZKbMain menu;
        show(menu, size);
        QBENCHMARK {
            QTest::keyClick(&menu, Qt::Key_Right);
            menu.repaint();
        }
    }

    void plain_drawing_for_comparison_data() { add_sizes(); }
    void plain_drawing_for_comparison()
    {
        QFETCH(QSize, size);
        const QImage image = picture(size);
        QImage window(size, QImage::Format_RGB32);
        QBENCHMARK {
            QPixmap copy = QPixmap::fromImage(image);
            {
                QPainter painter(&copy);
                painter.setPen(QPen(QColor(0xffcc00), 1, Qt::SolidLine));
                drawWinFocusRect(painter, size.width() * 7 / 20, size.height() * 3 / 10, size.width() * 3 / 10,
                                 size.height() * 3 / 10);
            }
            bitBlt(&window, 0, 0, &copy, 0, 0, -1, -1, CopyROP, false);
        }
    }
};

QTEST_MAIN(PaintBenchmark)
#include "paint_benchmark.moc"
