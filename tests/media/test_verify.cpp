#include "verifymedium.h"
#include "catalogue/extensionline.h"
#include "media/mediascan.h"
#include "media/verifyrun.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Each file's name, status and detail, as "short changed size 60000 ...".
QStringList found(const Verify::Outcome &outcome)
{
    QStringList lines;
    for (const Verify::FileResult &file : outcome.files)
        lines << QStringLiteral("%1 %2 %3")
                     .arg(file.path.section(u'/', -1), QString::fromLatin1(Verify::statusWord(file.status)), file.detail)
                     .trimmed();
    return lines;
}

// Each entry's extension line.
QByteArrayList lines(const RowStore &rows)
{
    QByteArrayList out;
    for (qsizetype row = 0; row < rows.size(); ++row)
        out << rows.extensionUtf8(row).toByteArray();
    return out;
}

// Each entry's file name and problem mark.
QStringList marks(const RowStore &rows)
{
    QStringList lines;
    for (qsizetype row = 0; row < rows.size(); ++row)
        lines << rows.field(row, FieldFilename).section(u'/', -1) + u'='
                     + QString::fromLatin1(ExtensionLine::textValue(rows.extensionUtf8(row), ExtensionLine::ProblemKey));
    return lines;
}

} // namespace

class TestVerify : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A medium with a file changed in the middle of its audio, one cut
    // short, one that fails to read and one removed: exactly those four
    // are named, each in walk order with where it went bad, and marked;
    // once the files are back, all are ok and the marks go. The catalogue's
    // rows themselves are never touched by the run.
    void namesTheFourProblemsThenNone()
    {
        QTemporaryDir dir;
        const VerifyMedium medium(dir.path());
        RowStore rows = scanMedia(dir.path(), QStringLiteral("CD02")).rows;
        QCOMPARE(rows.size(), 5);
        const QByteArrayList scanned = lines(rows);
        medium.spoil();
        const SafeFileRead::ReadSystemCalls calls = medium.readErrorAt();
        WorkProgress progress;
        for (int readers : {1, 3}) {
            const Verify::Outcome outcome = Verify::run(rows, QStringLiteral("CD02"), {}, &progress, readers, &calls);
            QCOMPARE(found(outcome),
                     (QStringList{"gone.mp3 missing not found", "middle.mp3 damaged frame sync lost at byte 42117",
                                  "short.mp3 changed size 60000 bytes, catalogued 83528; the audio differs from the "
                                  "catalogued; the last frame, at byte 59631, is cut short",
                                  "unread.mp3 unreadable Input/output error at byte 20480", "whole.mp3 ok"}));
            QCOMPARE(Verify::summaryLine(QStringLiteral("CD02"), outcome.counts),
                     QStringLiteral("CD02: 5 files, 1 ok, 1 unreadable, 1 changed, 1 damaged, 1 missing"));
            QVERIFY(outcome.counts.when.isValid());
        }
        QCOMPARE(lines(rows), scanned);
        Verify::markEdits(rows, Verify::run(rows, QStringLiteral("CD02"), {}, nullptr, 1, &calls)).applyTo(rows);
        QCOMPARE(marks(rows), (QStringList{"gone.mp3=missing", "middle.mp3=damaged", "short.mp3=changed",
                                           "unread.mp3=unreadable", "whole.mp3="}));

        medium.restore();
        const Verify::Outcome again = Verify::run(rows, QStringLiteral("CD02"), {}, nullptr, 1);
        QCOMPARE(again.counts.ok, 5);
        Verify::markEdits(rows, again).applyTo(rows);
        QCOMPARE(lines(rows), scanned);
    }

    // A Stop ends the run between two reads, with nothing to apply.
    void stopEndsTheRun()
    {
        QTemporaryDir dir;
        const VerifyMedium medium(dir.path());
        const RowStore rows = scanMedia(dir.path(), QStringLiteral("CD02")).rows;
        WorkProgress progress;
        progress.requestStop();
        const Verify::Outcome outcome = Verify::run(rows, QStringLiteral("CD02"), {}, &progress, 1);
        QVERIFY(outcome.stopped && outcome.files.empty() && outcome.counts.files == 0);
    }

    // Verdicts only a made-up reading reaches: bit rot, a change of time,
    // a header that disagrees with the length, a file that will not open.
    void verdicts()
    {
        const QByteArray line = "ondro:1 size=100 mtime=50 aid=00000000000000aa";
        StreamFacts::Facts same;
        same.aid = 0xaa;
        same.hasAid = true;
        StreamFacts::Facts other = same;
        other.aid = 0xbb;
        StreamFacts::Facts shortStream = same;
        shortStream.damage = StreamFacts::Damage::Short;
        using SafeFileRead::Status;
        const struct
        {
            Verify::Reading reading;
            Verify::Status status;
            const char *detail;
        } cases[]{
            {{Status::Read, {}, 100, 50, {}, same}, Verify::Status::Ok, ""},
            {{Status::Read, {}, 100, 50, {}, other}, Verify::Status::Changed,
             "bit rot: the audio differs from the catalogued, size and time do not"},
            {{Status::Read, {}, 100, 60, {}, other}, Verify::Status::Changed,
             "modified 1970-01-01T00:01:00Z, catalogued 1970-01-01T00:00:50Z; the audio differs from the catalogued"},
            {{Status::Read, {}, 100, 50, {}, shortStream}, Verify::Status::Damaged,
             "the audio is shorter than its header says"},
            {{Status::Failed, QStringLiteral("Permission denied")}, Verify::Status::Unreadable, "Permission denied"},
        };
        for (const auto &c : cases) {
            const Verify::Verdict verdict = Verify::judge(line, c.reading);
            QCOMPARE(verdict.status, c.status);
            QCOMPARE(verdict.detail, QLatin1String(c.detail));
        }
    }

    // A rescan settles the marks of a file changed or missing (the entry
    // takes the file as it is) and keeps those it cannot settle reading
    // only parts of a file; a verification's ok takes any mark away.
    void marksThroughRescanAndVerification()
    {
        const QByteArray measured = "ondro:1 size=7 mtime=1";
        const struct
        {
            const char *kept;
            const char *rescanned;
        } cases[]{
            {"ondro:1 size=5 vfy=changed", "ondro:1 size=7 mtime=1"},
            {"ondro:1 size=5 vfy=missing", "ondro:1 size=7 mtime=1"},
            {"ondro:1 size=5 vfy=damaged", "ondro:1 size=7 vfy=damaged mtime=1"},
            {"ondro:1 size=5 vfy=unreadable", "ondro:1 size=7 vfy=unreadable mtime=1"},
        };
        for (const auto &c : cases) {
            QCOMPARE(ExtensionLine::withMeasuredFacts(c.kept, measured), QByteArray(c.rescanned));
            QCOMPARE(Verify::markedLine(c.kept, Verify::Status::Ok), QByteArray("ondro:1 size=5"));
        }
        QCOMPARE(Verify::markedLine("", Verify::Status::Missing), QByteArray("ondro:1 vfy=missing"));
        QCOMPARE(Verify::markedLine("ondro:2 whatever", Verify::Status::Missing), QByteArray("ondro:2 whatever"));
    }

    // The walk's order: a folder's files before its folders, names by the
    // listing's order (case aside).
    void walkOrder()
    {
        QByteArrayList paths{"/m/b/a.mp3", "/m/B.mp3", "/m/a/z.mp3", "/m/a.mp3", "/m/a/Y.mp3"};
        std::sort(paths.begin(), paths.end(), Verify::walkLess);
        QCOMPARE(paths, (QByteArrayList{"/m/a.mp3", "/m/B.mp3", "/m/a/Y.mp3", "/m/a/z.mp3", "/m/b/a.mp3"}));
    }
};

QTEST_GUILESS_MAIN(TestVerify)
#include "test_verify.moc"
