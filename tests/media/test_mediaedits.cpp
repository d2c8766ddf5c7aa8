#include "catalogrows.h"
#include "media/mediaedits.h"
#include "media/offlinenotice.h"

#include <QTest>

namespace {

// CD01 and "Hd 01" have entries; USB02 has entries and a record; OLD has
// only a record.
struct Fixture
{
    RowStore rows = CatalogRows::fromPaths({"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3", "/e.mp3"},
                                           {"CD01", "USB02", "Hd 01", "USB02", "CD01"});
    MediaRegister media;
    Fixture()
    {
        media.recordFor(QStringLiteral("USB02")).note = QStringLiteral("Shelf B");
        media.recordFor(QStringLiteral("OLD")).label = QStringLiteral("OLDDISK");
    }
};

QStringList sources(const RowStore &rows)
{
    QStringList list;
    for (qsizetype row = 0; row < rows.size(); ++row)
        list << QString::fromUtf8(rows.fieldUtf8(row, FieldSource));
    return list;
}

} // namespace

class TestMediaEdits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void renameRefusal_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("refusal"); // a word of it; empty: accepted
        QTest::newRow("new ID") << "USB02" << "USB03" << "";
        QTest::newRow("own case only") << "USB02" << "usb02" << "";
        QTest::newRow("record only") << "OLD" << "NEW" << "";
        QTest::newRow("unknown medium") << "CD09" << "CD10" << "no medium";
        QTest::newRow("empty") << "USB02" << "" << "empty";
        QTest::newRow("blanks") << "USB02" << "  " << "empty";
        QTest::newRow("line break") << "USB02" << "A\nB" << "line break";
        QTest::newRow("tab") << "USB02" << "A\tB" << "tab";
        QTest::newRow("unchanged") << "USB02" << "USB02" << "already";
        QTest::newRow("in use by entries") << "USB02" << "CD01" << "another medium";
        QTest::newRow("in use by record") << "USB02" << "OLD" << "another medium";
        QTest::newRow("case") << "USB02" << "cd01" << "only in case";
        QTest::newRow("blanks inside") << "USB02" << "HD01" << "only in case";
        QTest::newRow("record, case") << "CD01" << "old " << "only in case";
    }
    void renameRefusal()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, refusal);
        const Fixture f;
        const QString got = MediaEdits::renameRefusal(f.media, f.rows, from, to);
        if (refusal.isEmpty())
            QCOMPARE(got, QString());
        else
            QVERIFY2(got.contains(refusal), qPrintable(got));
    }

    // A rename cut short after the register's first write (to's record
    // beside from's) is finished when run again; a copy with entries of
    // its own, or changed since, is another medium.
    void renameCutShort_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("note"); // given to the copy after the cut
        QTest::addColumn<QString>("refusal");
        QTest::newRow("cut short") << "USB12" << "Shelf B" << "";
        QTest::newRow("changed since") << "USB12" << "Shelf C" << "another medium";
        QTest::newRow("with entries") << "CD01" << "Shelf B" << "another medium";
    }
    void renameCutShort()
    {
        QFETCH(QString, to);
        QFETCH(QString, note);
        QFETCH(QString, refusal);
        const Fixture f;
        MediaRegister renamed = f.media;
        MediaEdits::renameRecord(renamed, QStringLiteral("USB02"), to);
        MediaRegister cut = renamed.withRecordsOf(f.media);
        cut.find(to)->note = note;
        const QString got = MediaEdits::renameRefusal(cut, f.rows, QStringLiteral("USB02"), to);
        QVERIFY2(refusal.isEmpty() ? got.isEmpty() : got.contains(refusal), qPrintable(got));
    }

    // Renaming moves every entry and the record, and nothing else.
    void rename()
    {
        Fixture f;
        MediaEdits::renamedEntries(f.rows, QStringLiteral("USB02"), QStringLiteral("USB03")).applyTo(f.rows);
        MediaEdits::renameRecord(f.media, QStringLiteral("USB02"), QStringLiteral("USB03"));
        QCOMPARE(sources(f.rows), QStringList({"CD01", "USB03", "Hd 01", "USB03", "CD01"}));
        QVERIFY(!f.media.find(QStringLiteral("USB02")));
        QCOMPARE(f.media.find(QStringLiteral("USB03"))->note, QStringLiteral("Shelf B"));
        QCOMPARE(f.media.records().size(), 2);
        QCOMPARE(f.media.records().first().source, QStringLiteral("OLD")); // still in source order
    }

    void remove()
    {
        Fixture f;
        QCOMPARE(MediaEdits::entryCount(f.rows, QStringLiteral("CD01")), 2);
        MediaEdits::removedEntries(f.rows, QStringLiteral("CD01")).applyTo(f.rows);
        QCOMPARE(sources(f.rows), QStringList({"USB02", "Hd 01", "USB02"}));
        QCOMPARE(f.rows.field(0, FieldFilename), QStringLiteral("/b.mp3"));
        QVERIFY(f.media.remove(QStringLiteral("OLD")));
        QVERIFY(!f.media.remove(QStringLiteral("OLD")));
        QCOMPARE(f.media.records().size(), 1);
    }

    void insertQuestion_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("question");
        const QString ask = QStringLiteral(" is not mounted. Insert it and try again?");
        QTest::newRow("both") << "MUSIC" << "Shelf B, box 3" << "USB02 (label \"MUSIC\", note \"Shelf B, box 3\")" + ask;
        QTest::newRow("label") << "MUSIC" << "" << "USB02 (label \"MUSIC\")" + ask;
        QTest::newRow("note") << "" << "Box 3" << "USB02 (note \"Box 3\")" + ask;
        QTest::newRow("neither") << "" << "" << "USB02" + ask;
    }
    void insertQuestion()
    {
        QFETCH(QString, label);
        QFETCH(QString, note);
        QFETCH(QString, question);
        MediaRecord record;
        record.label = label;
        record.note = note;
        QCOMPARE(insertMediumQuestion(QStringLiteral("USB02"), &record), question);
        if (label.isEmpty() && note.isEmpty())
            QCOMPARE(insertMediumQuestion(QStringLiteral("USB02"), nullptr), question);
    }
};

QTEST_APPLESS_MAIN(TestMediaEdits)
#include "test_mediaedits.moc"
