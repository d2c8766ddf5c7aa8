#include "catalogrows.h"
#include "clirun.h"
#include "export/libraryfile.h"
#include "libraryfixtures.h"
#include "catalogue/cataloguelistfile.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
CliRun cli(const QString &data, const QStringList &arguments)
{
    return runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{QStringLiteral("--data-dir"), data} + arguments);
}
} // namespace

class ExportCliTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString data;
    QString many; // three entries on two media

private Q_SLOTS:
    void initTestCase()
    {
        data = dir.filePath(QStringLiteral("data"));
        const RowStore rows = rowsOf({entryOf({QStringLiteral("/m/a.mp3"), QStringLiteral("CD01"),
                                               QStringLiteral("Band"), QStringLiteral("Song"), {}, {}, {},
                                               QStringLiteral("/c/a.jpg")})});
        QVERIFY(CatalogueListFile::save(data + QStringLiteral("/zembra.lst"), rows).ok);
        many = dir.filePath(QStringLiteral("many"));
        QVERIFY(CatalogueListFile::save(
            many + QStringLiteral("/zembra.lst"),
            CatalogRows::fromPaths({QStringLiteral("/m/x/a.mp3"), QStringLiteral("/m/y/b.mp3"), QStringLiteral("/n/c.mp3")},
                                   {QStringLiteral("CD01"), QStringLiteral("CD02"), QStringLiteral("CD02")})));
    }

    void libraryCreateAndShow()
    {
        const QString typed = dir.filePath(QStringLiteral("mine"));
        const QString path = typed + QStringLiteral(".odl");
        const CliRun created = cli(data, {QStringLiteral("library"), QStringLiteral("create"), typed});
        QCOMPARE(created.status, 0);
        QCOMPARE(created.out, QFile::encodeName(path) + '\n');
        const QByteArray bytes = fileBytes(path);

        const CliRun again = cli(data, {QStringLiteral("library"), QStringLiteral("create"), path});
        QCOMPARE(again.status, 3);
        QVERIFY(again.err.contains(QFile::encodeName(path) + " already exists"));
        QCOMPARE(fileBytes(path), bytes);

        const CliRun shown = cli(data, {QStringLiteral("library"), QStringLiteral("show"), path});
        QCOMPARE(shown.status, 0);
        QCOMPARE(shown.out, QByteArray("/m/a.mp3\tCD01\tBand\tSong\t\t\t\t\t\n"));

        QVERIFY(writeBytes(dir.filePath(QStringLiteral("text.odl")), "no database"));
        const CliRun bad = cli(data, {QStringLiteral("library"), QStringLiteral("show"), dir.filePath(QStringLiteral("text.odl"))});
        QCOMPARE(bad.status, 3);
        QVERIFY(bad.err.contains("text.odl"));
    }

    void exports_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("secondStatus"); // the same export again
        QTest::newRow("covers") << QStringLiteral("covers") << QStringLiteral("zembra.html") << 0;
        QTest::newRow("database") << QStringLiteral("database") << QStringLiteral("ondro2000.mdb") << 3;
        QTest::newRow("tunepost") << QStringLiteral("tunepost") << QStringLiteral("tunepost-1.m3u") << 0;
        for (const char *kind : {"m3u8", "xspf", "csv", "jsonl"})
            QTest::newRow(kind) << QString::fromLatin1(kind) << QStringLiteral("ondro.") + QString::fromLatin1(kind) << 0;
    }

    // The options of the playlists and data files: what is written (the
    // m3u8's path lines, or the CSV's records without the header) and the
    // usage errors, which write nothing.
    void interchangeOptions_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after "export"; --to {out} is added
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // {up}: "../" up to the root from {out}
        const QString m3u8 = QStringLiteral("m3u8"), query = QStringLiteral("--query");
        const QStringList all{QStringLiteral("/m/x/a.mp3"), QStringLiteral("/m/y/b.mp3"), QStringLiteral("/n/c.mp3")};
        QTest::newRow("all") << QStringList{m3u8} << 0 << all;
        QTest::newRow("query") << QStringList{m3u8, query, QStringLiteral("source:CD02")} << 0 << all.mid(1);
        QTest::newRow("relative") << QStringList{m3u8, QStringLiteral("--relative"), query, QStringLiteral("path:/n/")}
                                  << 0 << QStringList{QStringLiteral("{up}n/c.mp3")};
        QTest::newRow("resolve, no register") << QStringList{m3u8, QStringLiteral("--resolve")} << 0 << all;
        QTest::newRow("csv, no match") << QStringList{QStringLiteral("csv"), query, QStringLiteral("source:CD09")} << 0
                                       << QStringList();
        QTest::newRow("relative csv") << QStringList{QStringLiteral("csv"), QStringLiteral("--relative")} << 2
                                      << QStringList();
        QTest::newRow("query of covers") << QStringList{QStringLiteral("covers"), query, QStringLiteral("x")} << 2
                                         << QStringList();
        QTest::newRow("bad query") << QStringList{m3u8, query, QStringLiteral("artst:x")} << 2 << QStringList();
    }
    void interchangeOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        QTemporaryDir out;
        const CliRun run = cli(many, QStringList{QStringLiteral("export")} + arguments +
                                         QStringList{QStringLiteral("--to"), out.path()});
        QCOMPARE(run.status, status);
        const QStringList files = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
        if (status != 0) {
            QVERIFY(files.isEmpty());
            return;
        }
        QCOMPARE(files.size(), 1);
        QStringList got = QString::fromUtf8(fileBytes(out.filePath(files.first()))).split(QRegularExpression(QStringLiteral("\r?\n")));
        got.removeAll(QString());
        got.removeFirst(); // #EXTM3U, or the header row
        if (arguments.first() == QLatin1String("m3u8"))
            got.removeIf([](const QString &line) { return line.startsWith(QLatin1Char('#')); });
        lines.replaceInStrings(QStringLiteral("{up}"), QStringLiteral("../").repeated(out.path().count(QLatin1Char('/'))));
        QCOMPARE(got, lines);
    }
    void exports()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(int, secondStatus);
        QTemporaryDir to;
        const QString path = to.filePath(file);
        const QStringList arguments{QStringLiteral("export"), kind, QStringLiteral("--to"), to.path()};
        const CliRun run = cli(data, arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QFile::encodeName(path) + '\n');
        const QByteArray bytes = fileBytes(path);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(cli(data, arguments).status, secondStatus);
        QCOMPARE(fileBytes(path), bytes);
        QCOMPARE(QDir(to.path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
    }

    // Libraries and the database export are written as the catalogue is
    // read: a damaged one gives its whole entries after a warning, one
    // that cannot be read leaves no file.
    void writtenFromTheCatalogueAsRead_data()
    {
        QTest::addColumn<QStringList>("arguments"); // {out} the folder written into
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("readable");
        const QStringList library{QStringLiteral("library"), QStringLiteral("create"), QStringLiteral("{out}/mine.odl")};
        const QStringList database{QStringLiteral("export"), QStringLiteral("database"), QStringLiteral("--to"),
                                   QStringLiteral("{out}")};
        QTest::newRow("library, damaged catalogue") << library << QStringLiteral("mine.odl") << true;
        QTest::newRow("database, damaged catalogue") << database << QStringLiteral("ondro2000.mdb") << true;
        QTest::newRow("library, catalogue is a folder") << library << QStringLiteral("mine.odl") << false;
        QTest::newRow("database, catalogue is a folder") << database << QStringLiteral("ondro2000.mdb") << false;
        QTest::newRow("jsonl, catalogue is a folder")
            << QStringList{QStringLiteral("export"), QStringLiteral("jsonl"), QStringLiteral("--to"), QStringLiteral("{out}")}
            << QStringLiteral("ondro.jsonl") << false;
    }
    void writtenFromTheCatalogueAsRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(bool, readable);
        QTemporaryDir other, out;
        const QString list = other.filePath(QStringLiteral("zembra.lst"));
        if (readable)
            QVERIFY(writeBytes(list, fileBytes(data + QStringLiteral("/zembra.lst")) + "/m/cut.mp3\r\nCD01\r\n"));
        else
            QVERIFY(QDir().mkpath(list));
        arguments.replaceInStrings(QStringLiteral("{out}"), out.path());
        const CliRun run = cli(other.path(), arguments);
        QCOMPARE(run.status, readable ? 0 : 3);
        QVERIFY2(run.err.contains(QFile::encodeName(list)), run.err.constData());
        if (!readable) {
            QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
            return;
        }
        QCOMPARE(run.out, QFile::encodeName(out.filePath(file)) + '\n');
        QCOMPARE(queryRows(out.filePath(file), "SELECT filename FROM tbl_MP3s"), QStringList{QStringLiteral("/m/a.mp3")});
    }
};

ONDRO_TEST_MAIN(ExportCliTest)
#include "test_exportcli.moc"
