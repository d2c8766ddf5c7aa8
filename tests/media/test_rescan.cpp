#include "catalogrows.h"
#include "faultcalls.h"
#include "id3bytes.h"
#include "mp3bytes.h"
#include "media/mediascan.h"
#include "media/rescan.h"
#include "media/rescanservice.h"
#include "export/entryformat.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/entrypath.h"
#include "catalogue/extensionline.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A track whose audio is its own, by the file's base name: a renamed or
// retagged file keeps it.
bool writeTrack(const QString &path, const QByteArray &title)
{
    const QByteArray audio = audioBytes(4000, quint32(qHash(QFileInfo(path).completeBaseName())));
    return writeBytes(path, QByteArray("\xFF\xFB\x90\x64", 4) + audio + id3v1Tag(title, "Band"));
}

QStringList column(const CatalogueModel &model, int field, const QString &root = {})
{
    QStringList values;
    for (qsizetype row = 0; row < model.size(); ++row)
        values.append(model.field(row, field).remove(root));
    return values;
}

// The rescan of source at root as the service runs it, walked with the
// callbacks and reads given.
RescanService::Found rescanOf(const CatalogueModel &model, const QString &source, const QString &root,
                              const ScanCallbacks &callbacks = {}, const TagReading &reading = {},
                              const SafeFileRead::ReadSystemCalls *calls = nullptr)
{
    return RescanService::find(model.rows(), {source, root, root, reading},
                               [&](const QString &walk, const QString &medium, const TagReading &tags) {
                                   return scanMedia(walk, medium, callbacks, nullptr, 1, tags, calls);
                               });
}

} // namespace

class TestRescan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A medium scanned, then changed in every way a collector changes one:
    // each entry is counted once, and applying keeps places and covers.
    void everyKindOfChange()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        for (const char *name : {"A/one", "A/two", "B/three", "C/four", "D/five"})
            QVERIFY(writeTrack(root + u'/' + QLatin1String(name) + QStringLiteral(".mp3"), QByteArray(name).mid(2)));
        CatalogueModel model;
        TrackRecord other;
        other.filename = root + QStringLiteral("/A/one.mp3");
        other.source = QStringLiteral("HD01");
        model.append(other, EntryOrigin::Own);
        model.appendRows(scanMedia(root, QStringLiteral("CD02")).rows);
        model.setField(2, FieldCoverImage, QStringLiteral("/covers/two.jpg"));

        QVERIFY(writeTrack(root + QStringLiteral("/A/new.mp3"), "new"));
        QVERIFY(QFile::remove(root + QStringLiteral("/C/four.mp3")));
        QVERIFY(writeTrack(root + QStringLiteral("/A/one.mp3"), "one, retagged"));
        // Moved and retagged: known by its audio.
        QVERIFY(QDir(root).rename(QStringLiteral("A/two.mp3"), QStringLiteral("B/two.mp3")));
        QVERIFY(writeTrack(root + QStringLiteral("/B/two.mp3"), "two, moved"));
        // D cannot be read when the walk gets there (root cannot get past a
        // folder that is gone): its entry is not seen, and stays.
        ScanCallbacks vanish;
        vanish.folderEntered = [&](const QString &folder, qsizetype) {
            if (folder == root + QStringLiteral("/D"))
                QDir(folder).removeRecursively();
        };
        const qint64 fiveBytes = QFileInfo(root + QStringLiteral("/D/five.mp3")).size();
        const RescanService::Found found = rescanOf(model, QStringLiteral("CD02"), root, vanish);
        const ScanOutcome &again = found.outcome;
        QCOMPARE(rescanQuestion(QStringLiteral("CD02"), found.diff),
                 QStringLiteral("Rescan CD02: 1 added, 1 removed, 1 changed, 1 moved, 1 unchanged, 1 not seen (in "
                                "folders that could not be read, kept as they are). Apply these changes?"));
        QVERIFY(found.changes && !found.unread);

        model.apply(RescanService::edits(model.rows(), found));
        // The register's totals: the medium once applied, the entry not seen
        // with the size its facts give.
        QCOMPARE(found.totals.files, 5);
        QCOMPARE(found.totals.bytes, mediumTotals(again.rows, QStringLiteral("CD02")).bytes + fiveBytes);
        QCOMPARE(column(model, FieldFilename, root),
                 (QStringList{"/A/one.mp3", "/A/one.mp3", "/B/two.mp3", "/B/three.mp3", "/D/five.mp3", "/A/new.mp3"}));
        QCOMPARE(column(model, FieldTrack), (QStringList{"", "one, retagged", "two, moved", "three", "five", "new"}));
        for (qsizetype i = 0; i < again.rows.size(); ++i) {
            if (again.rows.field(i, FieldFilename).endsWith(QStringLiteral("/B/two.mp3")))
                QCOMPARE(model.rows().extensionUtf8(2), again.rows.extensionUtf8(i));
        }
        QCOMPARE(model.field(2, FieldCoverImage), QStringLiteral("/covers/two.jpg"));
        QCOMPARE(column(model, FieldSource), (QStringList{"HD01", "CD02", "CD02", "CD02", "CD02", "CD02"}));
    }

    // The same medium seen under another mount point (a symlinked root
    // stands for it): nothing changed, but the paths follow it; a stopped or
    // failed walk changes nothing.
    void mediumAtAnotherPlace()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("stick"));
        QVERIFY(writeTrack(root + QStringLiteral("/x/a.mp3"), "a"));
        QVERIFY(writeTrack(root + QStringLiteral("/b.mp3"), "b"));
        CatalogueModel model;
        model.appendRows(scanMedia(root, QStringLiteral("USB1")).rows);
        const QByteArray facts = model.rows().extensionUtf8(0).toByteArray();
        model.setExtension(0, {}); // as the original program wrote it
        const QString moved = dir.filePath(QStringLiteral("elsewhere"));
        QVERIFY(makeSymlink(root, moved));

        const ScanOutcome there = scanMedia(moved, QStringLiteral("USB1"));
        RescanDiff diff = diffRescan(model.rows(), QStringLiteral("USB1"), root, there.rows, moved, {}, {});
        QCOMPARE(rescanSummary(QStringLiteral("USB1"), diff),
                 QStringLiteral("Rescan USB1: 0 added, 0 removed, 0 changed, 0 moved, 2 unchanged."));
        QVERIFY(diff.changesCatalogue(model.rows(), there.rows));
        model.apply(rescanEdits(model.rows(), diff, there.rows));
        QCOMPARE(column(model, FieldFilename), (QStringList{moved + "/b.mp3", moved + "/x/a.mp3"}));
        QCOMPARE(model.rows().extensionUtf8(0), facts); // filled in

        const QString gone = dir.filePath(QStringLiteral("unplugged"));
        const ScanOutcome failed = scanMedia(gone, QStringLiteral("USB1"));
        diff = diffRescan(model.rows(), QStringLiteral("USB1"), moved, failed.rows, gone, failed.failedFolders, {});
        QCOMPARE(diff.notSeen.size(), size_t(2));
        QVERIFY(!diff.changesCatalogue(model.rows(), failed.rows));
        QVERIFY(rescanOf(model, QStringLiteral("USB1"), gone).unread);
    }

    // The root the entries are compared from: the register's while an
    // entry lies below it; else where most entries end in a walked path.
    void comparedRootOfEntries_data()
    {
        QTest::addColumn<QStringList>("entries"); // of USB1; "CD2 " and a path: another medium's
        QTest::addColumn<QString>("registered");
        QTest::addColumn<QString>("root");
        const QStringList atOld{"/old/cd/x/a.mp3", "/old/cd/b.mp3", "CD2 /o/x/a.mp3", "CD2 /o/b.mp3"};
        QTest::newRow("the register's") << atOld << "/old/cd" << "/old/cd";
        QTest::newRow("register ahead of the entries") << atOld << "/new" << "/old/cd";
        QTest::newRow("no walked file") << QStringList{"/old/z.mp3"} << "/new" << "/new";
        QTest::newRow("at the top") << QStringList{"/x/a.mp3", "/b.mp3"} << "/new" << "/";
    }
    void comparedRootOfEntries()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, registered);
        QFETCH(QString, root);
        QStringList paths, sources;
        for (const QString &entry : entries) {
            paths << entry.section(u' ', -1);
            sources << (entry.contains(u' ') ? entry.section(u' ', 0, 0) : QStringLiteral("USB1"));
        }
        const RowStore walked = CatalogRows::fromPaths({"/new/x/a.mp3", "/new/b.mp3"}, {"USB1", "USB1"});
        QCOMPARE(comparedRoot(CatalogRows::fromPaths(paths, sources), QStringLiteral("USB1"), registered, walked,
                              QStringLiteral("/new")),
                 root);
    }

    // Where a rescan walks: the folder given, else the medium's current
    // root; what it compares with: the register's root, else the folder.
    void plans_data()
    {
        QTest::addColumn<QString>("record"); // "": none; else its root, or "bad page"
        QTest::addColumn<bool>("online");
        QTest::addColumn<QString>("given");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("scannedFrom");
        QTest::addColumn<QString>("walk");
        using R = RescanService::Refusal;
        QTest::newRow("folder, no record") << "" << false << "/mnt/x" << int(R::None) << "/mnt/x" << "/mnt/x";
        QTest::newRow("folder, record") << "/media/cd" << false << "/mnt/x" << int(R::None) << "/media/cd" << "/mnt/x";
        QTest::newRow("folder, record without root") << "-" << false << "/mnt/x" << int(R::None) << "/mnt/x" << "/mnt/x";
        QTest::newRow("online") << "/media/cd" << true << "" << int(R::None) << "/media/cd" << "/run/cd";
        QTest::newRow("offline") << "/media/cd" << false << "" << int(R::Offline) << "" << "";
        QTest::newRow("not registered") << "" << true << "" << int(R::NotRegistered) << "" << "";
        QTest::newRow("unknown code page") << "bad page" << true << "/mnt/x" << int(R::UnknownReading) << "" << "";
    }
    void plans()
    {
        QFETCH(QString, record);
        QFETCH(bool, online);
        QFETCH(QString, given);
        QFETCH(int, refusal);
        QFETCH(QString, scannedFrom);
        QFETCH(QString, walk);
        MediaRegister media;
        if (!record.isEmpty()) {
            MediaRecord &known = media.recordFor(QStringLiteral("CD01"));
            known.root = record.startsWith(u'/') ? record : QString();
            if (record == QLatin1String("bad page"))
                known.codepage = QStringLiteral("no-such-page");
        }
        const MediumState state{online, QStringLiteral("/run"), QStringLiteral("/run/cd")};
        const RescanService::Planned planned =
            RescanService::plan(media, record.isEmpty() ? nullptr : &state, QStringLiteral("CD01"), given);
        QCOMPARE(int(planned.refusal), refusal);
        QCOMPARE(planned.reason.isEmpty(), refusal != int(RescanService::Refusal::UnknownReading));
        QCOMPARE(planned.plan.scannedFrom, scannedFrom);
        QCOMPARE(planned.plan.walk, walk);
    }

    // A file the system cannot open or read (a scratched disc, which root
    // does not get past either) is left out of the scan with the reason,
    // and its entry is not seen: it stays as it is, named in the summary.
    void unreadableFileIsNotSeen_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<bool>("folderGone");
        QTest::addColumn<QString>("notSeen");
        const QString b = QStringLiteral("4 unchanged, 1 not seen (unreadable: b.mp3: Input/output error)");
        QTest::newRow("open fails") << "open" << QStringList{"b"} << false << b;
        QTest::newRow("read fails") << "read" << QStringList{"b"} << false << b;
        QTest::newRow("beside a folder not read")
            << "read" << QStringList{"b"} << true
            << "3 unchanged, 2 not seen (1 in folders that could not be read, kept as they are; 1 unreadable: b.mp3: "
               "Input/output error)";
        QTest::newRow("the first few named")
            << "open" << QStringList{"a", "b", "D/f", "e"} << false
            << "1 unchanged, 4 not seen (unreadable: a.mp3: Input/output error, b.mp3: Input/output error, e.mp3: "
               "Input/output error and 1 more)";
    }
    void unreadableFileIsNotSeen()
    {
        QFETCH(QString, step);
        QFETCH(QStringList, failing);
        QFETCH(bool, folderGone);
        QFETCH(QString, notSeen);
        QTemporaryDir dir;
        const QString root = dir.path();
        for (const char *name : {"a", "b", "c", "e", "D/f"})
            QVERIFY(writeTrack(root + u'/' + QLatin1String(name) + QStringLiteral(".mp3"), name));
        CatalogueModel model;
        model.appendRows(scanMedia(root, QStringLiteral("CD03")).rows);
        const QStringList titles = column(model, FieldTrack);

        for (QString &name : failing)
            name = root + u'/' + name + QStringLiteral(".mp3");
        const SafeFileRead::ReadSystemCalls calls = failingReads(failing, step, EIO);
        ScanCallbacks vanish;
        vanish.folderEntered = [&](const QString &folder, qsizetype) {
            if (folderGone && folder == root + QStringLiteral("/D"))
                QDir(folder).removeRecursively();
        };
        const RescanService::Found found = rescanOf(model, QStringLiteral("CD03"), root, vanish, {}, &calls);
        const ScanOutcome &again = found.outcome;
        QCOMPARE(again.skipped.size(), failing.size());
        for (const SkippedFile &file : again.skipped) {
            QVERIFY2(failing.contains(file.path) && file.kind == SkippedFile::Unreadable, qPrintable(file.path));
            QCOMPARE(file.reason, QStringLiteral("Input/output error"));
        }
        QCOMPARE(rescanSummary(QStringLiteral("CD03"), found.diff),
                 QStringLiteral("Rescan CD03: 0 added, 0 removed, 0 changed, 0 moved, ") + notSeen + u'.');
        QVERIFY(!found.changes);
        QCOMPARE(found.totals.files, 5); // the entries not seen stay
        model.apply(RescanService::edits(model.rows(), found));
        QCOMPARE(column(model, FieldTrack), titles);
    }

    // A rescan writes the facts it measures into an entry's line 10 and
    // keeps every other key where it was, and a later version's line whole.
    void measuredFactsOnly_data()
    {
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<QByteArray>("measured");
        QTest::addColumn<QByteArray>("after");
        const QByteArray facts = "ondro:1 size=4 mtime=7";
        const QByteArray extra = "ondro:1 size=4 myrating=5 mtime=7 lovedby=ann";
        QTest::newRow("other keys stay in place") << extra << facts << extra;
        QTest::newRow("facts change around them") << QByteArray("ondro:1 size=4 myrating=5 mtime=7 kbps=128 lovedby=ann")
                                                  << QByteArray("ondro:1 size=4 mtime=7 dur=0.3")
                                                  << QByteArray("ondro:1 size=4 myrating=5 mtime=7 lovedby=ann dur=0.3");
        QTest::newRow("a later version stays whole") << QByteArray("ondro:2 future=yes") << facts
                                                     << QByteArray("ondro:2 future=yes");
        QTest::newRow("a fact written twice keeps its first place")
            << QByteArray("ondro:1 mtime=7 x=1 mtime=7") << facts << QByteArray("ondro:1 mtime=7 x=1 size=4");
        QTest::newRow("a line of no version takes the facts") << QByteArray("x=1") << facts << facts;
        QTest::newRow("the picture found is measured") << QByteArray("ondro:1 size=4 art=folder x=1")
                                                       << QByteArray("ondro:1 size=4 art=embedded")
                                                       << QByteArray("ondro:1 size=4 art=embedded x=1");
        QTest::newRow("a picture gone goes") << QByteArray("ondro:1 size=4 art=folder x=1") << QByteArray("ondro:1 size=4")
                                             << QByteArray("ondro:1 size=4 x=1");
    }
    void measuredFactsOnly()
    {
        QFETCH(QByteArray, kept);
        QFETCH(QByteArray, measured);
        QFETCH(QByteArray, after);
        const QString root = QStringLiteral("/media/cd");
        RowStore catalogue = CatalogRows::fromPaths({root + QStringLiteral("/a.mp3")});
        catalogue.setExtension(0, kept);
        RowStore scanned = CatalogRows::fromPaths({root + QStringLiteral("/a.mp3")});
        scanned.setExtension(0, measured);
        const RescanDiff diff = diffRescan(catalogue, QStringLiteral("CD01"), root, scanned, root, {}, {});
        QCOMPARE(diff.count(RescanDiff::Kind::Kept), 1);
        QCOMPARE(diff.changesCatalogue(catalogue, scanned), after != kept);
        rescanEdits(catalogue, diff, scanned).applyTo(catalogue);
        QCOMPARE(catalogue.extensionUtf8(0), after);
    }

    // Names from old media in another character set: stored decoded in the
    // medium's code page, opened, listed and rescanned by their exact
    // bytes, also when the rescan decodes them in another code page.
    void namesNotUtf8_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("codepage");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("rescanPage");
        QTest::addColumn<QString>("rescanned"); // the summary's end; a "not seen" file fails its reads
        const QString same = QStringLiteral("2 unchanged");
        const QString cafe = QStringLiteral("Caf\u00e9 Noir - Cr\u00e8me.mp3");
        QTest::newRow("Latin-1 under auto") << QByteArray("Caf\xe9 Noir - Cr\xe8me.mp3") << "auto" << cafe << "auto"
                                            << same;
        QTest::newRow("Windows-1251") << QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2.mp3") << "windows-1251"
                                      << QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442.mp3") << "auto" << same;
        QTest::newRow("Shift-JIS") << QByteArray("\x83\x65\x83\x58\x83\x67.mp3") << "shift_jis"
                                   << QStringLiteral("\u30c6\u30b9\u30c8.mp3") << "shift_jis" << same;
        QTest::newRow("unreadable at the rescan")
            << QByteArray("Caf\xe9 Noir - Cr\xe8me.mp3") << "auto" << cafe << "auto"
            << "1 unchanged, 1 not seen (unreadable: A/" + cafe + ": Input/output error)";
    }

    void namesNotUtf8()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, codepage);
        QFETCH(QString, stored);
        QFETCH(QString, rescanPage);
        QFETCH(QString, rescanned);
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(writeTrack(root + QStringLiteral("/A/0plain.mp3"), "plain"));
        const QByteArray exact = QFile::encodeName(root) + "/A/" + name;
        const QByteArray content = QByteArray("\xFF\xFB\x90\x64", 4) + audioBytes(4000, 7) + id3v1Tag("odd", "Band");
        const ExactFile odd(exact, content);
        QVERIFY(odd.written);

        CatalogueModel model;
        ScanOutcome scanned = scanMedia(root, QStringLiteral("CD02"), {}, nullptr, 1, TagReading{codepage});
        QCOMPARE(scanned.skipped.size(), 0);
        model.appendRows(std::move(scanned.rows));
        QCOMPARE(column(model, FieldFilename, root), (QStringList{"/A/0plain.mp3", "/A/" + stored}));
        QCOMPARE(column(model, FieldTrack), (QStringList{"plain", "odd"}));
        const QByteArrayView line = model.rows().extensionUtf8(1);
        QVERIFY2(line.isValidUtf8() && line.contains(" raw="), line.data()); // escaped, the record stays UTF-8
        QCOMPARE(EntryPath::rawName(line), name);
        QVERIFY(EntryPath::rawName(model.rows().extensionUtf8(0)).isEmpty());
        const QByteArray opened = EntryPath::openPath(model.field(1, FieldFilename), line);
        QCOMPARE(opened, exact);
        QCOMPARE(EntryPath::fromOpenable(EntryPath::openable(opened)), exact);
        QFile file;
        const int readable = ::open(opened.constData(), O_RDONLY);
        QVERIFY(readable >= 0 && file.open(readable, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(file.readAll(), content);

        QByteArray m3u8;
        EntryFormat::Writer writer(EntryFormat::Format::M3u8, [&m3u8](QByteArrayView block) {
            m3u8 += block;
            return true;
        });
        for (qsizetype row = 0; row < model.size(); ++row)
            QVERIFY(writer.add(EntryView::of(model.rows(), row)));
        QVERIFY(writer.finish());
        QVERIFY2(m3u8.contains("\n" + exact + "\n"), m3u8.constData());

        const SafeFileRead::ReadSystemCalls calls =
            failingReads(rescanned.contains(u"not seen") ? QByteArrayList{exact} : QByteArrayList(), QStringLiteral("read"), EIO);
        const RescanService::Found found =
            rescanOf(model, QStringLiteral("CD02"), root, {}, TagReading{rescanPage}, &calls);
        QCOMPARE(rescanSummary(QStringLiteral("CD02"), found.diff),
                 "Rescan CD02: 0 added, 0 removed, 0 changed, 0 moved, " + rescanned + u'.');
        model.apply(RescanService::edits(model.rows(), found));
        QCOMPARE(model.size(), 2);
        QCOMPARE(EntryPath::openPath(model.field(1, FieldFilename), model.rows().extensionUtf8(1)), exact);
    }
};

QTEST_GUILESS_MAIN(TestRescan)
#include "test_rescan.moc"
