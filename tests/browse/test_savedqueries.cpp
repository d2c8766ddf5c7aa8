#include "browse/savedqueries.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace SavedQueries;

class SavedQueriesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<int>("state");
        QTest::addColumn<QStringList>("names");
        const auto row = [](const char *name, const QByteArray &content, State state, const QStringList &names) {
            QTest::newRow(name) << content << int(state) << names;
        };
        row("missing", "-", State::Missing, {});
        row("empty object", "{}", State::Read, {});
        row("two", R"({"queries": [{"name": "90s", "query": "year:1990..1999"}, {"name": "b", "query": ""}]})",
            State::Read, {"90s", "b"});
        row("not JSON", "{ damaged", State::Damaged, {});
        row("an array", "[]", State::Damaged, {});
        row("queries not a list", R"({"queries": {}})", State::Damaged, {});
        row("query not text", R"({"queries": [{"name": "a", "query": 3}]})", State::Damaged, {});
        row("no name", R"({"queries": [{"query": "x"}]})", State::Damaged, {});
        row("empty name", R"({"queries": [{"name": "", "query": "x"}]})", State::Damaged, {});
        row("a name twice", R"({"queries": [{"name": "a", "query": "x"}, {"name": "a", "query": "y"}]})",
            State::Damaged, {});
        row("a key twice", R"({"queries": [{"name": "a", "query": "x", "query": "y"}]})", State::Damaged, {});
        row("a folder", "/", State::Unreadable, {});
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, state);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        QString path = fileIn(dir.path());
        if (content == "/")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("queries.json")));
        else if (content != "-")
            QVERIFY(writeBytes(path, content));
        const ReadResult result = SavedQueries::read(path);
        QCOMPARE(int(result.state), state);
        QStringList read;
        for (const Query &query : result.list.queries)
            read << query.name;
        QCOMPARE(read, names);
        QCOMPARE(result.problem.isEmpty(), result.usable());
    }

    // Put replaces by name in place and adds at the end; unknown keys of
    // the document and of a query come back.
    void roundTrip()
    {
        QTemporaryDir dir;
        const QString path = fileIn(dir.path());
        QVERIFY(writeBytes(path, R"({"v": 2, "queries": [{"name": "a", "query": "x", "pinned": true}]})"));
        QVERIFY(putQuery(path, QStringLiteral("b"), QStringLiteral("artist:band")).ok);
        QVERIFY(putQuery(path, QStringLiteral("a"), QStringLiteral("-has:tag")).ok);
        QVERIFY(!removeQuery(path, QStringLiteral("none")).ok);
        const ReadResult result = SavedQueries::read(path);
        QCOMPARE(int(result.state), int(State::Read));
        List expected;
        expected.unknown = {{"v", 2}};
        expected.queries = {{"a", "-has:tag", {{"pinned", true}}}, {"b", "artist:band", {}}};
        QCOMPARE(result.list, expected);
        QVERIFY(removeQuery(path, QStringLiteral("a")).ok);
        QCOMPARE(SavedQueries::read(path).list.queries.size(), 1);
    }

    void damagedIsNotSavedOver()
    {
        QTemporaryDir dir;
        const QString path = fileIn(dir.path());
        QVERIFY(writeBytes(path, "{ damaged"));
        const SaveResult saved = putQuery(path, QStringLiteral("a"), QStringLiteral("x"));
        QVERIFY(!saved.ok && saved.previousKept);
        QVERIFY(saved.error.contains(QStringLiteral("queries.json could not be read (it is not valid JSON")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("{ damaged"));
    }

    // Control characters are read raw but written escaped, six bytes each:
    // a save that would outgrow what read() takes is refused and keeps the
    // old file.
    void saveThatWouldNotReadBackIsRefused()
    {
        QTemporaryDir dir;
        const QString path = fileIn(dir.path());
        const QByteArray old = "{\"queries\": [{\"name\": \"a\", \"query\": \"" + QByteArray(MaxFileBytes / 6, '\x01') + "\"}]}";
        QVERIFY(writeBytes(path, old));
        QCOMPARE(int(SavedQueries::read(path).state), int(State::Read));
        const SaveResult saved = putQuery(path, QStringLiteral("b"), QStringLiteral("x"));
        QVERIFY(!saved.ok);
        QCOMPARE(saveFailureMessage(path, saved),
                 QStringLiteral("Could not save %1: it would be 4.0 MiB, larger than the 4 MiB Ondro reads back. "
                                "The previous file was kept.").arg(path));
        QCOMPARE(fileBytes(path), old);
    }
};

ONDRO_TEST_MAIN(SavedQueriesTest)
#include "test_savedqueries.moc"
