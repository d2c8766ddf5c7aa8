#include "catalogue/extensionline.h"

#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

class TestExtensionLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a line gives, and what is written back for it.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("enc"); // the decoded value of key "enc"
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QByteArray>("rawEnc"); // "enc" as written, read without parsing
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("the original's text") << QByteArray("Comment") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("facts") << QByteArray("ondro:1 dur=215.3 enc=LAME3.100") << QByteArray("LAME3.100")
                               << QByteArray("ondro:1 dur=215.3 enc=LAME3.100") << QByteArray("LAME3.100");
        QTest::newRow("escapes") << QByteArray("ondro:1 enc=a%20b%3Dc%25%09") << QByteArray("a b=c%\t")
                                 << QByteArray("ondro:1 enc=a%20b%3Dc%25%09") << QByteArray("a%20b%3Dc%25%09");
        QTest::newRow("unknown keys as they were") << QByteArray("ondro:1 zz=%2f%zz enc=x  flag")
                                                   << QByteArray("x") << QByteArray("ondro:1 zz=%2f%zz enc=x flag")
                                                   << QByteArray("x");
        QTest::newRow("a later version whole") << QByteArray("ondro:2 whatever=1") << QByteArray()
                                               << QByteArray("ondro:2 whatever=1") << QByteArray();
        QTest::newRow("a later version's pair") << QByteArray("ondro:10 enc=x") << QByteArray()
                                                 << QByteArray("ondro:10 enc=x") << QByteArray();
        QTest::newRow("a key that ends like another") << QByteArray("ondro:1 xenc=1 enc=") << QByteArray()
                                                      << QByteArray("ondro:1 xenc=1 enc=") << QByteArray();
        QTest::newRow("no pairs") << QByteArray("ondro:1") << QByteArray() << QByteArray() << QByteArray();
    }
    void roundTrip()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, enc);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, rawEnc);
        QCOMPARE(ExtensionLine::rawValue(line, "enc").toByteArray(), rawEnc);
        const ExtensionLine::Facts facts = ExtensionLine::parse(line);
        QCOMPARE(facts.value("enc"), enc);
        QCOMPARE(ExtensionLine::format(facts), written);
    }

    // The numbers the scan writes, read without parsing the line.
    void numbers()
    {
        const QByteArrayView line = "ondro:1 size=4000 dur=215.3 t=7 aid=00AB0000000000ff bad=1x long=1.25 neg=-1";
        QCOMPARE(ExtensionLine::integerValue(line, "size"), std::optional<qint64>(4000));
        QCOMPARE(ExtensionLine::tenthsValue(line, "dur"), std::optional<qint64>(2153));
        QCOMPARE(ExtensionLine::tenthsValue(line, "t"), std::optional<qint64>(70));
        QCOMPARE(ExtensionLine::hexValue(line, "aid"), std::optional<quint64>(0x00ab'0000'0000'00ffull));
        for (const char *key : {"bad", "long", "neg", "missing"}) {
            QVERIFY2(!ExtensionLine::integerValue(line, key) && !ExtensionLine::tenthsValue(line, key)
                         && !ExtensionLine::hexValue(line, key),
                     key);
        }
        QVERIFY(!ExtensionLine::hexValue("ondro:1 aid=00000000000000000", "aid")); // 17 digits
    }

    // Each numeric fact read up to its limit and not beyond, however the
    // number is written: a reader multiplying or adding it cannot overflow.
    // A value is read decoded from its escapes; no number is not known.
    void limits_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<qint64>("value"); // -1: not known
        const QByteArray maxSeconds = QByteArray::number(ExtensionLine::MaxSeconds);
        QTest::newRow("size at 2^62") << "ondro:1 size=4611686018427387904"_ba << "size"_ba << (qint64(1) << 62);
        QTest::newRow("size over") << "ondro:1 size=4611686018427387905"_ba << "size"_ba << qint64(-1);
        QTest::newRow("size past qint64") << "ondro:1 size=99999999999999999999"_ba << "size"_ba << qint64(-1);
        QTest::newRow("leading zeros") << "ondro:1 size=00000000000000000000042"_ba << "size"_ba << qint64(42);
        QTest::newRow("dur at limit") << "ondro:1 dur="_ba + maxSeconds << "dur"_ba << ExtensionLine::MaxSeconds * 10;
        QTest::newRow("dur a tenth over") << "ondro:1 dur="_ba + maxSeconds + ".1" << "dur"_ba << qint64(-1);
        QTest::newRow("dur of 18 nines") << "ondro:1 dur=999999999999999999"_ba << "dur"_ba << qint64(-1);
        QTest::newRow("kbps over") << "ondro:1 kbps=1000001"_ba << "kbps"_ba << qint64(-1);
        QTest::newRow("rate at limit") << "ondro:1 rate=1000000"_ba << "rate"_ba << qint64(1000000);
        QTest::newRow("mtime over") << "ondro:1 mtime=1099511627777"_ba << "mtime"_ba << qint64(-1);
        QTest::newRow("escaped digits") << "ondro:1 kbps=%31%32"_ba << "kbps"_ba << qint64(12);
        QTest::newRow("decoded once") << "ondro:1 kbps=%2531"_ba << "kbps"_ba << qint64(-1);
        QTest::newRow("escaped dot") << "ondro:1 dur=21%2E5"_ba << "dur"_ba << qint64(215);
        QTest::newRow("no number") << "ondro:1 dur=abc"_ba << "dur"_ba << qint64(-1);
        QTest::newRow("two decimals") << "ondro:1 dur=1.25"_ba << "dur"_ba << qint64(-1);
        QTest::newRow("a sign") << "ondro:1 size=-5"_ba << "size"_ba << qint64(-1);
        QTest::newRow("est over") << "ondro:1 est=2"_ba << "est"_ba << qint64(-1);
    }
    void limits()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, key);
        QFETCH(qint64, value);
        const std::optional<qint64> expected = value < 0 ? std::nullopt : std::optional(value);
        QCOMPARE(key == "dur" ? ExtensionLine::tenthsValue(line, key) : ExtensionLine::integerValue(line, key), expected);
        const auto fact = ExtensionLine::Fact(std::find(ExtensionLine::FactKeys.begin(), ExtensionLine::FactKeys.end(), key)
                                              - ExtensionLine::FactKeys.begin());
        QCOMPARE(ExtensionLine::factNumber(ExtensionLine::factValues(line)[fact], fact), expected);
    }

    // Values set come back equal, whatever bytes they hold.
    void setValues()
    {
        ExtensionLine::Facts facts = ExtensionLine::parse("ondro:1 keep=1");
        const QByteArray hostile("% =\r\n\x7f" "caf\xc3\xa9", 10);
        facts.set("enc", hostile);
        facts.set("keep", "2");
        const QByteArray line = ExtensionLine::format(facts);
        QVERIFY(!line.contains(' ' + QByteArray("caf")) && !line.contains('\n'));
        const ExtensionLine::Facts again = ExtensionLine::parse(line);
        QCOMPARE(again.value("enc"), hostile);
        QCOMPARE(again.value("keep"), QByteArray("2"));
        QCOMPARE(again, facts);
    }
};

QTEST_GUILESS_MAIN(TestExtensionLine)
#include "test_extensionline.moc"
