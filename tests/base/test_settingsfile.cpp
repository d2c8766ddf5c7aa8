#include "base/settingsfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>


class SettingsFileTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void appliesLinesUntilTheFirstError_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("coverPath");
        QTest::addColumn<QList<float>>("widths"); // columns 1..9
        QTest::addColumn<bool>("complete");

        const Settings d = Settings::defaults();
        const auto widths = [&](std::initializer_list<std::pair<int, float>> changes) {
            QList<float> w(d.widths.begin(), d.widths.end());
            for (const auto &[column, width] : changes)
                w[column - 1] = width;
            return w;
        };
        QTest::newRow("only WIDTH2=0") << QByteArray("WIDTH2=0\r\n") << QString() << widths({{2, 0}}) << true;
        QTest::newRow("= inside the value") << QByteArray("COVERPATH=C:\\covers=old\r\n")
                                            << QStringLiteral("C:\\covers=old") << widths({}) << true;
        QTest::newRow("lower-case key ignored") << QByteArray("Width1=500\r\ncoverpath=x\r\n") << QString()
                                                << widths({}) << true;
        // The key "COVERPATH " is not "COVERPATH"; "WIDTH1 " still names column 1.
        QTest::newRow("blanks around =")
            << QByteArray("COVERPATH = /covers\r\nWIDTH1 =100\r\n") << QString() << widths({{1, 100}}) << true;
        QTest::newRow("WIDTH10 stops the read")
            << QByteArray("VERSION=2.6\r\nCOVERPATH=/c\r\nWIDTH10=500\r\nWIDTH1=100\r\n") << QStringLiteral("/c")
            << widths({}) << false;
        QTest::newRow("WIDTH0 stops the read") << QByteArray("WIDTH1=10\r\nWIDTH0=5\r\nWIDTH2=20\r\n") << QString()
                                               << widths({{1, 10}}) << false;
        QTest::newRow("WIDTH9 works") << QByteArray("WIDTH9=1234.5\r\n") << QString() << widths({{9, 1234.5f}})
                                      << true;
        QTest::newRow("empty width hides the column") << QByteArray("WIDTH3=\r\n") << QString() << widths({{3, 0}})
                                                      << true;
        QTest::newRow("numeric value of leading text")
            << QByteArray("WIDTH4=  1500twips\r\nWIDTH5=abc\r\nWIDTH6=+.5\r\n") << QString()
            << widths({{4, 1500}, {5, 0}, {6, 0.5f}}) << true;
        QTest::newRow("line without = skipped, LF ends") << QByteArray("junk\nWIDTH1=99\n") << QString()
                                                         << widths({{1, 99}}) << true;
        QTest::newRow("other keys ignored")
            << QByteArray("VERSION=9\r\nEMAIL=a@b\r\nFCOLOR=1\r\nBCOLOR=2\r\n") << QString() << widths({}) << true;
        QTest::newRow("negative width stops the read") << QByteArray("WIDTH1=-5\r\nCOVERPATH=/late\r\n") << QString()
                                                       << widths({}) << false;
        QTest::newRow("width beyond a float stops the read")
            << QByteArray("WIDTH1=" + QByteArray(78, '3') + "\r\nCOVERPATH=/late\r\n") << QString() << widths({})
            << false;
    }

    void appliesLinesUntilTheFirstError()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, coverPath);
        QFETCH(QList<float>, widths);
        QFETCH(bool, complete);
        Settings s = Settings::defaults();
        QCOMPARE(SettingsFile::apply(bytes, s), complete);
        QCOMPARE(s.coverPath, coverPath);
        QCOMPARE(QList<float>(s.widths.begin(), s.widths.end()), widths);
    }

    void writesThirteenLinesTheSameEachTime()
    {
        Settings s = Settings::defaults();
        s.coverPath = QStringLiteral("/home/me/covers");
        s.widths[0] = 1440;
        s.widths[1] = 1234.5f;
        s.widths[2] = 0;
        s.widths[3] = 12345670; // written with an exponent, read back whole
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ondro2k.ini"));
        QVERIFY(SettingsFile::save(path, s));
        const QByteArray first = fileBytes(path);
        QVERIFY(SettingsFile::save(path, s));
        QCOMPARE(fileBytes(path), first);

        const QList<QByteArray> lines = first.split('\n');
        QCOMPARE(lines.size(), 14); // thirteen lines and the empty rest after the last line end
        QCOMPARE(lines[0], QByteArray("VERSION=2.6\r"));
        QCOMPARE(lines[1], QByteArray("COVERPATH=/home/me/covers\r"));
        QCOMPARE(lines[2], QByteArray("WIDTH1=1440\r"));
        QCOMPARE(lines[3], QByteArray("WIDTH2=1234.5\r"));
        QCOMPARE(lines[4], QByteArray("WIDTH3=0\r"));
        QCOMPARE(lines[9], QByteArray("WIDTH8=") + QByteArray::number(double(s.widths[7]), 'G', 7) + "\r");
        QCOMPARE(lines[10], QByteArray("EMAIL=\r"));
        QCOMPARE(lines[12], QByteArray("BCOLOR=\r"));
        QVERIFY(!first.contains("WIDTH9"));

        // What was written reads back into the same values.
        Settings back = Settings::defaults();
        back.widths[8] = s.widths[8];
        QVERIFY(SettingsFile::load(path, back));
        QCOMPARE(back, s);
    }

    void migratesTheOlderFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("coverPath");
        QTest::addColumn<QList<float>>("firstEight");

        const Settings d = Settings::defaults();
        QTest::newRow("whole file") << QByteArray("ignored\r\nC:\\covers\r\n100, 200,300\r\n400 500\r\n600,700.6,800\r\n")
                                    << QStringLiteral("C:\\covers")
                                    << QList<float>{100, 200, 300, 400, 500, 600, 701, d.widths[7]};
        QTest::newRow("short file keeps what was read")
            << QByteArray("x\r\n/covers\r\n100,200\r\n") << QStringLiteral("/covers")
            << QList<float>{100, 200, d.widths[2], d.widths[3], d.widths[4], d.widths[5], d.widths[6], d.widths[7]};
        // Found by fuzzing: a negative width saved from the old file would stop the next read.
        QTest::newRow("negative width stops the migration")
            << QByteArray("x\r\n/covers\r\n100,-4.5,300\r\n") << QStringLiteral("/covers")
            << QList<float>{100, d.widths[1], d.widths[2], d.widths[3], d.widths[4], d.widths[5], d.widths[6], d.widths[7]};
        QTest::newRow("one line only") << QByteArray("x\r\n") << QString()
                                       << QList<float>(d.widths.begin(), d.widths.begin() + 8);
    }

    void migratesTheOlderFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, coverPath);
        QFETCH(QList<float>, firstEight);
        Settings s = Settings::defaults();
        SettingsFile::applyOld(bytes, s);
        QCOMPARE(s.coverPath, coverPath);
        QCOMPARE(QList<float>(s.widths.begin(), s.widths.begin() + 8), firstEight);
    }

    void refusesSpecialAndOversizedFiles_data()
    {
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo" << "it is a named pipe, not a plain file";
        QTest::newRow("link to /dev/zero") << "zero" << "it is a device, not a plain file";
        QTest::newRow("folder") << "folder" << "it is a folder, not a file";
        QTest::newRow("over the size limit") << "huge" << "it is larger than 4 MiB";
    }

    void refusesSpecialAndOversizedFiles()
    {
        QFETCH(QString, make);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ondro2k.ini"));
        if (make == QLatin1String("fifo"))
            QVERIFY(makeFifo(path));
        else if (make == QLatin1String("zero"))
            QVERIFY(makeSymlink(QStringLiteral("/dev/zero"), path));
        else if (make == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else
            QVERIFY(makeSparseFile(path, SettingsFile::MaxFileBytes + 1));

        // The new file and the older one read by migration alike.
        for (const auto &read : {SettingsFile::load, SettingsFile::migrate}) {
            Settings s = Settings::defaults();
            QString why;
            QVERIFY(!read(path, s, &why));
            QCOMPARE(why, reason);
            QCOMPARE(s, Settings::defaults());
        }
    }
};

ONDRO_TEST_MAIN(SettingsFileTest)
#include "test_settingsfile.moc"
