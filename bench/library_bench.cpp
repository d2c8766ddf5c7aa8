// Library benchmark: writes the own tracks of a catalogue of 1,000,000
// generated entries into a new library file and loads it back, and
// compares the memory held per loaded entry with the list file's reader
// holding the same entries. Limits: create under 5 s, load under 3 s, no
// more memory per entry than the list file's reader.
#include "catalogrows.h"
#include "export/libraryfile.h"
#include "store/cataloguelistfile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr qsizetype Count = 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.odl"));
    const RowStore rows = CatalogRows::generated(Count);

    QElapsedTimer clock;
    clock.start();
    const SaveResult written = LibraryFile::write(path, rows, LibraryFile::Content::Library);
    const double createSeconds = clock.nsecsElapsed() / 1e9;
    if (!written) {
        std::printf("library create failed: %s\n", qPrintable(written.error));
        return 1;
    }

    RowStore loaded;
    clock.restart();
    const bool whole = LibraryFile::load(path, loaded);
    const double loadSeconds = clock.nsecsElapsed() / 1e9;

    // The same entries through the list file's reader.
    QBuffer list;
    list.open(QIODevice::WriteOnly);
    CatalogueListFile::write(list, rows);
    const CatalogueListFile::ReadResult read = CatalogueListFile::parse(list.data());

    const double perEntry = double(loaded.bytesHeld()) / double(loaded.size());
    const double listPerEntry = double(read.rows.bytesHeld()) / double(read.rows.size());
    std::printf("library of %lld own tracks: %.2f MB file\n", qlonglong(Count), QFileInfo(path).size() / 1e6);
    std::printf("  create  %6.2f s (limit 5 s)\n", createSeconds);
    std::printf("  load    %6.2f s (limit 3 s), %lld entries, %s\n", loadSeconds, qlonglong(loaded.size()),
                whole ? "whole" : "FAILED");
    std::printf("  memory  %6.1f bytes per loaded entry; list file reader %.1f\n", perEntry, listPerEntry);
    const bool ok = whole && loaded.size() == Count && createSeconds < 5 && loadSeconds < 3 &&
                    perEntry <= listPerEntry * 1.01;
    std::printf("  %s\n", ok ? "within the limits" : "OUT OF THE LIMITS");
    return ok ? 0 : 1;
}
