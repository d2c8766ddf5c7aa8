#include "store/cataloguemodel.h"
#include "store/columnsort.h"
#include "testenv.h"

#include <QFutureWatcher>
#include <QRandomGenerator>

namespace {

// Values that collation rules treat differently: accents (composed and
// not), case variants, digits compared as text, punctuation, empty values,
// letters some languages treat as one ("ch", "aa", "ll"), long shared
// prefixes.
const char *const Pieces[] = {"", "a", "A", "ab", "Ab", "b", "B", "ch", "Ch", "ci", "cz", "h", "aa", "az", "ll",
                              "lz", "10", "9", "09", "1999", "x-y", "x_y", "x y", "(live)", "'s", ".",
                              "Caf\xc3\xa9", "cafe", "CAFE", "cafe\xcc\x81", "\xc3\x89" "cole", "ecole",
                              "Mot\xc3\xb6rhead", "motorhead", "\xc3\xa5", "\xc3\xa6", "stra\xc3\x9f" "e",
                              "strasse", "\xc4\x8d", "\xc4\xb1", "I", "i", "\xd0\x96", "\xe6\x97\xa5"};

QString varied(QRandomGenerator &rng, bool asciiOnly)
{
    QString text;
    const int n = int(rng.bounded(0, 4));
    for (int i = 0; i < n; ++i) {
        QString piece = QString::fromUtf8(Pieces[rng.bounded(int(std::size(Pieces)))]);
        const auto nonAscii = [](QChar c) { return c.unicode() > 127; };
        while (asciiOnly && std::any_of(piece.begin(), piece.end(), nonAscii))
            piece = QString::fromUtf8(Pieces[rng.bounded(int(std::size(Pieces)))]);
        text += piece;
        if (rng.bounded(3) == 0)
            text += QLatin1Char(' ');
    }
    return text;
}

// Columns: filename with a long shared prefix, source and year ASCII only,
// the others mixed.
RowStore variedCatalogue(int count)
{
    QRandomGenerator rng(7);
    RowStore rows;
    for (int i = 0; i < count; ++i) {
        TrackRecord r;
        r.filename = QStringLiteral("/media/cdrom/Music/Collection/") + varied(rng, false) + QStringLiteral(".mp3");
        r.source = varied(rng, true);
        r.artist = varied(rng, false);
        r.track = varied(rng, false);
        r.album = varied(rng, false);
        r.year = rng.bounded(5) == 0 ? QString() : QString::number(rng.bounded(0, 2100));
        r.genre = varied(rng, false);
        r.coverimage = varied(rng, true);
        r.audioheader = varied(rng, false);
        rows.append(r, i % 7 ? EntryOrigin::Own : EntryOrigin::Library);
    }
    return rows;
}

} // namespace

class ColumnSortTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void fastOrderIsTheCollatorOrder_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *name : {"C", "en_US", "de_DE", "sv_SE", "da_DK", "cs_CZ", "tr_TR", "es_ES", "ja_JP"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // Every column, the whole catalogue and a subset of it, under locales
    // with their own letters and orders.
    void fastOrderIsTheCollatorOrder()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        const RowStore rows = variedCatalogue(3000);
        std::vector<qsizetype> subset;
        for (qsizetype i = rows.size() - 1; i >= 0; i -= 3)
            subset.push_back(i);
        for (int field = 0; field < TrackFieldCount; ++field) {
            QCOMPARE(ColumnSort::order(rows, field), ColumnSort::collatorOrder(rows, field));
            QCOMPARE(ColumnSort::order(rows, field, subset), ColumnSort::collatorOrder(rows, field, &subset));
        }
    }

    // The fast ways are taken where they apply (the comparison above
    // would pass with the slow way everywhere).
    void fastWaysAreTaken()
    {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        const RowStore rows = variedCatalogue(3000);
        QCOMPARE(ColumnSort::methodFor(rows, FieldSource), ColumnSort::Method::AsciiTable);
        QCOMPARE(ColumnSort::methodFor(rows, FieldArtist), ColumnSort::Method::IcuKeys);
        QLocale::setDefault(QLocale(QStringLiteral("cs_CZ"))); // "ch" is a letter of its own
        QCOMPARE(ColumnSort::methodFor(rows, FieldSource), ColumnSort::Method::IcuKeys);
    }

    void orderComputedOffThreadIsAppliedInOneChange()
    {
        CatalogueModel model;
        RowStore rows = variedCatalogue(2000);
        const std::vector<qsizetype> expected = ColumnSort::collatorOrder(rows, FieldArtist);
        std::vector<QString> artists;
        for (const qsizetype row : expected)
            artists.push_back(rows.field(row, FieldArtist));
        model.appendRows(std::move(rows));

        QFuture<std::vector<qsizetype>> future = model.sortOrderAsync(FieldArtist);
        int layoutChanges = 0;
        connect(&model, &QAbstractItemModel::layoutChanged, this, [&] { ++layoutChanges; });
        const std::vector<qsizetype> order = future.result();
        QCOMPARE(order, expected);
        QVERIFY(model.applySortOrder(order));
        QCOMPARE(layoutChanges, 1);
        for (qsizetype i = 0; i < model.size(); i += 97)
            QCOMPARE(model.field(i, FieldArtist), artists[size_t(i)]);

        // An order that no longer fits the rows changes nothing.
        model.removeEntries(0, 1);
        QVERIFY(!model.applySortOrder(order));
        QVERIFY(!model.applySortOrder(std::vector<qsizetype>(size_t(model.size()), 0)));
        QCOMPARE(layoutChanges, 1);
    }
};

ONDRO_TEST_MAIN(ColumnSortTest)
#include "test_columnsort.moc"
