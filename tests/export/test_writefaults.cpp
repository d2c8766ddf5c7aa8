// Every writer of exports, libraries, the playlist and the burn copies,
// failed at each step of its write (open, a write, sync, rename) and on a
// file system that is really full: each reports the system's reason and
// keeps the old file, or leaves no file where there was none.
#include "browse/burnplan.h"
#include "browse/burnpreparation.h"
#include "browse/playlist.h"
#include "catalogrows.h"
#include "export/exportflow.h"
#include "export/coverpage.h"
#include "export/libraryfile.h"
#include "export/textexport.h"
#include "export/tunepostexport.h"
#include "faultcalls.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

enum class Writer { DatabaseExport, LibraryCreation, CoverPage, TextExport, UploadLists, Playlist, BurnCopy };

struct Attempt
{
    bool ok = false;
    QString error;
    QString message; // what the user is shown
};

const QByteArray OldBytes = "the earlier file\r\n";

// Rows whose every export is well over 64 KiB.
const RowStore &manyRows()
{
    static const RowStore rows = [] {
        QStringList paths;
        for (int i = 0; i < 6000; ++i)
            paths << QStringLiteral("/media/cd/Artist %1/Album/Track %2 of the collection.mp3").arg(i % 97).arg(i);
        return CatalogRows::fromPaths(paths);
    }();
    return rows;
}

// Where a writer writes in folder; the burn copy's source lies in source.
QString targetOf(Writer writer, const QString &folder)
{
    switch (writer) {
    case Writer::DatabaseExport: return ExportFlow::targetIn(ExportFlow::Kind::Database, folder);
    case Writer::LibraryCreation: return folder + QStringLiteral("/mine.odl");
    case Writer::CoverPage: return ExportFlow::targetIn(ExportFlow::Kind::Covers, folder);
    case Writer::TextExport: return ExportFlow::targetIn(ExportFlow::Kind::Text, folder);
    case Writer::UploadLists: return folder + QLatin1Char('/') + TunepostExport::fileName(1);
    case Writer::Playlist: return folder + QStringLiteral("/ondrotemp.m3u");
    case Writer::BurnCopy: return folder + QStringLiteral("/song.mp3");
    }
    return {};
}

// Database files are never written over, so they have no earlier file.
bool replaces(Writer writer)
{
    return writer != Writer::DatabaseExport && writer != Writer::LibraryCreation;
}

Attempt run(Writer writer, const QString &folder, const QString &source, const SaveSystemCalls &calls)
{
    const QString target = targetOf(writer, folder);
    const RowStore &rows = manyRows();
    const auto saved = [&](const SaveResult &r) { return Attempt{r.ok, r.error, saveFailureMessage(target, r)}; };
    switch (writer) {
    case Writer::DatabaseExport:
    case Writer::LibraryCreation: {
        const auto content =
            writer == Writer::DatabaseExport ? LibraryFile::Content::Database : LibraryFile::Content::Library;
        const SaveResult r = LibraryFile::write(target, rows, content, {}, calls);
        return {r.ok, r.error, LibraryFile::failureMessage(target, content, r.error)};
    }
    case Writer::CoverPage: return saved(CoverPage::save(target, rows, calls));
    case Writer::TextExport: return saved(TextExport::save(target, rows, {}, calls));
    case Writer::UploadLists: {
        const TunepostExport::Outcome o = TunepostExport::write(folder, rows, {}, calls);
        return {o.ok, o.error, TunepostExport::failureMessage(o)};
    }
    case Writer::Playlist: {
        const SaveResult r = Playlist::write(target, rows, calls);
        return {r.ok, r.error, Playlist::failureMessage(target, r)};
    }
    case Writer::BurnCopy: {
        const BurnPlan::CopyResult r = BurnPlan::copyFile(QFile::encodeName(source), target, calls);
        return {r.ok, r.error, BurnPreparation::copyFailedQuestion({0, source, {}, target}, r.error)};
    }
    }
    return {};
}

void addWriterRows(const char *suffix, const std::function<void(QTestData &)> &more)
{
    const std::pair<Writer, const char *> writers[] = {
        {Writer::DatabaseExport, "database export"}, {Writer::LibraryCreation, "library creation"},
        {Writer::CoverPage, "cover page"},           {Writer::TextExport, "text export"},
        {Writer::UploadLists, "upload-site lists"},  {Writer::Playlist, "playlist"},
        {Writer::BurnCopy, "burn copy"},
    };
    for (const auto &[writer, name] : writers)
        more(QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(name), QLatin1String(suffix))))
             << int(writer));
}

// Prepares folder for a writer; returns the burn copy's source.
QString prepare(Writer writer, const QString &folder, const QString &elsewhere)
{
    if (replaces(writer))
        writeBytes(targetOf(writer, folder), OldBytes);
    const QString source = elsewhere + QStringLiteral("/source.mp3");
    if (writer == Writer::BurnCopy && !QFileInfo::exists(source))
        writeBytes(source, QByteArray(200 * 1024, 'm'));
    return source;
}

void checkKept(Writer writer, const QString &folder, const Attempt &attempt, int error)
{
    QVERIFY2(!attempt.ok, "the write was reported as done");
    QCOMPARE(attempt.error, qt_error_string(error));
    QVERIFY2(attempt.message.contains(attempt.error), qPrintable(attempt.message));
    const QString target = targetOf(writer, folder);
    if (replaces(writer))
        QCOMPARE(fileBytes(target), OldBytes);
    else
        QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(othersIn(folder, {QFileInfo(target).fileName()}), QStringList());
}

} // namespace

class WriteFaultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void faultAtEachStep_data()
    {
        QTest::addColumn<int>("writer");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("error");
        const struct
        {
            const char *name;
            const char *step;
            int count;
            int error;
        } faults[] = {
            {"open refused", "open", 1, EACCES}, {"disk full at the first write", "write", 1, ENOSPC},
            {"quota at the third write", "write", 3, EDQUOT}, {"sync fails", "sync", 1, EIO},
            {"rename fails", "rename", 1, EXDEV},
        };
        for (const auto &fault : faults)
            addWriterRows(fault.name, [&](QTestData &row) {
                row << QString::fromLatin1(fault.step) << fault.count << fault.error;
            });
    }
    void faultAtEachStep()
    {
        QFETCH(int, writer);
        QFETCH(QString, step);
        QFETCH(int, count);
        QFETCH(int, error);
        QTemporaryDir folder, elsewhere;
        const QString source = prepare(Writer(writer), folder.path(), elsewhere.path());
        auto reached = std::make_shared<bool>(false);
        SaveSystemCalls calls = failingCalls(step, count, error, reached);
        if (step != QLatin1String("write")) // short writes, so later writes are reached too
            calls.write = [](int fd, const char *data, qint64 size) -> qint64 {
                return ::write(fd, data, size_t(std::min<qint64>(size, 16384)));
            };
        else
            calls.write = [inner = calls.write](int fd, const char *data, qint64 size) {
                return inner(fd, data, std::min<qint64>(size, 16384));
            };
        const Attempt attempt = run(Writer(writer), folder.path(), source, calls);
        QVERIFY2(*reached, "the writer never made the call that fails");
        checkKept(Writer(writer), folder.path(), attempt, error);
        // The same writer without the fault succeeds afterwards.
        QVERIFY(run(Writer(writer), folder.path(), source, {}).ok);
    }

    // A real save onto a tiny file system that fills up.
    void fullFileSystem_data()
    {
        QTest::addColumn<int>("writer");
        addWriterRows("64 KiB tmpfs", [](QTestData &) {});
    }
    void fullFileSystem()
    {
        QFETCH(int, writer);
        QTemporaryDir mountPoint, elsewhere;
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=64k"), QStringLiteral("tmpfs"), mountPoint.path()});
        if (!mount.waitForFinished(30000) || mount.exitCode() != 0)
            QSKIP(qPrintable(QStringLiteral("a tmpfs cannot be mounted here: %1")
                                 .arg(QString::fromLocal8Bit(mount.readAllStandardError()).trimmed())));
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint.path()}); });
        const QString source = prepare(Writer(writer), mountPoint.path(), elsewhere.path());
        const Attempt attempt = run(Writer(writer), mountPoint.path(), source, {});
        checkKept(Writer(writer), mountPoint.path(), attempt, ENOSPC);
    }
};

ONDRO_TEST_MAIN(WriteFaultsTest)
#include "test_writefaults.moc"
