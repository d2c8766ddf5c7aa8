#include "catalogue/cataloguelistfile.h"
#include "clirun.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// ondro-cli queries and "@name" in a query, run in order on one data folder:
// each step's status, output and message.
class QueriesCliTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        RowStore rows;
        rows.append(entryOf({"/cd/a.mp3", "CD01", "Okafor", "A", "", "1995", "Rock"}).record, EntryOrigin::Own);
        rows.append(entryOf({"/cd/b.mp3", "CD01", "Other", "B", "", "1957", "Jazz"}).record, EntryOrigin::Own);
        QVERIFY(CatalogueListFile::save(m_dir.filePath(QStringLiteral("zembra.lst")), rows).ok);
    }

    void steps_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out"); // "*": any; "paths: a b": one line holding each
        QTest::addColumn<QByteArray>("error");
        const auto step = [](const char *name, const QStringList &arguments, int status, const QByteArray &out,
                             const QByteArray &error = {}) {
            QTest::newRow(name) << arguments << status << out << (error.isEmpty() ? error : "ondro-cli: " + error + "\n");
        };
        step("none yet", {"queries", "list"}, 0, "");
        step("save", {"queries", "save", "ok", "artist:okafor"}, 0, "");
        step("save, tab in the text", {"queries", "save", "old", "year:<1960\t"}, 0, "");
        step("name in use", {"queries", "save", "ok", "x"}, 2, "",
             "queries save: a saved query is already named \"ok\"; give --replace to replace it");
        step("does not parse", {"queries", "save", "bad", "artst:x"}, 2, "", "queries save: Unknown field \"artst\" at 1");
        step("list", {"queries", "list"}, 0, "ok\tartist:okafor\nold\tyear:<1960\\t\n");
        step("json", {"queries", "list", "--json"}, 0, "*");
        step("@name", {"query", "@ok"}, 0, "paths: /cd/a.mp3");
        step("@name as a term", {"query", "@ok OR @old"}, 0, "paths: /cd/a.mp3 /cd/b.mp3");
        step("unknown @name", {"query", "x @none"}, 2, "", "There is no saved query named \"none\".");
        step("replace", {"queries", "save", "ok", "artist:other", "--replace"}, 0, "");
        step("replaced", {"query", "@ok"}, 0, "paths: /cd/b.mp3");
        step("export", {"export", "m3u8", "--query", "@old", "--to", "."}, 0, "*");
        step("remove", {"queries", "remove", "old"}, 0, "");
        step("remove again", {"queries", "remove", "old"}, 2, "", "queries remove: there is no saved query named \"old\"");
        step("list after", {"queries", "list"}, 0, "ok\tartist:other\n");
        step("unknown action", {"queries", "drop", "ok"}, 2, "", "queries: unknown action \"drop\"; use list, save or remove");
    }
    void steps()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, error);
        const CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{"--data-dir", m_dir.path()} + arguments,
                                       m_dir.path());
        QCOMPARE(run.err, error);
        QCOMPARE(run.status, status);
        if (out.startsWith("paths: ")) {
            const QList<QByteArray> paths = out.sliced(7).split(' ');
            const QList<QByteArray> lines = run.out.trimmed().split('\n');
            QCOMPARE(lines.size(), paths.size());
            for (qsizetype i = 0; i < paths.size(); ++i)
                QVERIFY2(lines.at(i).contains(paths.at(i)), lines.at(i).constData());
        } else if (out == "*") {
            QVERIFY(!run.out.isEmpty());
        } else {
            QCOMPARE(run.out, out);
        }
    }

    // A queries.json that cannot be read is reported and never saved over.
    void unreadableIsKept()
    {
        const QString path = m_dir.filePath(QStringLiteral("queries.json"));
        QVERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("ondro.m3u8")))); // the export above
        QVERIFY(writeBytes(path, "{ damaged"));
        for (const QStringList &arguments : {QStringList{"queries", "save", "x", "y"}, QStringList{"query", "@x"},
                                            QStringList{"queries", "remove", "ok"}}) {
            const CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{"--data-dir", m_dir.path()} + arguments);
            QCOMPARE(run.status, 3);
            QVERIFY2(run.err.contains("queries.json could not be read"), run.err.constData());
        }
        QCOMPARE(fileBytes(path), QByteArray("{ damaged"));
    }
};

ONDRO_TEST_MAIN(QueriesCliTest)
#include "test_queriescli.moc"
