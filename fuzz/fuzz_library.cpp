// The library loader over any bytes saved as a file: it never crashes,
// never writes to the file or beside it, and keeps only library tracks.
#include "export/libraryfile.h"
#include "fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("received.odl"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }

    RowStore rows;
    QString reason;
    if (!LibraryFile::load(path, rows, &reason))
        FUZZ_CHECK(!reason.isEmpty());
    for (qsizetype r = 0; r < rows.size(); ++r)
        FUZZ_CHECK(rows.origin(r) == EntryOrigin::Library);

    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    FUZZ_CHECK(file.readAll() == bytes);
    FUZZ_CHECK(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size() == 1);
    return 0;
}
