#include "base/duplicatekey.h"
#include "base/jsonfile.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

class TestJsonFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A key twice in one object is found after decoding escapes, at its
    // second place; the same key in other objects, strings that are values
    // and brackets inside strings are not; text that stops being JSON
    // first is left to the parser.
    void duplicateKey_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("key"); // empty: none found
        QTest::addColumn<int>("offset");
        const auto row = [](const char *name, const QByteArray &json, const QString &key = {}, int offset = -1) {
            QTest::newRow(name) << json << key << offset;
        };
        row("none", R"({"a":1,"b":{"a":2},"c":[{"a":3},{"a":4}],"d":["a","a"],"e":"a"})");
        row("top level", R"({"a":1,"a":2})", "a", 7);
        row("nested", R"({"x":{"note":1, "note" : 2}})", "note", 16);
        row("in an array", R"([{"k":1},{"k":1,"k":2}])", "k", 16);
        row("after an object", R"({"a":{"b":1},"a":1})", "a", 13);
        row("escaped letter", R"({"a":1,"\u0061":2})", "a", 7);
        row("escaped pair", "{\"\xF0\x9F\x8E\xB5\":1,\"\\ud83c\\udfb5\":2}", QStringLiteral("\U0001F3B5"), 10);
        row("escaped quote", "{\"a\\\"b\":1,\"a\\u0022b\":2}", "a\"b", 10);
        row("named escapes", R"({"\/\t":1,"/\u0009":2})", "/\t", 10);
        row("lone surrogates differ", R"({"\ud800":1,"\udc00":2,"\ud800x":3})");
        row("brackets in strings", "{\"{\":\"}\",\"]\":1,\"{\":2}", "{", 15);
        row("unbalanced", R"({"a":1]"a":2})");
        row("unterminated", "{\"a\":1,\"a");
        row("bad escape", R"({"\x":1,"\x":2})");
        const QByteArray deep = QByteArray(10000, '[') + R"({"a":1,"a":2})" + QByteArray(10000, ']');
        row("deep nesting", deep, "a", 10007);
        row("deep objects", QByteArray("{\"a\":").repeated(10000) + '1' + QByteArray(10000, '}'));
        QByteArray huge = "{";
        for (int i = 0; i < 200000; ++i)
            huge += "\"k" + QByteArray::number(i) + "\":0,";
        row("huge object", huge + R"("k7":1})", "k7", int(huge.size()));
    }
    void duplicateKey()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, key);
        QFETCH(int, offset);
        const std::optional<DuplicateKey> found = findDuplicateKey(json);
        QCOMPARE(found ? found->key : QString(), key);
        QCOMPARE(found ? int(found->offset) : -1, offset);
    }

    // A document larger than the reader takes is refused before anything
    // is written, so the file it would replace stays as it was.
    void saveWithinReadLimit_data()
    {
        QTest::addColumn<QByteArray>("old"); // empty: no file yet
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("saved");
        QTest::newRow("at the limit") << QByteArray("{}") << 100 << true;
        QTest::newRow("over it") << QByteArray("{}") << 101 << false;
        QTest::newRow("over it, no file yet") << QByteArray() << 101 << false;
    }
    void saveWithinReadLimit()
    {
        QFETCH(QByteArray, old);
        QFETCH(int, size);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("media.json"));
        if (!old.isEmpty())
            QVERIFY(writeBytes(path, old));
        const QByteArray json = '"' + QByteArray(size - 2, 'x') + '"';
        const SaveResult result = JsonFile::save(path, json, 100);
        QCOMPARE(result.ok, saved);
        QCOMPARE(fileBytes(path), saved ? json : old.isEmpty() ? QByteArray("<unreadable>") : old);
        if (saved)
            return;
        QCOMPARE(result.previousKept, !old.isEmpty());
        QCOMPARE(result.error, QStringLiteral("it would be 101 bytes, larger than the 100 bytes Ondro reads back"));
        QCOMPARE(int(JsonFile::read(path, 100, [](const QByteArray &, QString *) { return true; }).state),
                 int(old.isEmpty() ? JsonFile::State::Missing : JsonFile::State::Read));
    }
};

QTEST_GUILESS_MAIN(TestJsonFile)
#include "test_jsonfile.moc"
