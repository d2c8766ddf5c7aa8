#include "base/bytescan.h"
#include "base/foldedsearch.h"
#include "base/textfold.h"
#include "foldpieces.h"
#include "testenv.h"

#include <QTest>

namespace {

bool rawHolds(QByteArrayView text, QByteArrayView needle)
{
    const char *end = text.data() + text.size();
    return ByteScan::findFolded(text.data(), end, needle) != end;
}

} // namespace

class TextFoldTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The search of a needle in a text's own bytes and then around its
    // joining characters finds what a search of the whole text's fold does.
    void foldedSearchAgreesWithTheWholeFold()
    {
        QRandomGenerator random(11);
        QByteArray room;
        int found = 0;
        for (const QByteArrayView needle : FoldPieces::Needles) {
            const TextFold::FoldedAsciiSearch search(needle);
            for (int i = 0; i < 4000; ++i) {
                const QByteArray text = FoldPieces::text(random);
                const bool expected = TextFold::folded(text).contains(needle);
                const bool fast = rawHolds(text, needle) || search.foldAdds(text, room);
                if (fast != expected)
                    QFAIL(qPrintable(QStringLiteral("\"%1\" in %2: %3, the whole fold %4")
                                         .arg(QString::fromLatin1(needle.toByteArray()),
                                              QString::fromLatin1(text.toHex(' ')))
                                         .arg(fast)
                                         .arg(expected)));
                found += expected;
            }
        }
        QVERIFY(found > 1000); // the texts hold the needles often enough to test both answers
    }

    // Places the random texts seldom make, each once missed by a shortcut.
    void placesAroundJoiningCharacters_data()
    {
        QTest::addColumn<QByteArray>("needle");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("holds");
        QTest::newRow("a fold sticking out of the needle") << QByteArray("nd") << QByteArray("n\xc7\x84") << true;
        QTest::newRow("two marks in one place") << QByteArray("dans") << QByteArray("\xcc\x81" "d\xcc\x81" "ans") << true;
        QTest::newRow("a separator in the way") << QByteArray("dans") << QByteArray("\xcc\x81" "d\xd0\xb4" "ans") << false;
    }
    void placesAroundJoiningCharacters()
    {
        QFETCH(QByteArray, needle);
        QFETCH(QByteArray, text);
        QFETCH(bool, holds);
        QByteArray room;
        QCOMPARE(TextFold::folded(text).contains(needle), holds);
        QCOMPARE(rawHolds(text, needle) || TextFold::FoldedAsciiSearch(needle).foldAdds(text, room), holds);
    }
};

ONDRO_TEST_MAIN(TextFoldTest)
#include "test_textfold.moc"
