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

    // Rename keeps the place; a name taken, missing or empty is refused
    // and the file stays as it was.
    void rename_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("names"); // after; the same when refused
        QTest::addColumn<QString>("why");
        QTest::newRow("renamed in place") << "a" << "z" << QStringList{"z", "b"} << "";
        QTest::newRow("to itself") << "a" << "a" << QStringList{"a", "b"} << "";
        QTest::newRow("name in use") << "a" << "b" << QStringList{"a", "b"} << "a saved query is already named \"b\"";
        QTest::newRow("no such query") << "c" << "d" << QStringList{"a", "b"} << "there is no saved query named \"c\"";
        QTest::newRow("empty name") << "a" << "" << QStringList{"a", "b"} << "a saved query needs a name";
    }
    void rename()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, names);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = fileIn(dir.path());
        const QByteArray before = R"({"queries":[{"name":"a","query":"x"},{"name":"b","query":"y"}]})";
        QVERIFY(writeBytes(path, before));
        const SaveResult renamed = renameQuery(path, from, to);
        QCOMPARE(renamed.ok, why.isEmpty());
        QCOMPARE(renamed.error, why);
        QStringList read;
        for (const Query &query : SavedQueries::read(path).list.queries)
            read << query.name;
        QCOMPARE(read, names);
        if (!renamed.ok)
            QCOMPARE(fileBytes(path), before);
        QCOMPARE(putQuery(path, names.first(), QStringLiteral("q"), Existing::Refuse).error,
                 QStringLiteral("a saved query is already named \"%1\"").arg(names.first()));
    }

    void expand_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        QTest::addColumn<QString>("error");
        QTest::newRow("whole") << " @lossy " << "bitrate:<128" << "";
        QTest::newRow("whole, blanks in the name") << "@my songs" << "artist:me" << "";
        QTest::newRow("terms") << "-@lossy (@lossy OR x)" << "-(bitrate:<128) ((bitrate:<128) OR x)" << "";
        QTest::newRow("quoted and mid-word stay") << "\"@lossy\" a@lossy" << "\"@lossy\" a@lossy" << "";
        QTest::newRow("one level") << "@nested" << "@lossy" << "";
        QTest::newRow("unknown") << "x @none" << "" << "There is no saved query named \"none\".";
    }
    void expand()
    {
        QFETCH(QString, text);
        QFETCH(QString, expanded);
        QFETCH(QString, error);
        List list;
        list.put(QStringLiteral("lossy"), QStringLiteral("bitrate:<128"));
        list.put(QStringLiteral("my songs"), QStringLiteral("artist:me"));
        list.put(QStringLiteral("nested"), QStringLiteral("@lossy"));
        const Expanded result = SavedQueries::expand(text, list);
        QCOMPARE(result.text, expanded);
        QCOMPARE(result.error, error);
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
