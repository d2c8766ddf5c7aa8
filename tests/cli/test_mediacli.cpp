#include "clirun.h"
#include "id3bytes.h"
#include "store/cataloguelistfile.h"
#include "store/mediaregister.h"
#include "testfiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

CliRun runCli(const QString &data, const QStringList &arguments)
{
    return runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{QStringLiteral("--data-dir"), data} + arguments);
}

QStringList titles(const QString &data)
{
    const CatalogueListFile::ReadResult read = CatalogueListFile::read(data + QStringLiteral("/zembra.lst"));
    QStringList values;
    for (qsizetype row = 0; row < read.rows.size(); ++row)
        values.append(read.rows.field(row, FieldTrack));
    return values;
}

} // namespace

class TestMediaCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A second scan warns and adds (scripts rely on it); rescan shows the
    // summary, changes nothing without --yes, and applies with it.
    void scanWarnsAndRescanApplies()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b")));
        const QStringList scan{QStringLiteral("scan"), medium, QStringLiteral("--source"), QStringLiteral("CD02")};
        QCOMPARE(runCli(data, scan).err, QByteArray());
        const CliRun twice = runCli(data, scan);
        QCOMPARE(twice.status, 0);
        QCOMPARE(twice.err, QByteArray("ondro-cli: CD02 already had 2 entries; `ondro-cli rescan --source CD02` "
                                       "updates them instead\n"));
        QCOMPARE(titles(data).size(), 4);

        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b, retagged")));
        const QStringList rescan{QStringLiteral("rescan"), QStringLiteral("--source"), QStringLiteral("CD02")};
        const QByteArray summary = "Rescan CD02: 0 added, 2 removed, 1 changed, 0 moved, 1 unchanged.\n";
        struct Step
        {
            QStringList extra;
            int status;
            QStringList after;
        };
        const QList<Step> steps{{{QStringLiteral("--dry-run")}, 0, {"a", "b", "a", "b"}},
                                {{}, 1, {"a", "b", "a", "b"}},
                                {{QStringLiteral("--yes")}, 0, {"a", "b, retagged"}}};
        for (const Step &step : steps) {
            const CliRun run = runCli(data, rescan + step.extra);
            QCOMPARE(run.status, step.status);
            QCOMPARE(run.out, summary);
            QCOMPARE(titles(data), step.after);
        }
        MediaRegister media;
        QCOMPARE(int(media.read(MediaRegister::fileIn(data)).state), int(MediaRegister::State::Read));
        QCOMPARE(media.find(QStringLiteral("CD02"))->files, 2);
        QCOMPARE(media.find(QStringLiteral("CD02"))->root, medium);
    }

    // The register through media list and set; a damaged one is named and
    // never saved over, and a scan still adds its entries.
    void mediaListAndSet()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QCOMPARE(runCli(data, {QStringLiteral("scan"), medium, QStringLiteral("--source"), QStringLiteral("CD02")}).status, 0);
        QCOMPARE(runCli(data, {"media", "set", "CD02", "--note", "Shelf B, box 3"}).status, 0);
        QCOMPARE(runCli(data, {"media", "set", "CD99", "--note", "x"}).status, 1);
        const CliRun listed = runCli(data, {QStringLiteral("media"), QStringLiteral("list"), QStringLiteral("--json")});
        const QJsonObject cd = QJsonDocument::fromJson(listed.out).array().at(0).toObject();
        QCOMPARE(cd.value("note").toString(), QStringLiteral("Shelf B, box 3"));
        QCOMPARE(cd.value("online").toBool(), true);
        QCOMPARE(cd.value("entries").toInt(), 1);
        QCOMPARE(cd.value("currentRoot").toString(), medium);
        QVERIFY(runCli(data, {"media", "list"}).out.startsWith("CD02\t"));

        const QString registerFile = MediaRegister::fileIn(data);
        QVERIFY(writeBytes(registerFile, "{ damaged"));
        const CliRun refused = runCli(data, {QStringLiteral("media"), QStringLiteral("list")});
        QCOMPARE(refused.status, 3);
        QVERIFY(refused.err.contains("media.json could not be read (it is not valid JSON"));
        QCOMPARE(runCli(data, {"scan", medium, "--source", "CD03"}).status, 0);
        QCOMPARE(titles(data).size(), 2);
        QCOMPARE(fileBytes(registerFile), QByteArray("{ damaged"));
        QCOMPARE(runCli(data, {"media", "set", "CD02", "--note", "x"}).status, 3);
        QCOMPARE(fileBytes(registerFile), QByteArray("{ damaged"));
    }
};

QTEST_GUILESS_MAIN(TestMediaCli)
#include "test_mediacli.moc"
