#include "base/bytescan.h"
#include "testenv.h"

#include <QRandomGenerator>

#include <functional>
#include <vector>

namespace {

// Each fast scan against its plain reference over one input: empty when
// they agree, else what differed.
using Check = std::function<QString(QByteArrayView)>;

QString differs(const char *what, qint64 fast, qint64 reference)
{
    return fast == reference ? QString() : QStringLiteral("%1: %2, reference %3").arg(what).arg(fast).arg(reference);
}

QString checkLineEndFinder(QByteArrayView in)
{
    const char *const end = in.data() + in.size();
    ByteScan::LineEndFinder finder(end);
    for (const char *p = in.data();;) {
        const char *found = finder.find(p);
        if (found != ByteScan::Scalar::findLineEnd(p, end))
            return differs("line end after", found - in.data(), ByteScan::Scalar::findLineEnd(p, end) - in.data());
        if (found == end)
            return {};
        p = found + 1;
    }
}

QString checkCountLineEnds(QByteArrayView in)
{
    for (const bool before : {false, true}) {
        bool fastCR = before, referenceCR = before;
        const qint64 fast = ByteScan::countLineEnds(in.data(), in.data() + in.size(), fastCR);
        const qint64 reference = ByteScan::Scalar::countLineEnds(in.data(), in.data() + in.size(), referenceCR);
        if (fast != reference || fastCR != referenceCR)
            return differs(before ? "count after a CR" : "count", fast * 2 + fastCR, reference * 2 + referenceCR);
    }
    return {};
}

QString checkAnyNeedsEscape(QByteArrayView in)
{
    for (qsizetype i = 0; i + 8 <= in.size(); ++i) {
        quint64 word;
        std::memcpy(&word, in.data() + i, 8);
        const bool reference = ByteScan::Scalar::plainRun(in.data() + i, 8) < 8;
        if (ByteScan::anyNeedsEscape(word) != reference)
            return differs("word at", i, -1);
    }
    return {};
}

QString checkCopyPlain(QByteArrayView in)
{
    // Room after the copy, which must stay untouched.
    constexpr qsizetype Guard = 32;
    QByteArray fast(in.size() + Guard, '#'), reference(in.size() + Guard, '#');
    const bool fastOk = ByteScan::copyPlain(fast.data(), in.data(), in.size());
    const bool referenceOk = ByteScan::Scalar::copyPlain(reference.data(), in.data(), in.size());
    if (fastOk != referenceOk)
        return differs("copied", fastOk, referenceOk);
    if (fast.sliced(in.size()) != QByteArray(Guard, '#'))
        return QStringLiteral("wrote past the end");
    if (fastOk && fast.first(in.size()) != in)
        return QStringLiteral("copy differs");
    return {};
}

const std::vector<std::pair<const char *, Check>> &checks()
{
    using namespace ByteScan;
    static const std::vector<std::pair<const char *, Check>> all = {
        {"findLineEnd",
         [](QByteArrayView in) {
             const char *end = in.data() + in.size();
             return differs("at", findLineEnd(in.data(), end) - in.data(),
                            Scalar::findLineEnd(in.data(), end) - in.data());
         }},
        {"hasLineEnd",
         [](QByteArrayView in) {
             const char *end = in.data() + in.size();
             return differs("has", hasLineEnd(in.data(), end), Scalar::findLineEnd(in.data(), end) != end);
         }},
        {"LineEndFinder", checkLineEndFinder},
        {"findLineBreakStart",
         [](QByteArrayView in) {
             const char *end = in.data() + in.size();
             return differs("at", findLineBreakStart(in.data(), end) - in.data(),
                            Scalar::findLineBreakStart(in.data(), end) - in.data());
         }},
        {"countLineEnds", checkCountLineEnds},
        {"isAscii",
         [](QByteArrayView in) { return differs("ascii", isAscii(in), Scalar::isAscii(in.data(), in.size())); }},
        {"findNonAscii",
         [](QByteArrayView in) {
             const char *end = in.data() + in.size();
             return differs("at", findNonAscii(in.data(), end) - in.data(),
                            Scalar::findNonAscii(in.data(), end) - in.data());
         }},
        {"findFolded",
         [](QByteArrayView in) {
             const char *end = in.data() + in.size();
             for (const QByteArrayView needle : {"a", "aa", "a a", "~a", "a\r\n", "\x80"}) {
                 if (const QString error = differs(needle.data(), findFolded(in.data(), end, needle) - in.data(),
                                                   Scalar::findFolded(in.data(), end, needle) - in.data());
                     !error.isEmpty())
                     return error;
             }
             return QString();
         }},
        {"anyNeedsEscape", checkAnyNeedsEscape},
        {"plainRun",
         [](QByteArrayView in) {
             return differs("run", plainRun(in.data(), in.size()), Scalar::plainRun(in.data(), in.size()));
         }},
        {"copyPlain", checkCopyPlain},
    };
    return all;
}

// Every length up to past four sixteen-byte blocks, over plain and high
// fillers, with each byte that some scan looks for at each position; then
// runs long enough to fill the counters of the line-end count, and noise.
std::vector<QByteArray> inputs()
{
    std::vector<QByteArray> all;
    const char fillers[] = {'a', 'A', ' ', '~', char(0x80), char(0xFF)};
    const QByteArray pieces[] = {"A", "a", "aA", "\r", "\n", "\r\n", "\n\r", "\\", "\x7f", "\x1f", "\t", "\x0b",
                                 "\xc2\x85", "\xe2\x80\xa8", QByteArray(1, '\0'), "\x80", "\xff"};
    for (const char filler : fillers) {
        for (qsizetype n = 0; n <= 72; ++n) {
            all.push_back(QByteArray(n, filler));
            for (const QByteArray &piece : pieces)
                for (qsizetype at = 0; at + piece.size() <= n; ++at)
                    all.push_back(QByteArray(n, filler).replace(at, piece.size(), piece));
        }
    }
    for (const char *unit : {"\n", "\r", "\r\n", "a\r"})
        all.push_back(QByteArray(unit).repeated(5000));
    QRandomGenerator random(7);
    for (int i = 0; i < 50; ++i) {
        QByteArray noise(qsizetype(random.bounded(9000)), Qt::Uninitialized);
        const char alphabet[] = {'a', '\r', '\n', '\\', char(0xE2), char(0x85), 0x1F};
        for (char &c : noise)
            c = alphabet[random.bounded(int(sizeof alphabet))];
        all.push_back(noise);
    }
    return all;
}

} // namespace

class ByteScanTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fastScansGiveTheirReference_data()
    {
        QTest::addColumn<int>("check");
        for (size_t i = 0; i < checks().size(); ++i)
            QTest::newRow(checks()[i].first) << int(i);
    }

    void fastScansGiveTheirReference()
    {
        QFETCH(int, check);
        static const std::vector<QByteArray> all = inputs();
        for (const QByteArray &input : all) {
            // A copy of its own size, so a read past the end is one past the input.
            const std::vector<char> bytes(input.cbegin(), input.cend());
            const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
            const QString difference = checks()[size_t(check)].second(view);
            if (!difference.isEmpty())
                QFAIL(qPrintable(difference + QStringLiteral(" for ") + QString::fromLatin1(input.toHex(' '))));
        }
    }
};

ONDRO_TEST_MAIN(ByteScanTest)
#include "test_bytescan.moc"
