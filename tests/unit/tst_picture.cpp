// The menu's own picture reader against Qt's, against a name that flips
// between a picture and a FIFO, and while its rows are still arriving.
#include "platform/painting.h"
#include "platform/picture_file.h"
#include "platform/png_picture.h"
#include "platform/window_picture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TestPicture : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init() { QVERIFY(QDir::setCurrent(dir.path())); }

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
        QCOMPARE(QProcess::execute("convert", QStringLiteral("-size 37x23 gradient:#f00-#02f -alpha set -channel A "
                 "-fx i/w +channel -strip %1velmorine.png").arg(options).split(' ')), 0);
        QImage ours;
        QVERIFY(loadImage(ours, "velmorine.png"));
        // Qt's reader gives other formats for these: the menu's own read them.
        QVERIFY(ours.format() == QImage::Format_RGB32 || ours.format() == QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(maskedPixmap(ours).toImage(), maskedPixmap(QImage("velmorine.png")).toImage());
    }

    // The menu keeps only what the screen shows of a picture: cut on every
    // side, the part must hold the whole picture's pixels at that place.
    void aPartHoldsTheWholePicturesPixels_data()
    {
        QTest::addColumn<QString>("options");
        QTest::newRow("rows of RGB") << "png24:";
        QTest::newRow("interlaced RGBA") << "-interlace PNG png32:";
        QTest::newRow("16-bit, read by Qt") << "-depth 16 png64:";
    }

    void aPartHoldsTheWholePicturesPixels()
    {
        QFETCH(QString, options);
        QCOMPARE(QProcess::execute("convert", QStringLiteral("-size 37x23 gradient:#f00-#02f -alpha set -channel A "
                 "-fx i/w +channel -strip %1velmorine.png").arg(options).split(' ')), 0);
        QImage whole;
        QVERIFY(loadImage(whole, "velmorine.png"));
        for (const QRect wanted : {QRect(3, 2, 20, 10), QRect(-5, 7, 20, 100), QRect(40, 0, 5, 5)}) {
            QImage part;
            QSize size;
            QVERIFY(loadPicturePart(part, size, "velmorine.png", wanted));
            const QRect shown = wanted & whole.rect();
            QCOMPARE(size, whole.size());
            QCOMPARE(QRect(part.offset(), part.size()), shown);
            QCOMPARE(part.isNull(), shown.isEmpty());
            if (!shown.isEmpty())
                QCOMPARE(part, whole.copy(shown));
        }
    }

    void rowsMoveIntoTheWindowAsTheyArrive_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("whole file") << false;
        QTest::newRow("broken part way") << true;
    }

    // Told rows must be decoded already, in order, down to the last; the
    // window takes them in as they come, in steps that need not end on a band.
    // The window may take the last rows told only after the decode has found
    // the file broken and dropped its picture: they must still be there.
    void rowsMoveIntoTheWindowAsTheyArrive()
    {
        QFETCH(bool, cut);
        QImage picture(300, 700, QImage::Format_RGB32);
        QRandomGenerator noise(3);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, noise.generate());
        QVERIFY(picture.save("velmorine.png"));
        if (cut)
            QVERIFY(truncate("velmorine.png", QFileInfo("velmorine.png").size() * 2 / 3) == 0);
        QImage store(200, 500, QImage::Format_RGB32);
        const QPoint at(-60, -150);
        WindowPicture in_store;
        int told = 0;
        QImage last;
        const int fd = open("velmorine.png", O_RDONLY | O_CLOEXEC);
        const PngPiece piece = decodePng(fd, picture.rect(), LLONG_MAX, [&](const QImage& part, int rows) {
            QVERIFY(rows > told);
            QCOMPARE(part.copy(0, 0, part.width(), rows), picture.copy(0, 0, picture.width(), rows));
            told = rows;
            last = part;
            in_store.moveRows(store, at, part, rows / 2, false);
            in_store.moveRows(store, at, part, rows, false);
        });
        close(fd);
        QCOMPARE(last.copy(0, 0, last.width(), told), picture.copy(0, 0, picture.width(), told));
        if (cut) {
            QVERIFY(told > 0 && told < picture.height());
            QCOMPARE(piece.outcome, PngPiece::Outcome::LeftToQt);
            return;
        }
        QCOMPARE(told, picture.height());
        in_store.endMove(store, {});
        QVERIFY(in_store.isIn(store));
        QCOMPARE(store, picture.copy(QRect(-at, store.size())));
        QCOMPARE(piece.image, picture);
    }

    // The name flips between a picture and a FIFO as fast as renames go; a
    // reader that opened the FIFO would wait for a writer until CTest's timeout.
    void fifoSwappedInForThePictureNeverBlocks()
    {
        QImage picture(20, 10, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save("picture", "PNG") && mkfifo("fifo", 0600) == 0);
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

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
