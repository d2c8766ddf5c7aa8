#include "catalogue/cataloguemodel.h"
#include "catalogue/columnsort.h"
#include "catalogue/factcolumns.h"
#include "collatororder.h"
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
// Texts where collation rules differ between languages and settings:
// accents, case, punctuation, digits, ligatures, combining marks, other
// scripts.
const char *const Probes[] = {"", " ", "a", "A", "b", "z", "Z", "0", "1", "9", "10", "-", "_", ".", "(", "'",
                              "a b", "ab", "a-b", "a_b", "aa", "ae", "ch", "ci", "cz", "h", "i", "ll", "lz", "ny",
                              "oe", "ss", "th", "y", "\xc3\xa4", "\xc3\x84", "\xc3\xa1", "a\xcc\x81",
                              "\xc3\xa5", "\xc3\xa6", "\xc3\xb6", "\xc3\xb8", "\xc3\x9f", "\xc3\xa9", "e",
                              "\xc3\xa8", "\xc3\xab", "\xc3\xb1", "n", "\xc4\x8d", "\xc5\xa1", "\xc5\x82", "l",
                              "\xc4\xb1", "\xc4\xb0", "\xc3\xbe", "\xc3\xb0", "\xef\xac\x81", "fi", "\xd0\x96",
                              "\xd0\xb6", "\xce\xb1", "\xe6\x97\xa5", "\xe3\x81\x82", "\xe2\x82\xac", "$",
                              "Caf\xc3\xa9 1", "cafe 1", "CAFE 10", "Mot\xc3\xb6rhead", "Motorhead"};

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

// What happens to the rows between preparing a sort and applying it.
enum StaleSort { FieldEdited, RowRemoved, OtherRows, NothingPrepared };

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
            QCOMPARE(ColumnSort::order(rows, field), collatorOrder(rows, field));
            QCOMPARE(ColumnSort::order(rows, field, subset), collatorOrder(rows, field, &subset));
        }
    }

    void probesAreInCollatorOrder_data() { fastOrderIsTheCollatorOrder_data(); }

    // The probes forward and backward, so texts the collator holds equal
    // must be equal by the sort too; a short column, below the ASCII table.
    void probesAreInCollatorOrder()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        RowStore rows;
        for (int i = 0; i < 2 * int(std::size(Probes)); ++i) {
            TrackRecord r;
            r.artist = QString::fromUtf8(Probes[i < int(std::size(Probes)) ? i : 2 * int(std::size(Probes)) - 1 - i]);
            rows.append(r, EntryOrigin::Own);
        }
        QCOMPARE(ColumnSort::order(rows, FieldArtist), collatorOrder(rows, FieldArtist));
    }

    // The ASCII table is taken where it applies (the comparisons above
    // would pass with ICU keys everywhere).
    // The fact columns show each fact as a collector reads it and sort by
    // its number (entries without it, or with no number, first; ties keep
    // their order), text ignoring case.
    void factColumns_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<qsizetype>>("order");
        QTest::newRow("duration") << "dur"
                                  << QList<QByteArray>{"ondro:1 dur=95.4", "ondro:1 dur=3725", "", "ondro:1 dur=9.6"}
                                  << QStringList{"1:35", "1:02:05", "", "0:10"} << QList<qsizetype>{2, 3, 0, 1};
        QTest::newRow("bitrate, not as text") << "kbps"
                                              << QList<QByteArray>{"ondro:1 kbps=320", "ondro:1 kbps=96", "ondro:1 kbps=x"}
                                              << QStringList{"320 kbps", "96 kbps", ""} << QList<qsizetype>{2, 1, 0};
        QTest::newRow("mode") << "mode" << QList<QByteArray>{"ondro:1 mode=vbr", "ondro:1 mode=CBR", "ondro:1 mode=cbr"}
                              << QStringList{"VBR", "CBR", "CBR"} << QList<qsizetype>{1, 2, 0};
        QTest::newRow("track, ties stay") << "trk"
                                          << QList<QByteArray>{"ondro:1 trk=10", "ondro:1 trk=2", "ondro:1 trk=2"}
                                          << QStringList{"10", "2", "2"} << QList<qsizetype>{1, 2, 0};
        QTest::newRow("size") << "size" << QList<QByteArray>{"ondro:1 size=4823112", "ondro:1 size=900"}
                              << QStringList{"4.6 MB", "900 bytes"} << QList<qsizetype>{1, 0};
    }
    void factColumns()
    {
        QFETCH(QString, key);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(QStringList, shown);
        QFETCH(QList<qsizetype>, order);
        CatalogueModel model(CatalogueModel::listHeaders());
        RowStore rows;
        for (const QByteArray &line : lines)
            rows.append(TrackRecord(), EntryOrigin::Own, line);
        model.appendRows(std::move(rows));
        const int column = FactColumns::columnOf(key);
        QVERIFY(column >= TrackFieldCount);
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, column).data().toString();
        QCOMPARE(texts, shown);
        const std::vector<qsizetype> sorted = stableSortOrder(model.rows(), column);
        QCOMPARE(QList<qsizetype>(sorted.begin(), sorted.end()), order);
        // A subset (the filter's rows) in the same order.
        const qsizetype n = model.size();
        const std::vector<qsizetype> some = stableSortOrder(model.rows(), column, {n - 2, n - 1});
        QList<qsizetype> expected = order;
        expected.removeIf([n](qsizetype row) { return row < n - 2; });
        QCOMPARE(QList<qsizetype>(some.begin(), some.end()), expected);
    }

    void fastWaysAreTaken()
    {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        const RowStore rows = variedCatalogue(3000);
        QCOMPARE(ColumnSort::methodFor(rows, FieldSource), ColumnSort::Method::AsciiTable);
        QCOMPARE(ColumnSort::methodFor(rows, FieldArtist), ColumnSort::Method::IcuKeys);
        QLocale::setDefault(QLocale(QStringLiteral("cs_CZ"))); // "ch" is a letter of its own
        QCOMPARE(ColumnSort::methodFor(rows, FieldSource), ColumnSort::Method::IcuKeys);
    }

    // A sort prepared off the thread gives the collator's order, as sort()
    // does, in one change that keeps a selected row with its row.
    void preparedSortIsSwappedInOneChange()
    {
        CatalogueModel model, reference;
        RowStore rows = variedCatalogue(2000);
        std::vector<QString> artists;
        for (const qsizetype row : collatorOrder(rows, FieldArtist))
            artists.push_back(rows.field(row, FieldArtist));
        model.appendRows(std::move(rows));
        reference.appendRows(variedCatalogue(2000));
        const QPersistentModelIndex held = model.index(7, FieldArtist);
        const QString heldArtist = held.data().toString();
        const QString heldPath = model.field(7, FieldFilename);
        int layoutChanges = 0;
        connect(&model, &QAbstractItemModel::layoutChanged, this, [&] { ++layoutChanges; });

        QVERIFY(model.applySort(model.sortAsync(FieldArtist).takeResult()));
        reference.sort(FieldArtist);
        QCOMPARE(layoutChanges, 1);
        for (qsizetype i = 0; i < model.size(); i += 89) {
            QCOMPARE(model.field(i, FieldArtist), artists[size_t(i)]);
            QVERIFY(model.record(i) == reference.record(i));
        }
        QCOMPARE(held.data().toString(), heldArtist);
        QCOMPARE(model.field(held.row(), FieldFilename), heldPath);
    }

    // A prepared sort that no longer fits the rows changes nothing.
    void preparedSortIsRefusedOnceTheRowsChanged_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("a field edited") << int(FieldEdited);
        QTest::newRow("a row removed") << int(RowRemoved);
        QTest::newRow("made from other rows") << int(OtherRows);
        QTest::newRow("nothing prepared") << int(NothingPrepared);
    }
    void preparedSortIsRefusedOnceTheRowsChanged()
    {
        QFETCH(int, change);
        CatalogueModel model, other;
        model.appendRows(variedCatalogue(2000));
        other.appendRows(variedCatalogue(1999));
        CatalogueModel::PreparedSort stale = (change == OtherRows ? other : model).sortAsync(FieldFilename).takeResult();
        if (change == FieldEdited)
            model.setField(0, FieldArtist, QStringLiteral("edited"));
        else if (change == RowRemoved)
            model.removeEntries(0, 1);
        else if (change == NothingPrepared)
            stale = {};
        const TrackRecord first = model.record(0);
        int layoutChanges = 0;
        connect(&model, &QAbstractItemModel::layoutChanged, this, [&] { ++layoutChanges; });
        QVERIFY(!model.applySort(std::move(stale)));
        QCOMPARE(layoutChanges, 0);
        QVERIFY(model.record(0) == first);
    }
};

ONDRO_TEST_MAIN(ColumnSortTest)
#include "test_columnsort.moc"
