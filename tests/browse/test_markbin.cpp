#include "browse/markbin.h"
#include "browse/playlist.h"
#include "catalogrows.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/entrycopies.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

namespace {
QStringList pathsOf(const RowStore &rows)
{
    QStringList paths;
    for (qsizetype i = 0; i < rows.size(); ++i)
        paths << rows.field(i, FieldFilename);
    return paths;
}
QStringList numbered(int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/m/%1.mp3").arg(i);
    return paths;
}
} // namespace

class MarkBinTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void selectionInDisplayOrder()
    {
        CatalogueModel model;
        model.appendRows(CatalogRows::fromPaths(numbered(12)));
        QItemSelection selection;
        for (int row : {9, 2, 5, 2}) // the order of clicking, one twice
            selection.select(model.index(row, 0), model.index(row, 8));
        selection.select(model.index(3, 0), model.index(4, 0)); // a range, one column only
        QCOMPARE(MarkBin::rowsInOrder(selection), (std::vector<qsizetype>{2, 3, 4, 5, 9}));
    }

    void copiesAreIndependentAndKeepDuplicates()
    {
        CatalogueModel model;
        model.appendRows(CatalogRows::fromPaths(numbered(3)));
        CatalogueModel bin(CatalogueModel::markBinHeaders());
        bin.appendRows(MarkBin::copiesOf(model.rows(), {1, 1}));
        QCOMPARE(bin.size(), qsizetype(2));
        TrackRecord expected = model.record(1);
        expected.audioheader.clear();
        QCOMPARE(bin.record(0), expected);
        QCOMPARE(bin.record(1), expected);
        model.setField(1, FieldCoverImage, QStringLiteral("/new/cover.jpg"));
        model.removeEntries(0, 3);
        QCOMPARE(bin.field(0, FieldCoverImage), QStringLiteral("/covers/1.jpg"));
    }

    // Exported, a copy is its catalogue entry as it is now (path and source
    // alike); one whose entry is gone stays as it was copied.
    void copiesTakeTheFactsOfTheirEntries()
    {
        RowStore catalogue;
        const auto add = [&catalogue](const char *path, const char *source, const char *header, const char *facts) {
            TrackRecord record;
            record.filename = QLatin1String(path);
            record.source = QLatin1String(source);
            record.audioheader = QLatin1String(header);
            catalogue.append(record, EntryOrigin::Own, facts);
        };
        add("/m/a.mp3", "CD1", "H1", "ondro:1 dur=10");
        add("/m/a.mp3", "CD2", "H2", "ondro:1 dur=20");
        add("/m/b.mp3", "CD1", "H3", "ondro:1 dur=30");
        add("/m/gone.mp3", "CD1", "H4", "ondro:1 dur=5");
        RowStore copies = MarkBin::copiesOf(catalogue, {2, 1, 3});
        catalogue.setExtension(2, "ondro:1 dur=31"); // rescanned since it was marked
        catalogue.removeRows(3, 1);

        const RowStore filled = EntryCopies::withCatalogueFacts(copies, catalogue);
        QStringList seen;
        for (qsizetype i = 0; i < filled.size(); ++i)
            seen << filled.field(i, FieldFilename) + u' ' + filled.field(i, FieldSource) + u' ' +
                        filled.field(i, FieldAudioHeader) + u'|' + QString::fromUtf8(filled.extensionUtf8(i));
        QCOMPARE(seen, (QStringList{"/m/b.mp3 CD1 H3|ondro:1 dur=31", "/m/a.mp3 CD2 H2|ondro:1 dur=20",
                                    "/m/gone.mp3 CD1 |ondro:1 dur=5"}));
    }

    void bulkRemovalKeepsTheOthersInOrder_data()
    {
        QTest::addColumn<std::vector<qsizetype>>("remove");
        QTest::newRow("a few runs") << std::vector<qsizetype>{0, 1, 5, 9};
        std::vector<qsizetype> scattered;
        for (qsizetype i = 1; i < 100; i += 3)
            scattered.push_back(i);
        QTest::newRow("many scattered rows") << scattered;
        QTest::newRow("none") << std::vector<qsizetype>{};
    }
    void bulkRemovalKeepsTheOthersInOrder()
    {
        QFETCH(std::vector<qsizetype>, remove);
        CatalogueModel model;
        const QStringList all = numbered(100);
        model.appendRows(CatalogRows::fromPaths(all));
        model.removeEntries(remove);
        QStringList expected;
        for (qsizetype i = 0; i < all.size(); ++i)
            if (std::find(remove.begin(), remove.end(), i) == remove.end())
                expected << all.at(i);
        QCOMPARE(pathsOf(model.rows()), expected);
        QCOMPARE(model.rowCount(), int(expected.size()));
    }

    void playlistBytes_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("two rows") << QStringList{"/c/A.MP3", "/d/x/B.MP3"} << QByteArray("/c/A.MP3\r\n/d/x/B.MP3\r\n");
        QTest::newRow("empty bin") << QStringList{} << QByteArray();
        QTest::newRow("twice the same") << QStringList{"/a.mp3", "/a.mp3"} << QByteArray("/a.mp3\r\n/a.mp3\r\n");
        QTest::newRow("kept as stored") << QStringList{"/m/caf\u00e9 1.mp3"} << QByteArray("/m/caf\xc3\xa9 1.mp3\r\n");
        // A line break would hand the player lines of the value's choosing.
        QTest::newRow("line breaks become blanks")
            << QStringList{"file:///etc/passwd\r\n#EXTINF:1,x\r\nhttp://evil.example/x.mp3", "/b.mp3"}
            << QByteArray("file:///etc/passwd  #EXTINF:1,x  http://evil.example/x.mp3\r\n/b.mp3\r\n");
        QTest::newRow("other line separators") << QStringList{"/a\v\f\u0085\u2028\u2029b.mp3"}
                                               << QByteArray("/a     b.mp3\r\n");
    }
    void playlistBytes()
    {
        QFETCH(QStringList, paths);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Playlist::bytes(CatalogRows::fromPaths(paths)), bytes);
    }

    void playlistWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ondrotemp.m3u"));
        QVERIFY(Playlist::write(path, CatalogRows::fromPaths({"/a/1.mp3", "/a/2.mp3", "/a/3.mp3"})));
        QVERIFY(Playlist::write(path, CatalogRows::fromPaths({"/b.mp3"})));
        QCOMPARE(fileBytes(path), QByteArray("/b.mp3\r\n"));
        QVERIFY(Playlist::write(path, RowStore()));
        QCOMPARE(fileBytes(path), QByteArray());

        writeBytes(dir.filePath(QStringLiteral("plain")), "x");
        const QString blocked = dir.filePath(QStringLiteral("plain/ondrotemp.m3u"));
        const SaveResult failed = Playlist::write(blocked, CatalogRows::fromPaths({"/b.mp3"}));
        QVERIFY(!failed);
        const QString message = Playlist::failureMessage(blocked, failed);
        QVERIFY(message.contains(blocked));
        QVERIFY(message.contains(failed.error));
        QVERIFY(!failed.error.isEmpty());
    }
};

ONDRO_TEST_MAIN(MarkBinTest)
#include "test_markbin.moc"
