#include "catalogue/cataloguelistfile.h"
#include "catalogrows.h"
#include "listfilecorpus.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <unistd.h>

namespace {

// The rows as one hash: every field's bytes, field and row boundaries,
// and the origin.
QByteArray rowsHash(const RowStore &rows)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        for (int f = 0; f < TrackFieldCount; ++f) {
            hash.addData(rows.fieldUtf8(i, f));
            hash.addData(QByteArrayView("\0", 1));
        }
        hash.addData(QByteArrayView(rows.origin(i) == EntryOrigin::Own ? "o\n" : "l\n"));
    }
    return hash.result().toHex();
}

QByteArray bytesHash(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

class ListFileStreamingTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The hashes are those of the rows and the file that the reader and
    // writer gave before reading became block-wise.
    void corpusReadsAndWritesAsBefore()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(writeBytes(path, ListFileCorpus::bytes()));
        const CatalogueListFile::ReadResult read = CatalogueListFile::read(path);
        QCOMPARE(read.state, CatalogueListFile::ReadState::Whole);
        QCOMPARE(read.rows.size(), 3001);
        QCOMPARE(rowsHash(read.rows), QByteArray("32662ebc543361d18e5574d5babdf4da3b5ce9cee139343bdd466abac8f75530"));
        const QString saved = dir.filePath(QStringLiteral("saved.lst"));
        QVERIFY(CatalogueListFile::save(saved, read.rows));
        QCOMPARE(bytesHash(fileBytes(saved)),
                 QByteArray("8bbd1ce9e7c86cc5fb84865e4ba887a7177ff9b02e8e1563f913d7ae468fcdec"));

        // Blocks so small that every line end, CR LF pair and UTF-8
        // sequence is cut somewhere.
        for (qint64 block : {7, 17, 4096}) {
            SafeFileRead::Options options;
            options.blockBytes = block;
            const CatalogueListFile::ReadResult small = CatalogueListFile::read(path, options);
            QCOMPARE(small.state, CatalogueListFile::ReadState::Whole);
            QCOMPARE(rowsHash(small.rows), rowsHash(read.rows));
            const CatalogueListFile::ReadResult counted = CatalogueListFile::check(path, options);
            QCOMPARE(counted.state, CatalogueListFile::ReadState::Whole);
            QCOMPARE(counted.records, read.records);
        }
    }

    // The old bytes are kept as they are, the last record completed, and
    // the new records follow exactly as a save writes them.
    void appendKeepsOldBytes_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QByteArray>("completion");
        const QByteArray one = "/a.mp3\r\nCD1\r\n\r\n\r\n\r\n\r\n\r\n\r\nhdr\r\n\r\n\r\n";
        QTest::newRow("varied corpus, last record cut after its fields")
            << ListFileCorpus::bytes(300) << QByteArray("\r\n\r\n\r\n");
        QTest::newRow("whole records") << one << QByteArray();
        QTest::newRow("lone CR at the end") << one.chopped(1) << QByteArray();
        QTest::newRow("last line without line end") << one + one.chopped(2) << QByteArray("\r\n");
        QTest::newRow("no file") << QByteArray() << QByteArray();
    }

    void appendKeepsOldBytes()
    {
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, completion);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        if (!old.isEmpty())
            QVERIFY(writeBytes(path, old));
        const CatalogueListFile::ReadResult before = CatalogueListFile::read(path);
        const CatalogueListFile::ReadResult checked = CatalogueListFile::check(path);
        QCOMPARE(checked.records, before.records);
        QCOMPARE(checked.state, before.state);

        RowStore added = CatalogRows::fromPaths({QStringLiteral("/new/1.mp3"), QStringLiteral("/new/\u00e9.mp3")});
        added.append(TrackRecord{QStringLiteral("/library.mp3")}, EntryOrigin::Library);
        const QString alone = dir.filePath(QStringLiteral("alone.lst"));
        QVERIFY(CatalogueListFile::save(alone, added));
        QVERIFY(CatalogueListFile::appendRecords(path, checked.stamp, added));
        // The old bytes stay as they were when they are UTF-8; records that
        // are not are written anew as UTF-8.
        if (QByteArrayView(old).isValidUtf8())
            QCOMPARE(fileBytes(path), old + completion + fileBytes(alone));
        else
            QVERIFY(QByteArrayView(fileBytes(path)).isValidUtf8()
                    && fileBytes(path).endsWith(completion + fileBytes(alone)));

        const CatalogueListFile::ReadResult after = CatalogueListFile::read(path);
        QCOMPARE(after.state, CatalogueListFile::ReadState::Whole);
        QCOMPARE(after.rows.size(), before.rows.size() + 2);
        QCOMPARE(entriesOf(after.rows).mid(0, before.rows.size()), entriesOf(before.rows));
        QCOMPARE(after.rows.record(after.rows.size() - 1), added.record(1));
    }

    void appendRefusesAndKeepsTheFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("changed since read") << "changed" << "the catalogue was changed by another program since it was read";
        QTest::newRow("removed since read") << "removed" << "the catalogue was changed by another program since it was read";
        QTest::newRow("ends inside a record") << "damaged" << "the file ends inside a record";
        QTest::newRow("read error half-way") << "io" << "Input/output error";
    }

    void appendRefusesAndKeepsTheFile()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QByteArray old = ListFileCorpus::bytes(300);
        if (fault == QLatin1String("damaged"))
            old += "\r\n\r\n\r\n/cut.mp3\r\nCD1\r\n";
        QVERIFY(writeBytes(path, old));
        const FileStamp stamp = CatalogueListFile::check(path).stamp;
        SafeFileRead::Options options;
        if (fault == QLatin1String("changed")) {
            old += "/more.mp3\r\n";
            QVERIFY(writeBytes(path, old));
        } else if (fault == QLatin1String("removed")) {
            QVERIFY(QFile::remove(path));
            old = "<unreadable>";
        } else if (fault == QLatin1String("io")) {
            options.read = [calls = 0](int fd, char *buffer, qint64 size) mutable -> qint64 {
                if (++calls == 1)
                    return ::read(fd, buffer, size_t(std::min<qint64>(size, 100)));
                errno = EIO;
                return -1;
            };
        }
        const SaveResult result =
            CatalogueListFile::appendRecords(path, stamp, CatalogRows::fromPaths({QStringLiteral("/x.mp3")}), options);
        QVERIFY(!result.ok);
        QCOMPARE(result.error, reason);
        QCOMPARE(fileBytes(path), old);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() <= 1); // no temporary file left
    }
};

ONDRO_TEST_MAIN(ListFileStreamingTest)
#include "test_listfilestreaming.moc"
