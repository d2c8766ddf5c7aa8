#include "browse/duplicates.h"
#include "base/textfold.h"
#include "testenv.h"

#include <QTest>

namespace {

struct Copy
{
    const char *source, *path, *artist, *title, *extension;
};

// The groups of each kind as rows, largest first: "0 2|1 3".
QString groupsText(const QList<Copy> &copies, Duplicates::Kind kind)
{
    Duplicates::Finder finder;
    for (const Copy &c : copies)
        finder.add({c.path, c.source, c.artist, c.title, "", "", "", "", ""}, c.extension);
    QStringList groups;
    for (const Duplicates::Group &group : finder.groups(kind)) {
        QStringList rows;
        for (const qsizetype row : group.rows)
            rows << QString::number(row);
        groups << rows.join(u' ');
    }
    return groups.join(u'|');
}

} // namespace

Q_DECLARE_METATYPE(Copy)

class DuplicatesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void folding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("folded");
        QTest::newRow("ASCII") << QByteArray("  The BAND\t") << QByteArray("the band");
        QTest::newRow("accents") << QByteArray("Mot\xc3\xb6rhead Caf\xc3\xa9") << QByteArray("motorhead cafe");
        QTest::newRow("sharp s and capitals") << QByteArray("STRA\xc3\x9f" "E \xc3\x89t\xc3\xa9")
                                              << QByteArray("strasse ete");
        QTest::newRow("other scripts") << QByteArray("\xd0\x91\xd0\xb8 \xc2\xa0") << QByteArray("\xd0\xb1\xd0\xb8");
    }
    void folding()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, folded);
        QCOMPARE(TextFold::folded(text), folded);
    }

    void groups_data()
    {
        QTest::addColumn<QList<Copy>>("copies");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("song");
        const char *a = "ondro:1 dur=200.0 aid=00000000000000aa";
        QTest::newRow("same audio, other tags") << QList<Copy>{{"CD1", "/a.mp3", "X", "Y", a},
                                                               {"CD2", "/b.mp3", "Other", "Tags", a},
                                                               {"CD3", "/c.mp3", "", "", "ondro:1 aid=bb"}}
                                                << "0 1" << "";
        QTest::newRow("same song within two seconds, accents and case aside")
            << QList<Copy>{{"CD1", "/a.mp3", "Mot\xc3\xb6rhead ", "Ace", "ondro:1 dur=169.0 aid=1"},
                           {"CD2", "/a.mp3", "motorhead", "ACE", "ondro:1 dur=171.0 aid=2"},
                           {"CD3", "/a.mp3", "Motorhead", "Ace", "ondro:1 dur=171.1 aid=3"},
                           {"CD4", "/a.mp3", "Motorhead", "Ace", "ondro:1 dur=174.0 aid=4"}}
            << "" << "0 1 2";
        QTest::newRow("largest group first, then by first row")
            << QList<Copy>{{"A", "/1", "P", "Q", "ondro:1 dur=1.0 aid=5"}, {"A", "/2", "R", "S", "ondro:1 dur=1.0 aid=6"},
                           {"B", "/1", "R", "S", "ondro:1 dur=1.0 aid=6"}, {"B", "/2", "P", "Q", "ondro:1 dur=1.0 aid=5"},
                           {"C", "/1", "R", "S", "ondro:1 dur=1.0 aid=6"}}
            << "1 2 4|0 3" << "1 2 4|0 3";
        QTest::newRow("the same file twice is no song's copy")
            << QList<Copy>{{"CD1", "/a.mp3", "X", "Y", a}, {"CD1", "/a.mp3", "X", "Y", a}} << "0 1" << "";
        QTest::newRow("what a kind needs is missing")
            << QList<Copy>{{"CD1", "/a", "X", "Y", ""}, {"CD2", "/a", "X", "Y", ""},
                           {"CD1", "/b", "", "Y", "ondro:1 dur=1.0"}, {"CD2", "/b", "", "Y", "ondro:1 dur=1.0"},
                           {"CD1", "/c", "X", "Y", "ondro:1 dur=x aid=zz"}, {"CD2", "/c", "X", "Y", "Comment"}}
            << "" << "";
    }
    void groups()
    {
        QFETCH(QList<Copy>, copies);
        QFETCH(QString, audio);
        QFETCH(QString, song);
        QCOMPARE(groupsText(copies, Duplicates::Kind::Audio), audio);
        QCOMPARE(groupsText(copies, Duplicates::Kind::Song), song);
    }

    // Each copy as "on", "off" or "?" (the register does not know its
    // medium), a blank and its extension line.
    void bestCopy_data()
    {
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<int>("best");
        const QString cbr128 = "ondro:1 kbps=128 mode=cbr size=3000";
        QTest::newRow("online beats a higher bitrate offline")
            << QStringList{"off ondro:1 kbps=320 mode=cbr size=9000", "on " + cbr128} << 1;
        QTest::newRow("unknown medium counts as not online")
            << QStringList{"? ondro:1 kbps=320", "on " + cbr128} << 1;
        QTest::newRow("higher bitrate, as a number") << QStringList{"on ondro:1 kbps=96", "on ondro:1 kbps=0160"} << 1;
        QTest::newRow("VBR over CBR at an equal bitrate, whatever the size")
            << QStringList{"on " + cbr128, "on ondro:1 kbps=128 mode=vbr size=2000"} << 1;
        QTest::newRow("then the larger file")
            << QStringList{"on " + cbr128, "on ondro:1 kbps=128 mode=cbr size=3001"} << 1;
        QTest::newRow("a fact known beats one not known")
            << QStringList{"off ondro:1 mode=vbr size=1", "off ondro:1 kbps=8", "off ondro:1 kbps=x"} << 1;
        QTest::newRow("a tie keeps the first") << QStringList{"on " + cbr128, "on " + cbr128, "on " + cbr128} << 0;
        QTest::newRow("no facts at all") << QStringList{"? ", "? "} << 0;
    }
    void bestCopy()
    {
        QFETCH(QStringList, copies);
        QFETCH(int, best);
        std::vector<Duplicates::CopyFacts> facts;
        for (const QString &copy : copies) {
            const QString state = copy.section(u' ', 0, 0);
            const std::optional<bool> online = state == "?" ? std::nullopt : std::optional(state == "on");
            facts.push_back(Duplicates::copyFacts(copy.section(u' ', 1).toUtf8(), online));
        }
        QCOMPARE(Duplicates::bestCopy(facts), size_t(best));
    }
};

ONDRO_TEST_MAIN(DuplicatesTest)
#include "test_duplicates.moc"
