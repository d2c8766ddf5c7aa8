#include "clirun.h"
#include "catalogue/cataloguelistfile.h"
#include "testenv.h"
#include "trackrows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

// Two entries of CD1 with facts (one without an encoder), one of CD2 without.
bool writeCatalogue(const QString &data)
{
    const struct
    {
        QStringList fields;
        QByteArray facts;
    } entries[] = {
        {{"/a.mp3", "CD1", "A", "T", "", "1999", "Rock"}, "ondro:1 size=1000 dur=200.5 kbps=128 mode=cbr enc=LAME3.100"},
        {{"/b.mp3", "CD1", "A", "U", "", "2004", "Rock"}, "ondro:1 size=3000 dur=100.0 kbps=192 mode=vbr"},
        {{"/c.mp3", "CD2", "B", "V", "", "", "Pop"}, ""},
    };
    RowStore rows;
    for (const auto &e : entries)
        rows.append(entryOf(e.fields).record, EntryOrigin::Own, e.facts);
    return CatalogueListFile::save(data + QStringLiteral("/zembra.lst"), rows).ok;
}

} // namespace

class StatsCliTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void stats_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        const QByteArray all = "entries\t3\nbytes\t4000\nwithoutSize\t1\nseconds\t300.5\nwithoutDuration\t1\n";
        QTest::newRow("one breakdown") << QStringList{"stats", "--by", "mode"} << 0
                                       << all + "mode\t(unknown)\t1\t0\t0.0\nmode\tcbr\t1\t1000\t200.5\n"
                                                "mode\tvbr\t1\t3000\t100.0\n";
        QTest::newRow("matching entries only")
            << QStringList{"stats", "genre:rock", "--by", "source"} << 0
            << QByteArray("entries\t2\nbytes\t4000\nwithoutSize\t0\nseconds\t300.5\nwithoutDuration\t0\n"
                          "source\tCD1\t2\t4000\t300.5\n");
        QTest::newRow("no match") << QStringList{"stats", "genre:jazz", "--by", "enc"} << 1
                                  << QByteArray("entries\t0\nbytes\t0\nwithoutSize\t0\nseconds\t0.0\nwithoutDuration\t0\n");
        QTest::newRow("unknown breakdown") << QStringList{"stats", "--by", "artist"} << 2 << QByteArray();
        QTest::newRow("bad query") << QStringList{"stats", "artst:x"} << 2 << QByteArray();
        QTest::newRow("too costly") << QStringList{"stats", "path:/(.?){30}x/"} << 3 << QByteArray();
    }
    void stats()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QTemporaryDir dir;
        QVERIFY(writeCatalogue(dir.path()));
        const CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{"--data-dir", dir.path()} + arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.isEmpty(), status < 2);
    }

    void allBreakdownsAsJson()
    {
        QTemporaryDir dir;
        QVERIFY(writeCatalogue(dir.path()));
        const CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH), {"--data-dir", dir.path(), "stats", "--json"});
        QCOMPARE(run.status, 0);
        const QJsonObject report = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(report.value("entries").toInt(), 3);
        QCOMPARE(report.value("seconds").toDouble(), 300.5);
        const QJsonObject by = report.value("by").toObject();
        QCOMPARE(by.keys(), (QStringList{"decade", "enc", "genre", "kbps", "mode", "source"}));
        QCOMPARE(by.value("decade").toArray().at(0).toObject().value("key").toString(), QStringLiteral("(unknown)"));
    }
};

ONDRO_TEST_MAIN(StatsCliTest)
#include "test_statscli.moc"
