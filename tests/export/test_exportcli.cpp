#include "clirun.h"
#include "export/libraryfile.h"
#include "libraryfixtures.h"
#include "store/cataloguelistfile.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QDir>
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

private Q_SLOTS:
    void initTestCase()
    {
        data = dir.filePath(QStringLiteral("data"));
        const RowStore rows = rowsOf({entryOf({QStringLiteral("/m/a.mp3"), QStringLiteral("CD01"),
                                               QStringLiteral("Band"), QStringLiteral("Song"), {}, {}, {},
                                               QStringLiteral("/c/a.jpg")})});
        QVERIFY(CatalogueListFile::save(data + QStringLiteral("/zembra.lst"), rows).ok);
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
