#include "clirun.h"
#include "id3bytes.h"
#include "mp3bytes.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediaregister.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The source of each entry, then "|", then the register's media.
QStringList state(const QString &data)
{
    const CatalogueListFile::ReadResult read = CatalogueListFile::read(data + QStringLiteral("/zembra.lst"));
    QStringList values;
    for (qsizetype row = 0; row < read.rows.size(); ++row)
        values.append(read.rows.field(row, FieldSource));
    values.append(QStringLiteral("|"));
    MediaRegister media;
    media.read(MediaRegister::fileIn(data));
    for (const MediaRecord &record : media.records())
        values.append(record.source + QLatin1Char('/') + record.note);
    return values;
}

} // namespace

class TestMediaManageCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One catalogue through a run of renames and removes: each refused
    // one changes neither file; standard input is no terminal here.
    void renameAndRemove()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        for (const char *id : {"CD01", "CD02"}) {
            const QString medium = dir.filePath(QLatin1String(id));
            QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
            QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b")));
            QCOMPARE(runOndroCli(ONDRO_CLI_PATH, {"--data-dir", data, "scan", medium, "--source", id}).status, 0);
        }
        QCOMPARE(runOndroCli(ONDRO_CLI_PATH, {"--data-dir", data, "media", "set", "CD02", "--note", "Box 3"}).status, 0);
        struct Step
        {
            QStringList arguments;
            int status;
            const char *said; // on standard error, or standard output when status is 0
            QStringList after;
        };
        const QStringList start{"CD01", "CD01", "CD02", "CD02", "|", "CD01/", "CD02/Box 3"};
        const QList<Step> steps{
            {{"rename", "CD02"}, 2, "OLD NEW", start},
            {{"rename", "CD02", "CD01"}, 2, "another medium", start},
            {{"rename", "CD02", "cd 01"}, 2, "only in case", start},
            {{"rename", "CD02", ""}, 2, "empty", start},
            {{"rename", "CD09", "CD10"}, 1, "no medium CD09", start},
            {{"rename", "CD02", "USB02"}, 0, "Renamed CD02 to USB02 (2 entries)",
             {"CD01", "CD01", "USB02", "USB02", "|", "CD01/", "USB02/Box 3"}},
            {{"remove", "CD01"}, 1, "repeat with --yes to remove CD01 and its 2 entries",
             {"CD01", "CD01", "USB02", "USB02", "|", "CD01/", "USB02/Box 3"}},
            {{"remove", "CD09", "--yes"}, 1, "no medium CD09",
             {"CD01", "CD01", "USB02", "USB02", "|", "CD01/", "USB02/Box 3"}},
            {{"remove", "CD01", "--yes"}, 0, "Removed CD01 and its 2 entries", {"USB02", "USB02", "|", "USB02/Box 3"}},
        };
        for (const Step &step : steps) {
            const CliRun run = runOndroCli(ONDRO_CLI_PATH, QStringList{"--data-dir", data, "media"} + step.arguments);
            QCOMPARE(run.status, step.status);
            QVERIFY2((step.status == 0 ? run.out : run.err).contains(step.said), run.err.constData());
            QCOMPARE(state(data), step.after);
        }
    }
};

QTEST_GUILESS_MAIN(TestMediaManageCli)
#include "test_mediamanagecli.moc"
