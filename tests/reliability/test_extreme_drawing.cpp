// The drawing primitives with the rectangles a hostile conf.ini can ask for:
// each call ends quickly, keeps memory flat and draws only inside its
// rectangle, whatever the numbers.
#include "platform/painting.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <climits>
#include <sys/resource.h>

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr QRgb kPaper = 0xff000000;

long peak_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

enum class Primitive { Focus, Round };

} // namespace

class ExtremeDrawing : public QObject {
    Q_OBJECT

private slots:
    void drawsOnlyInsideItsRectangle_data();
    void drawsOnlyInsideItsRectangle();
};

void ExtremeDrawing::drawsOnlyInsideItsRectangle_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");

    QTest::newRow("everything INT_MAX") << INT_MAX << INT_MAX << INT_MAX << INT_MAX;
    QTest::newRow("everything INT_MIN") << INT_MIN << INT_MIN << INT_MIN << INT_MIN;
    QTest::newRow("INT_MAX square from the corner") << 0 << 0 << INT_MAX << INT_MAX;
    QTest::newRow("INT_MAX square from inside") << 10 << 20 << INT_MAX << INT_MAX;
    QTest::newRow("INT_MAX square from INT_MIN") << INT_MIN << INT_MIN << INT_MAX << INT_MAX;
    QTest::newRow("INT_MAX square reaching back in") << -(1 << 30) << -(1 << 30) << INT_MAX << INT_MAX;
    QTest::newRow("endless strip across") << 10 << 10 << INT_MAX << 100;
    QTest::newRow("endless strip down") << 10 << 10 << 100 << INT_MAX;
    QTest::newRow("strip from far left ending inside") << -2000000000 << 100 << 2000000100 << 100;
    QTest::newRow("strip from far above ending inside") << 100 << -2000000000 << 50 << 2000000100;
    QTest::newRow("wide band through the middle") << -100000000 << 10 << 200000000 << 50;
    QTest::newRow("right edge past INT_MAX") << INT_MAX - 10 << 5 << 100 << 100;
    QTest::newRow("negative size") << 10 << 10 << -50 << -50;
    QTest::newRow("zero size") << 10 << 10 << 0 << 0;
    QTest::newRow("one pixel") << 3 << 4 << 1 << 1;
}

void ExtremeDrawing::drawsOnlyInsideItsRectangle()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, w);
    QFETCH(int, h);

    const long peak_before = peak_kib();
    for (Primitive primitive : {Primitive::Focus, Primitive::Round}) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(kPaper);
        QElapsedTimer timer;
        timer.start();
        {
            QPainter painter(&image);
            painter.setPen(QPen(Qt::red, 1, Qt::SolidLine));
            if (primitive == Primitive::Focus)
                drawWinFocusRect(painter, x, y, w, h);
            else
                drawRoundRect(painter, x, y, w, h, 50, 50);
        }
        // Milliseconds on a quiet machine; only a primitive that walks its
        // whole rectangle or tessellates it takes longer than this.
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString("took %1 ms").arg(timer.elapsed())));

        const long long right = static_cast<long long>(x) + w;
        const long long bottom = static_cast<long long>(y) + h;
        for (int py = 0; py < kHeight; ++py)
            for (int px = 0; px < kWidth; ++px) {
                const bool inside = px >= x && px < right && py >= y && py < bottom;
                if (!inside && image.pixel(px, py) != kPaper)
                    QFAIL(qPrintable(QString("%1 drew at (%2, %3), outside its rectangle")
                                         .arg(primitive == Primitive::Focus ? "focus" : "round")
                                         .arg(px)
                                         .arg(py)));
            }
    }
    const long grown_mib = (peak_kib() - peak_before) / 1024;
    QVERIFY2(grown_mib < 64, qPrintable(QString("peak memory grew by %1 MiB").arg(grown_mib)));
}

QTEST_MAIN(ExtremeDrawing)
#include "test_extreme_drawing.moc"
