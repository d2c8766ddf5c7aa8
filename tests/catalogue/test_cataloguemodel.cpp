#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/shownrowsmodel.h"
#include "catalogrows.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

TrackRecord row(const QString &name, const QString &year)
{
    TrackRecord r;
    r.filename = name;
    r.year = year;
    return r;
}

QStringList column(const CatalogueModel &model, int field)
{
    QStringList values;
    for (qsizetype i = 0; i < model.size(); ++i)
        values << model.field(i, field);
    return values;
}

} // namespace

class CatalogueModelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sortsByColumnTextStablyAndAlwaysAscending()
    {
        CatalogueModel model;
        for (const auto &[name, year] : std::initializer_list<std::pair<const char *, const char *>>{
                 {"a", "9"}, {"b", "10"}, {"c", "1999"}, {"d", "9"}, {"e", ""}, {"f", "10"}})
            model.append(row(QLatin1String(name), QLatin1String(year)), EntryOrigin::Own);

        model.sort(FieldYear);
        // As text: "" < "10" < "1999" < "9"; equal years keep their order.
        QCOMPARE(column(model, FieldFilename), (QStringList{"e", "b", "f", "c", "a", "d"}));
        model.sort(FieldYear);
        QCOMPARE(column(model, FieldFilename), (QStringList{"e", "b", "f", "c", "a", "d"}));
    }

    void sortIgnoresLetterCase()
    {
        CatalogueModel model;
        for (const char *artist : {"beta", "Alpha", "alpha", "Beta", "\u00c9cole"})
            model.append({QString(), QString(), QString::fromUtf8(artist)}, EntryOrigin::Own);
        model.sort(FieldArtist);
        QCOMPARE(column(model, FieldArtist), (QStringList{"Alpha", "alpha", "beta", "Beta", "\u00c9cole"}));
    }

    void sortKeepsOriginsAndSelectionWithTheirRows()
    {
        CatalogueModel model;
        model.append(row(QStringLiteral("z"), {}), EntryOrigin::Library);
        model.append(row(QStringLiteral("a"), {}), EntryOrigin::Own);
        const QPersistentModelIndex z = model.index(0, 0);
        model.sort(FieldFilename);
        QCOMPARE(model.origin(0), EntryOrigin::Own);
        QCOMPARE(model.origin(1), EntryOrigin::Library);
        QCOMPARE(z.row(), 1);
    }

    void saveAfterSortWritesSortedOrder()
    {
        CatalogueModel model;
        for (const char *name : {"/c.mp3", "/a.mp3", "/b.mp3"})
            model.append(row(QLatin1String(name), {}), EntryOrigin::Own);
        model.sort(FieldFilename);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(CatalogueListFile::save(path, model.rows()));
        const RowStore back = CatalogueListFile::read(path).rows;
        QCOMPARE(back.field(0, FieldFilename), QStringLiteral("/a.mp3"));
        QCOMPARE(back.field(2, FieldFilename), QStringLiteral("/c.mp3"));
    }

    void editsAndBatchesKeepEveryField()
    {
        RowStore batch;
        for (int i = 0; i < 5000; ++i) {
            TrackRecord r;
            for (int f = 0; f < TrackFieldCount; ++f)
                r.field(f) = QStringLiteral("%1-%2").arg(i).arg(f);
            batch.append(r, i % 3 ? EntryOrigin::Own : EntryOrigin::Library);
        }
        batch.append({QString(400000, QLatin1Char('x'))}, EntryOrigin::Own); // larger than an arena chunk share
        CatalogueModel model;
        model.append({QStringLiteral("first")}, EntryOrigin::Own);
        model.appendRows(std::move(batch));
        QVERIFY(batch.isEmpty());
        QCOMPARE(model.size(), 5002);
        QCOMPARE(model.field(1, FieldAudioHeader), QStringLiteral("0-8"));
        QCOMPARE(model.field(4000, FieldGenre), QStringLiteral("3999-6"));
        QCOMPARE(model.origin(1), EntryOrigin::Library);
        QCOMPARE(model.field(5001, FieldFilename).size(), 400000);

        model.setField(2, FieldCoverImage, QStringLiteral("/covers/x.jpg"));
        QCOMPARE(model.field(2, FieldCoverImage), QStringLiteral("/covers/x.jpg"));
        QCOMPARE(model.field(2, FieldArtist), QStringLiteral("1-2"));
        model.removeEntries(0, 2);
        QCOMPARE(model.field(0, FieldCoverImage), QStringLiteral("/covers/x.jpg"));
        QCOMPARE(model.rowCount(), 5000);
    }

    // Starting from rows "b" (own), "L" (library), "a" (own), "c" (own):
    // only changes a save would write move the generation.
    void generationCountsOnlyWhatASaveWrites_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("counts");
        enum { AddOwn, AddLibrary, EditOwn, EditLibrary, SameValue, RemoveOwn, RemoveLibrary, SortOwn,
               SortLibraryOnly, Clear };
        QTest::newRow("own row added") << int(AddOwn) << true;
        QTest::newRow("library row added") << int(AddLibrary) << false;
        QTest::newRow("own field changed") << int(EditOwn) << true;
        QTest::newRow("library field changed") << int(EditLibrary) << false;
        QTest::newRow("field set to the same value") << int(SameValue) << false;
        QTest::newRow("own row removed") << int(RemoveOwn) << true;
        QTest::newRow("library row removed") << int(RemoveLibrary) << false;
        QTest::newRow("sort that reorders own rows") << int(SortOwn) << true;
        QTest::newRow("sort that moves only the library row") << int(SortLibraryOnly) << false;
        QTest::newRow("cleared") << int(Clear) << true;
    }

    void generationCountsOnlyWhatASaveWrites()
    {
        QFETCH(int, change);
        QFETCH(bool, counts);
        CatalogueModel model;
        for (const auto &[name, origin] : {std::pair{"b", EntryOrigin::Own}, std::pair{"L", EntryOrigin::Library},
                                           std::pair{"a", EntryOrigin::Own}, std::pair{"c", EntryOrigin::Own}})
            model.append(row(QLatin1String(name), QStringLiteral("1999")), origin);
        const quint64 before = model.generation();
        switch (change) {
        case 0: model.append(row(QStringLiteral("d"), {}), EntryOrigin::Own); break;
        case 1: model.append(row(QStringLiteral("d"), {}), EntryOrigin::Library); break;
        case 2: model.setField(0, FieldYear, QStringLiteral("2000")); break;
        case 3: model.setField(1, FieldYear, QStringLiteral("2000")); break;
        case 4: model.setField(0, FieldYear, QStringLiteral("1999")); break;
        case 5: model.removeEntries(2, 1); break;
        case 6: model.removeEntries(1, 1); break;
        case 7: model.sort(FieldFilename); break;
        case 8: model.removeEntries(2, 1); model.sort(FieldFilename); break; // "b", "L", "c": L moves last
        case 9: model.clear(); break;
        }
        const quint64 afterRemoval = change == 8 ? before + 1 : before;
        QCOMPARE(model.generation() != afterRemoval, counts);
    }
    // A change to a range of catalogue rows reaches a filtered list as one
    // change over the shown rows in it, or none.
    void filteredListTakesAChangeOverItsShownRows_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<QList<int>>("shown"); // first and last shown row changed; empty: none
        QTest::newRow("every row") << 0 << 11 << QList<int>{0, 2};
        QTest::newRow("from between to the last shown") << 3 << 9 << QList<int>{1, 2};
        QTest::newRow("between shown rows") << 6 << 8 << QList<int>{};
        QTest::newRow("one shown row") << 5 << 5 << QList<int>{1, 1};
        QTest::newRow("a shown row and after") << 2 << 4 << QList<int>{0, 0};
    }
    void filteredListTakesAChangeOverItsShownRows()
    {
        QFETCH(int, top);
        QFETCH(int, bottom);
        QFETCH(QList<int>, shown);
        CatalogueModel model;
        model.appendRows(CatalogRows::generated(12));
        ShownRowsModel list(model);
        list.showOnly({2, 5, 9}, [] { return std::vector<qint32>{2, 5, 9}; });
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        Q_EMIT model.dataChanged(model.index(top, 1), model.index(bottom, 3));
        QCOMPARE(changed.size(), shown.isEmpty() ? 0 : 1);
        if (shown.isEmpty())
            return;
        const auto from = changed.at(0).at(0).value<QModelIndex>(), to = changed.at(0).at(1).value<QModelIndex>();
        QCOMPARE(QList<int>({from.row(), to.row()}), shown);
        QCOMPARE(QList<int>({from.column(), to.column()}), QList<int>({1, 3}));
    }
};

ONDRO_TEST_MAIN(CatalogueModelTest)
#include "test_cataloguemodel.moc"
