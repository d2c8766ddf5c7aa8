#include "catalogrows.h"
#include "media/mediaregister.h"
#include "media/mediastate.h"
#include "catalogue/rowstore.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

MountedVolume volume(const QString &mountPoint, const QString &uuid = {})
{
    MountedVolume mounted;
    mounted.mountPoint = mountPoint;
    mounted.uuid = uuid;
    return mounted;
}

} // namespace

class TestMediaRegister : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every kind of file a register may be: only a readable, well-formed
    // one (or none) may be saved over.
    void readStates_data()
    {
        QTest::addColumn<QByteArray>("content"); // "<fifo>", "<folder>", "<huge>", "<none>" make those
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("records");
        using S = MediaRegister::State;
        QTest::newRow("missing") << QByteArray("<none>") << int(S::Missing) << 0;
        QTest::newRow("empty object") << QByteArray("{}") << int(S::Read) << 0;
        QTest::newRow("two media") << QByteArray(R"({"CD02":{"source":"CD02","files":3},"HD01":{}})") << int(S::Read) << 2;
        QTest::newRow("not JSON") << QByteArray("{\"CD02\": {") << int(S::Damaged) << 0;
        QTest::newRow("an array") << QByteArray("[]") << int(S::Damaged) << 0;
        QTest::newRow("medium not object") << QByteArray(R"({"CD02":3})") << int(S::Damaged) << 0;
        QTest::newRow("count is text") << QByteArray(R"({"CD02":{"files":"3"}})") << int(S::Damaged) << 0;
        QTest::newRow("negative count") << QByteArray(R"({"CD02":{"bytes":-1}})") << int(S::Damaged) << 0;
        QTest::newRow("source differs from key") << QByteArray(R"({"CD02":{"source":"CD03"}})") << int(S::Damaged) << 0;
        QTest::newRow("bad time") << QByteArray(R"({"CD02":{"scanned":"yesterday"}})") << int(S::Damaged) << 0;
        QTest::newRow("key twice") << QByteArray(R"({"CD02":{"note":"a","note":"b"}})") << int(S::Damaged) << 0;
        QTest::newRow("medium twice") << QByteArray(R"({"CD02":{},"CD\u0030\u0032":{}})") << int(S::Damaged) << 0;
        QTest::newRow("named pipe") << QByteArray("<fifo>") << int(S::Unreadable) << 0;
        QTest::newRow("folder") << QByteArray("<folder>") << int(S::Unreadable) << 0;
        QTest::newRow("huge") << QByteArray("<huge>") << int(S::Unreadable) << 0;
    }
    void readStates()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, state);
        QFETCH(int, records);
        QTemporaryDir dir;
        const QString path = MediaRegister::fileIn(dir.path());
        if (content == "<fifo>")
            QVERIFY(makeFifo(path));
        else if (content == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else if (content == "<huge>")
            QVERIFY(makeSparseFile(path, MediaRegister::MaxFileBytes + 1));
        else if (content != "<none>")
            QVERIFY(writeBytes(path, content));
        MediaRegister media;
        const MediaRegister::ReadResult read = media.read(path);
        QCOMPARE(int(read.state), state);
        QCOMPARE(media.records().size(), records);
        QCOMPARE(read.usable(), state == int(MediaRegister::State::Missing) || state == int(MediaRegister::State::Read));
        QCOMPARE(read.reason.isEmpty(), read.usable());
    }

    // What another version wrote is written back; what this one knows
    // comes back equal.
    void roundTripKeepsUnknownKeys()
    {
        MediaRegister media;
        QVERIFY(media.parse(R"({"CD02":{"note":"Shelf B, box 3","future":{"x":[1,2]}},"HD01":{"root":"/m"}})"));
        MediaRecord &cd = media.recordFor(QStringLiteral("CD02"));
        cd.scanned = QDateTime(QDate(2026, 12, 8), QTime(17, 0), Qt::UTC);
        cd.files = 812;
        QTemporaryDir dir;
        const QString path = MediaRegister::fileIn(dir.path() + QStringLiteral("/new"));
        QVERIFY(media.save(path));
        MediaRegister again;
        QCOMPARE(int(again.read(path).state), int(MediaRegister::State::Read));
        QCOMPARE(again.records(), media.records());
        QCOMPARE(again.find(QStringLiteral("CD02"))->unknown.value(QStringLiteral("future")).toObject().size(), 1);
        QVERIFY(fileBytes(path).contains("\"scanned\":\"2026-12-08T17:00:00Z\""));
    }

    // Every source ID is found again after a save and a read, whatever
    // planes of Unicode it draws on, and the records keep one order: that
    // of the IDs' UTF-8 bytes.
    void sourceOrder_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("ASCII") << QStringLiteral("CD01");
        QTest::newRow("Latin-1") << QStringLiteral("Caf\u00e9 01");
        QTest::newRow("below U+D800") << QStringLiteral("\u4e2d\u6587 01");
        QTest::newRow("U+E000-U+FFFF") << QStringLiteral("\uff23\uff24\uff10\uff11");
        QTest::newRow("private use") << QStringLiteral("\ue000");
        QTest::newRow("above U+FFFF") << QStringLiteral("\U0001F3B5" "01");
        QTest::newRow("mixed") << QStringLiteral("\uff23\uff24\U0001F3B5\u00e9");
        QTest::newRow("mixed, other way") << QStringLiteral("\U0001F3B5\uff23\uff24");
    }
    void sourceOrder()
    {
        QFETCH(QString, source);
        const QStringList all{"CD01", "Caf\u00e9 01", "\u4e2d\u6587 01", "\uff23\uff24\uff10\uff11", "\ue000",
                              "\U0001F3B5" "01", "\uff23\uff24\U0001F3B5\u00e9", "\U0001F3B5\uff23\uff24"};
        MediaRegister media;
        for (const QString &id : all)
            media.recordFor(id).note = id + QStringLiteral(" note");
        QTemporaryDir dir;
        const QString path = MediaRegister::fileIn(dir.path());
        QVERIFY(media.save(path));
        MediaRegister again;
        QCOMPARE(int(again.read(path).state), int(MediaRegister::State::Read));
        QVERIFY(again.find(source));
        QCOMPARE(again.find(source)->note, source + QStringLiteral(" note"));
        QCOMPARE(&again.recordFor(source), again.find(source));
        QCOMPARE(again.records(), media.records());
        QVERIFY(std::is_sorted(again.records().begin(), again.records().end(),
                               [](const MediaRecord &a, const MediaRecord &b) { return a.source.toUtf8() < b.source.toUtf8(); }));
    }

    // Online, and where a medium is now, from the volumes mounted now.
    void states_data()
    {
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("mountedAt"); // where a volume with uuid "u-1" is mounted; empty: none
        QTest::addColumn<bool>("online");
        QTest::addColumn<QString>("currentPath"); // of /media/stick/Music/a.mp3
        const QString stored = QStringLiteral("/media/stick/Music/a.mp3");
        QTest::newRow("same place") << "u-1" << "/media/stick" << true << stored;
        QTest::newRow("moved mount") << "u-1" << "/run/media/me/STICK" << true << "/run/media/me/STICK/Music/a.mp3";
        QTest::newRow("mounted at /") << "u-1" << "/" << true << "/Music/a.mp3";
        QTest::newRow("not mounted") << "u-1" << "" << false << stored;
        QTest::newRow("other volume") << "u-2" << "/media/stick" << false << stored;
    }
    void states()
    {
        QFETCH(QString, uuid);
        QFETCH(QString, mountedAt);
        QFETCH(bool, online);
        QFETCH(QString, currentPath);
        MediaRegister media;
        MediaRecord &record = media.recordFor(QStringLiteral("USB1"));
        record.uuid = uuid;
        record.root = QStringLiteral("/media/stick/Music");
        record.mountRoot = QStringLiteral("/media/stick");
        QList<MountedVolume> volumes{volume(QStringLiteral("/"), QStringLiteral("root-fs"))};
        if (!mountedAt.isEmpty())
            volumes.append(volume(mountedAt, QStringLiteral("u-1")));
        MediaStates states;
        states.update(media, volumes, {});
        QCOMPARE(states.isOffline(QStringLiteral("USB1")), !online);
        QCOMPARE(states.currentPath(QStringLiteral("/media/stick/Music/a.mp3"), QStringLiteral("USB1")), currentPath);
        QVERIFY(!states.isOffline(QStringLiteral("NOTREGISTERED")));
    }

    // A medium without a UUID (a network share, a folder) is online when its
    // root is there and holds one of its files.
    void stateWithoutUuid()
    {
        QTemporaryDir dir;
        MediaRecord record;
        record.root = dir.path();
        const QString present = dir.filePath(QStringLiteral("a.mp3"));
        QVERIFY(writeBytes(present, "x"));
        const QString absent = dir.filePath(QStringLiteral("b.mp3"));
        QVERIFY(MediaStates::stateOf(record, {}, {absent, present}).online);
        QVERIFY(!MediaStates::stateOf(record, {}, {absent}).online);
        record.root = dir.filePath(QStringLiteral("gone"));
        QVERIFY(!MediaStates::stateOf(record, {}, {present}).online);
    }

    // The samples of a medium are its first three entries, the same from
    // rows as from records streamed; rows give none to a medium with a
    // UUID, whose volume tells.
    void samples()
    {
        MediaRegister media;
        media.recordFor(QStringLiteral("NET1"));
        media.recordFor(QStringLiteral("USB1")).uuid = QStringLiteral("u-1");
        const RowStore rows = CatalogRows::fromPaths({"/n/1.mp3", "/u/1.mp3", "/n/2.mp3", "/n/3.mp3", "/n/4.mp3"},
                                                     {"NET1", "USB1", "NET1", "NET1", "NET1"});
        const QStringList firstThree{"/n/1.mp3", "/n/2.mp3", "/n/3.mp3"};
        const MediumSamples fromRows = MediumSamples::of(media, rows);
        QCOMPARE(fromRows.paths(QStringLiteral("NET1")), firstThree);
        QVERIFY(fromRows.paths(QStringLiteral("USB1")).isEmpty());
        MediumSamples streamed;
        for (qsizetype row = 0; row < rows.size(); ++row) {
            std::array<QByteArrayView, TrackFieldCount> fields;
            for (int f = 0; f < TrackFieldCount; ++f)
                fields[size_t(f)] = rows.fieldUtf8(row, f);
            streamed.record(fields, rows.extensionUtf8(row));
        }
        QCOMPARE(streamed.paths(QStringLiteral("NET1")), firstThree);
        QCOMPARE(streamed.paths(QStringLiteral("USB1")), QStringList{"/u/1.mp3"});
    }

    // A medium's totals take sizes and playing times from the entries'
    // facts; an entry without them is measured on disk, or not at all; a
    // library's entries are no medium's. Every medium at once agrees.
    void totalsFromFacts()
    {
        QTemporaryDir dir;
        const QString onDisk = dir.filePath(QStringLiteral("a.mp3"));
        QVERIFY(writeBytes(onDisk, "12345"));
        RowStore rows;
        const auto add = [&rows](const QString &path, const QString &source, QByteArrayView facts,
                                 EntryOrigin origin = EntryOrigin::Own) {
            TrackRecord record;
            record.filename = path;
            record.source = source;
            rows.append(record, origin, facts);
        };
        add(QStringLiteral("/gone/b.mp3"), QStringLiteral("CD1"), "ondro:1 size=1000 dur=60.4");
        add(QStringLiteral("/gone/c.mp3"), QStringLiteral("CD1"), "ondro:1 size=24 dur=30.2");
        add(onDisk, QStringLiteral("CD1"), "Comment");
        add(onDisk, QStringLiteral("CD2"), "ondro:1 size=7 dur=9.0");
        add(QStringLiteral("/lib/d.mp3"), QStringLiteral("CD1"), "ondro:1 size=500 dur=50", EntryOrigin::Library);
        add(QStringLiteral("/lib/e.mp3"), QStringLiteral("LIB"), "ondro:1 size=500 dur=50", EntryOrigin::Library);
        const MediumTotals totals = mediumTotals(rows, QStringLiteral("CD1"));
        QCOMPARE(totals.files, 3);
        QCOMPARE(totals.bytes, 1000 + 24 + 5);
        QCOMPARE(totals.seconds, 91); // 90.6 rounded
        const TotalsBySource all = mediaTotals(rows);
        QCOMPARE(all.size(), size_t(2));
        QCOMPARE(all.at(QStringLiteral("CD1")).bytes, totals.bytes);
        QCOMPARE(all.at(QStringLiteral("CD1")).seconds, totals.seconds);
        QCOMPARE(ownSources(rows), QSet<QByteArray>({"CD1", "CD2"}));
    }

    // The medium a scan would add again: another ID whose root (as mounted
    // now) is the folder, or an ID differing only in case or blanks. Media
    // without entries go unless the user set their note or code page.
    void sameMediumAndUnused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("found");
        QTest::newRow("own ID") << "HD03" << "/mnt/hd/music" << "";
        QTest::newRow("root as mounted now") << "DVD9" << "/media/new/music/" << "HD03";
        QTest::newRow("root as scanned, moved since") << "DVD9" << "/mnt/hd/music" << "";
        QTest::newRow("case") << "hd03" << "/elsewhere" << "HD03";
        QTest::newRow("blanks") << " HD03 " << "/elsewhere" << "HD03";
        QTest::newRow("other folder and ID") << "HD04" << "/mnt/hd/other" << "";
    }
    void sameMediumAndUnused()
    {
        QFETCH(QString, source);
        QFETCH(QString, root);
        QFETCH(QString, found);
        MediaRegister media;
        QVERIFY(media.parse(R"({"HD03":{"root":"/mnt/hd/music","mountRoot":"/mnt/hd","uuid":"u1"},)"
                            R"("N":{"note":"shelf"},"C":{"codepage":"cp1250"},"E":{}})"));
        MediaStates states;
        states.update(media, {volume(QStringLiteral("/media/new"), QStringLiteral("u1"))}, {});
        const MediaRecord *same = sameMedium(media, states, source, root);
        QCOMPARE(same ? same->source : QString(), found);

        QVERIFY(media.dropUnused([](const QString &) { return false; }));
        QStringList kept;
        for (const MediaRecord &record : media.records())
            kept << record.source;
        QCOMPARE(kept, QStringList({"C", "N"}));
        QVERIFY(!media.dropUnused([](const QString &) { return true; }));
    }

    void holdingVolume()
    {
        const QList<MountedVolume> volumes{volume(QStringLiteral("/")),
                                           volume(QStringLiteral("/media/a")),
                                           volume(QStringLiteral("/media/ab"))};
        QCOMPARE(Volumes::holding(volumes, QStringLiteral("/media/ab/x"))->mountPoint, QStringLiteral("/media/ab"));
        QCOMPARE(Volumes::holding(volumes, QStringLiteral("/media/a"))->mountPoint, QStringLiteral("/media/a"));
        QCOMPARE(Volumes::holding(volumes, QStringLiteral("/media/abc"))->mountPoint, QStringLiteral("/"));
        QVERIFY(!Volumes::holding({}, QStringLiteral("/x")));
    }
};

QTEST_GUILESS_MAIN(TestMediaRegister)
#include "test_mediaregister.moc"
