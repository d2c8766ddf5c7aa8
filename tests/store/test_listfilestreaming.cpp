#include "store/cataloguelistfile.h"
#include "listfilecorpus.h"
#include "testenv.h"
#include "testfiles.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

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
        for (qint64 block : {1, 2, 3, 7, 4096}) {
            SafeFileRead::Options options;
            options.blockBytes = block;
            const CatalogueListFile::ReadResult small = CatalogueListFile::read(path, options);
            QCOMPARE(small.state, CatalogueListFile::ReadState::Whole);
            QCOMPARE(rowsHash(small.rows), rowsHash(read.rows));
        }
    }
};

ONDRO_TEST_MAIN(ListFileStreamingTest)
#include "test_listfilestreaming.moc"
