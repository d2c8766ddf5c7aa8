#include "export/exportflow.h"
#include "export/textexport.h"
#include "recordedprogress.h"
#include "testenv.h"
#include "testfiles.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

namespace {

using Entries = QList<QPair<QString, EntryOrigin>>;

RowStore rowsOf(const Entries &entries)
{
    RowStore rows;
    for (const auto &[name, origin] : entries) {
        TrackRecord record;
        record.filename = name;
        record.artist = QStringLiteral("not exported");
        rows.append(record, origin);
    }
    return rows;
}

} // namespace

class TextExportTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void content_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty") << Entries{} << QByteArray();
        QTest::newRow("own and library")
            << Entries{{QStringLiteral("/cd/a.mp3"), EntryOrigin::Own},
                                                  {QStringLiteral("/lib/b.mp3"), EntryOrigin::Library}}
            << QByteArray("/cd/a.mp3\r\n/lib/b.mp3\r\n");
        QTest::newRow("blanks and non-ASCII kept")
            << Entries{{QStringLiteral(" /cd/Bj\u00f6rk \u2013 Joga.mp3 "), EntryOrigin::Own}}
            << QByteArray(" /cd/Bj\xc3\xb6rk \xe2\x80\x93 Joga.mp3 \r\n");
        QTest::newRow("line breaks in a path stay on one line")
            << Entries{{QStringLiteral("/cd/a\nb\r.mp3"), EntryOrigin::Own},
                                                  {QStringLiteral("/cd/c.mp3"), EntryOrigin::Own}}
            << QByteArray("/cd/a b .mp3\r\n/cd/c.mp3\r\n");
        QTest::newRow("other line separators")
            << Entries{{QStringLiteral("/cd/a\v\f\u0085\u2028\u2029b.mp3"), EntryOrigin::Library}}
            << QByteArray("/cd/a     b.mp3\r\n");
    }
    void content()
    {
        QFETCH(Entries, entries);
        QFETCH(QByteArray, expected);
        const RowStore rows = rowsOf(entries);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        RecordedProgress progress;
        QVERIFY(TextExport::write(buffer, rows, &progress));
        QCOMPARE(buffer.data(), expected);
        QCOMPARE(progress.steps.size(), rows.size());
        if (!rows.isEmpty())
            QCOMPARE(progress.lastTotal, rows.size());
    }

    void secondExportOverwrites()
    {
        QTemporaryDir dir;
        const QString path = ExportFlow::targetIn(ExportFlow::Kind::Text, dir.path());
        QCOMPARE(path, dir.path() + QStringLiteral("/ondrolist.txt"));
        QVERIFY(TextExport::save(path, rowsOf({{QStringLiteral("/cd/first.mp3"), EntryOrigin::Own},
                                               {QStringLiteral("/cd/second.mp3"), EntryOrigin::Own}})).ok);
        QVERIFY(TextExport::save(path, rowsOf({{QStringLiteral("/cd/third.mp3"), EntryOrigin::Own}})).ok);
        QCOMPARE(fileBytes(path), QByteArray("/cd/third.mp3\r\n"));
    }

    void unwritableTargetKeepsNothingHalfWritten()
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("Ondro"));
        {
            QFile f(plain);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("plain");
        }
        const QString path = ExportFlow::targetIn(ExportFlow::Kind::Text, plain);
        const SaveResult result = TextExport::save(path, rowsOf({{QStringLiteral("/cd/a.mp3"), EntryOrigin::Own}}));
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QVERIFY(saveFailureMessage(path, result).contains(path));
        QCOMPARE(fileBytes(plain), QByteArray("plain"));
    }
};

ONDRO_TEST_MAIN(TextExportTest)
#include "test_textexport.moc"
