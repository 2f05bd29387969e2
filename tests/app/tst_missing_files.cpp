// The one line the menu writes when it is started outside a whole theme folder.
#include "app/missing_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestMissingFiles : public QObject {
    Q_OBJECT

private slots:
    void namesWhatIsMissingAndHowToClose_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("missing");
        const QStringList whole{"conf.ini", "velmorine.png", "poweroff.png", "item0.sh", "item1.sh", "item2.sh"};
        QTest::newRow("a whole theme: nothing") << whole << QString();
        QTest::newRow("an empty folder: all six")
            << QStringList() << "conf.ini, velmorine.png, poweroff.png, item0.sh, item1.sh, item2.sh";
        QTest::newRow("one script missing: only it")
            << QStringList{"conf.ini", "velmorine.png", "poweroff.png", "item0.sh", "item2.sh"} << "item1.sh";
    }

    void namesWhatIsMissingAndHowToClose()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, missing);
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        for (const QString& name : present)
            QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        const QString note = QString::fromStdString(missing_theme_files_note());
        QDir::setCurrent(previous);

        if (missing.isEmpty()) {
            QCOMPARE(note, QString());
            return;
        }
        QVERIFY2(note.contains(dir.path() + " (the working directory): " + missing + ";"), qPrintable(note));
        QVERIFY2(note.contains("F2 closes the menu"), qPrintable(note));
        QCOMPARE(note.count('\n'), 1);
    }
};

QTEST_MAIN(TestMissingFiles)
#include "tst_missing_files.moc"
