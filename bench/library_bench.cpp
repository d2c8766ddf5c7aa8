// Library benchmark on a catalogue of 1,000,000 scanned entries, each
// figure next to a reference measured in the same run and its goal:
// - ondro-cli library create against the sqlite3 program importing the
//   same rows in one transaction (time within 1.5x; peak at most 64 MiB);
// - the peaks of ondro-cli find (no match) and library show against list
//   streaming the same catalogue (at most 64 MiB);
// - the desktop's database export from a model of the catalogue, its peak
//   growth against the list file's size (at most 1.25x), the load into the
//   model alone as the reference;
// - loading the library back (under 3 s, no more memory per entry than
//   the list file's reader).
// Every peak is the kernel's high-water mark of a process of its own.
#include "catalogrows.h"
#include "measuredrun.h"
#include "export/exportflow.h"
#include "export/libraryfile.h"
#include "processmemory.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace MeasuredRun;

constexpr qsizetype Count = 1000000;
constexpr int Rounds = 3;
const char *const Sqlite = "/usr/bin/sqlite3";

// The rows as a CSV file the sqlite3 program imports: every field quoted,
// the cover image left out as a library leaves it.
bool writeCsv(const QString &path, const RowStore &rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray line;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        line.clear();
        for (int f = 0; f < TrackFieldCount; ++f) {
            const QByteArrayView value = f == FieldCoverImage ? QByteArrayView() : rows.fieldUtf8(row, f);
            line += '"' + value.toByteArray().replace('"', "\"\"") + '"' + (f + 1 < TrackFieldCount ? ',' : '\n');
        }
        if (file.write(line) != line.size())
            return false;
    }
    return true;
}

// In a process of its own: "model" loads the list file into the desktop's
// model, "desktop" then writes the database export from it as the desktop
// does. Prints seconds of the export, peak KiB and resident KiB before.
int child(const QString &mode, const QString &list, const QString &target)
{
    const qint64 before = ProcessMemory::statusKib("VmRSS");
    CatalogueModel model;
    model.appendRows(CatalogueListFile::read(list).rows);
    QElapsedTimer timer;
    timer.start();
    bool ok = model.rowCount() == Count;
    if (mode == QLatin1String("desktop"))
        ok = ok && ExportFlow::write(ExportFlow::Kind::Database, model.rows(), target);
    std::printf("%.6f %lld %lld\n", timer.nsecsElapsed() / 1e9, ProcessMemory::statusKib("VmHWM"), before);
    return ok ? 0 : 1;
}

// The peak growth of a child run, in bytes (-1 when it failed), and the
// export's seconds.
std::pair<double, double> childPeak(const QString &mode, const QString &list, const QString &target)
{
    QTemporaryDir out;
    const QString figures = out.filePath(QStringLiteral("figures"));
    const Measured run = measure(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("--child"), mode, list, target}, {}, figures);
    QFile file(figures);
    const QList<QByteArray> parts =
        file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split(' ') : QList<QByteArray>();
    if (run.status != 0 || parts.size() != 3)
        return {-1, 0};
    return {(parts[1].toDouble() - parts[2].toDouble()) * 1024.0, parts[0].toDouble()};
}

bool lineOk(const char *what, double figure, const char *unit, const char *reference, double referenceFigure,
            const char *goal, bool met)
{
    std::printf("  %-36s %8.2f %-3s | %-34s %8.2f | goal %-22s %s\n", what, figure, unit, reference,
                referenceFigure, goal, met ? "met" : "NOT MET");
    return met;
}

struct Setup
{
    QString data;    // holds zembra.lst
    QString list;    // the list file
    QString csv;     // the same rows for sqlite3
    QString script;  // sqlite3's commands
    QString cli;     // ondro-cli
    qint64 listBytes = 0;
};

bool prepare(const QString &folder, Setup &setup)
{
    setup.data = folder + QStringLiteral("/data");
    setup.list = setup.data + QStringLiteral("/zembra.lst");
    setup.csv = folder + QStringLiteral("/rows.csv");
    setup.script = folder + QStringLiteral("/import.sql");
    setup.cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/ondro-cli");
    if (!QFileInfo(setup.cli).isExecutable() || !QFileInfo(QString::fromLatin1(Sqlite)).isExecutable()) {
        std::printf("ondro-cli (%s) or %s is missing\n", qPrintable(setup.cli), Sqlite);
        return false;
    }
    {
        const RowStore rows = CatalogRows::scanned(Count);
        if (!CatalogueListFile::save(setup.list, rows) || !writeCsv(setup.csv, rows))
            return false;
    }
    setup.listBytes = QFileInfo(setup.list).size();
    QFile script(setup.script);
    return script.open(QIODevice::WriteOnly) &&
           script.write("CREATE TABLE tbl_MP3s (filename TEXT, source TEXT, artist TEXT, track TEXT, album TEXT, "
                        "year TEXT, genre TEXT, coverimage TEXT, audioheader TEXT);\n.import --csv " +
                        QFile::encodeName(setup.csv) + " tbl_MP3s\n") > 0;
}

// library create and the sqlite3 import, alternated; the last library is
// kept at library.
bool benchCreate(const Setup &setup, const QString &folder, const QString &library)
{
    std::vector<double> create, import, createPeak, importPeak;
    bool ran = true;
    for (int round = 0; round < Rounds; ++round) {
        QFile::remove(library);
        const QString reference = folder + QStringLiteral("/reference.db");
        QFile::remove(reference);
        const Measured ours = measure(setup.cli, {QStringLiteral("--data-dir"), setup.data, QStringLiteral("library"),
                                                  QStringLiteral("create"), library});
        const Measured theirs = measure(QString::fromLatin1(Sqlite), {reference}, setup.script);
        ran = ran && ours.status == 0 && theirs.status == 0;
        create.push_back(ours.seconds);
        createPeak.push_back(ours.peakMiB);
        import.push_back(theirs.seconds);
        importPeak.push_back(theirs.peakMiB);
    }
    if (!ran)
        std::printf("  a run of library create or of sqlite3 failed\n");
    const double ratio = median(create) / median(import);
    bool met = lineOk("library create (median)", median(create), "s", "sqlite3 import, one transaction",
                      median(import), "<= 1.5x the import", ratio <= 1.5);
    std::printf("  %-36s %8.2f x\n", "  its time / the import's", ratio);
    met = lineOk("  its peak (median)", median(createPeak), "MiB", "sqlite3 import's peak", median(importPeak),
                 "<= 64 MiB", median(createPeak) <= 64) && met;
    return ran && met;
}

// The peaks of the read-only commands against list's.
bool benchReads(const Setup &setup, const QString &library)
{
    const QStringList dataDir{QStringLiteral("--data-dir"), setup.data};
    std::vector<double> list, find, show;
    for (int round = 0; round < Rounds; ++round) {
        list.push_back(measure(setup.cli, dataDir + QStringList{QStringLiteral("list")}).peakMiB);
        const Measured found =
            measure(setup.cli, dataDir + QStringList{QStringLiteral("find"), QStringLiteral("no such text ZZZ")});
        find.push_back(found.status == 1 ? found.peakMiB : 1e9);
        const Measured shown =
            measure(setup.cli, dataDir + QStringList{QStringLiteral("library"), QStringLiteral("show"), library});
        show.push_back(shown.status == 0 ? shown.peakMiB : 1e9);
    }
    bool met = lineOk("find, no match: peak (median)", median(find), "MiB", "list's peak", median(list),
                      "<= 64 MiB", median(find) <= 64);
    met = lineOk("library show: peak (median)", median(show), "MiB", "list's peak", median(list), "<= 64 MiB",
                 median(show) <= 64) && met;
    return met;
}

// The desktop's database export from a model of the catalogue.
bool benchDesktop(const Setup &setup, const QString &folder)
{
    std::vector<double> exportPeak, modelPeak, seconds;
    const QString target = folder + QStringLiteral("/ondro2000.mdb");
    for (int round = 0; round < Rounds; ++round) {
        QFile::remove(target);
        const auto [peak, took] = childPeak(QStringLiteral("desktop"), setup.list, target);
        exportPeak.push_back(peak >= 0 ? peak / double(setup.listBytes) : 1e9);
        seconds.push_back(took);
        modelPeak.push_back(childPeak(QStringLiteral("model"), setup.list, target).first / double(setup.listBytes));
    }
    std::printf("  %-36s %8.2f s\n", "desktop database export (median)", median(seconds));
    return lineOk("  peak growth / list file (median)", median(exportPeak), "x", "the model's load alone / file",
                  median(modelPeak), "<= 1.25x", median(exportPeak) <= 1.25);
}

// Loading the library back, against the list file's reader.
bool benchLoad(const Setup &setup, const QString &library)
{
    RowStore loaded;
    QElapsedTimer timer;
    timer.start();
    const bool whole = LibraryFile::load(library, loaded);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const RowStore read = CatalogueListFile::read(setup.list).rows;
    const double perEntry = double(loaded.bytesHeld()) / double(std::max<qsizetype>(loaded.size(), 1));
    const double listPerEntry = double(read.bytesHeld()) / double(read.size());
    bool met = lineOk("library load", seconds, "s", "(no reference)", 0, "< 3 s",
                      whole && loaded.size() == Count && seconds < 3);
    met = lineOk("  bytes held per loaded entry", perEntry, "B", "the list file's reader", listPerEntry,
                 "<= the reader's", perEntry <= listPerEntry * 1.01) && met;
    return met;
}

} // namespace

int main(int argc, char **argv)
{
    if (MeasuredRun::isChild(argc, argv))
        return MeasuredRun::child(argc, argv);
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArrayView(argv[1]) == "--child")
        return child(QString::fromLocal8Bit(argv[2]), QFile::decodeName(argv[3]), QFile::decodeName(argv[4]));
    QTemporaryDir dir;
    Setup setup;
    if (!prepare(dir.path(), setup))
        return 1;
    const QString library = dir.filePath(QStringLiteral("bench.odl"));
    std::printf("library of %lld own tracks from a list file of %.1f MiB; medians of %d alternated runs\n",
                qlonglong(Count), double(setup.listBytes) / MiB, Rounds);
    bool ok = benchCreate(setup, dir.path(), library);
    std::printf("  the library file: %.1f MiB\n", double(QFileInfo(library).size()) / MiB);
    ok = benchReads(setup, library) && ok;
    ok = benchDesktop(setup, dir.path()) && ok;
    ok = benchLoad(setup, library) && ok;
    std::printf("  %s\n", ok ? "every goal met" : "A GOAL IS NOT MET");
    return ok ? 0 : 1;
}
