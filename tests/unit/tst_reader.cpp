// The conf.ini reader's rules, against real files.
#include "settings/conf_reader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

class TestReader : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QByteArray path(const char* name) const { return dir.filePath(name).toLocal8Bit(); }

    // The value of each key, read in this order from one open file.
    QList<int> read(const QByteArray& content, const QList<QByteArray>& keys)
    {
        QFile out(dir.filePath("conf.ini"));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size())
            return {};
        out.close();
        FILE* file = settings::open_conf(path("conf.ini"));
        if (!file)
            return {};
        QList<int> values;
        for (const QByteArray& key : keys)
            values << settings::read_int(file, key.constData());
        std::fclose(file);
        return values;
    }

private slots:
    void values_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("value");
        const QByteArray longLine(49, '.');
        QTest::newRow("equals sign") << QByteArray("icon0_y=37\n") << QByteArray("icon0_y") << 37;
        QTest::newRow("blank after the separator") << QByteArray("icon0_y= 37\n") << QByteArray("icon0_y") << 37;
        QTest::newRow("blank before '=' reads 0") << QByteArray("icon0_y = 37\n") << QByteArray("icon0_y") << 0;
        QTest::newRow("any separator") << QByteArray("icon0_y:-37\n") << QByteArray("icon0_y") << -37;
        QTest::newRow("comment in the first column") << QByteArray("#shut_x=5\n") << QByteArray("shut_x") << 0;
        QTest::newRow("blank before # is no comment") << QByteArray(" #shut_x=5\n") << QByteArray("shut_x") << 5;
        QTest::newRow("key inside a longer name wins when first") << QByteArray("old_shut_x=9\nshut_x=5\n") << QByteArray("shut_x") << 9;
        QTest::newRow("first of two lines wins") << QByteArray("shut_x=5\nshut_x=6\n") << QByteArray("shut_x") << 5;
        QTest::newRow("text after the number") << QByteArray("width0=12px\n") << QByteArray("width0") << 12;
        QTest::newRow("hex is not understood") << QByteArray("width0=0x20\n") << QByteArray("width0") << 0;
        QTest::newRow("no digits") << QByteArray("width0=abc\n") << QByteArray("width0") << 0;
        QTest::newRow("nothing after the key") << QByteArray("width0") << QByteArray("width0") << 0;
        QTest::newRow("last line without a line break") << QByteArray("a=1\nheight1=44") << QByteArray("height1") << 44;
        QTest::newRow("missing key") << QByteArray("icon0_y=37\n") << QByteArray("line_color") << 0;
        QTest::newRow("saturates high") << QByteArray("line_color=99999999999\n") << QByteArray("line_color") << INT_MAX;
        QTest::newRow("saturates low") << QByteArray("line_color=-2147483649\n") << QByteArray("line_color") << INT_MIN;
        QTest::newRow("value cut at 19 characters") << QByteArray("width0=-000000000000000001234\n") << QByteArray("width0") << -1;
        QTest::newRow("key in the second piece of a 60-character line") << longLine + "start_x=77\n" << QByteArray("start_x") << 77;
        QTest::newRow("key split across two pieces") << QByteArray(45, 'x') + "start_x=5\n" << QByteArray("start_x") << 0;
        QTest::newRow("key at the end of the first piece") << QByteArray(41, 'x') + "start_x=5\n" << QByteArray("start_x") << 0;
        QTest::newRow("later pieces of a long comment count") << "#" + QByteArray(48, '-') + "shut_x=8\n" << QByteArray("shut_x") << 8;
        QTest::newRow("text after a NUL byte is not seen") << QByteArray("junk\0shut_x=3\nshut_x=4\n", 23) << QByteArray("shut_x") << 4;
        QTest::newRow("text past 1 MiB is not read") << QByteArray((1 << 20) - 8, '\n') + "start_x=5\n" << QByteArray("start_x") << 0;
        QTest::newRow("text just inside 1 MiB is read") << QByteArray((1 << 20) - 20, '\n') + "start_x=5\n" << QByteArray("start_x") << 5;
    }

    void values()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, key);
        QFETCH(int, value);
        QCOMPARE(read(content, {key}), QList<int>{value});
    }

    void everyKeyIsSearchedFromTheTop()
    {
        QCOMPARE(read("b=2\na=1\n", {"b", "a", "b"}), QList<int>({2, 1, 2}));
    }

    void filesThatAreNoSettingsAreNotOpened()
    {
        QVERIFY(!settings::open_conf(path("absent.ini")));
        QVERIFY(QDir(dir.path()).mkdir("a-directory.ini"));
        QVERIFY(!settings::open_conf(path("a-directory.ini")));
        // Opening a FIFO for reading waits for a writer: a hang here ends in the test's timeout.
        QCOMPARE(mkfifo(path("fifo.ini"), 0644), 0);
        QVERIFY(!settings::open_conf(path("fifo.ini")));
        QCOMPARE(symlink("/dev/zero", path("zero.ini")), 0);
        QVERIFY(!settings::open_conf(path("zero.ini")));
    }
};

QTEST_APPLESS_MAIN(TestReader)
#include "tst_reader.moc"
