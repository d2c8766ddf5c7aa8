// The catalogue list file reader; whatever it keeps, extension lines
// included, must be written back
// and read again unchanged, and reading the same bytes from a file in
// small blocks of any size must give the same records.
#include "fuzzcheck.h"
#include "catalogue/cataloguelistfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace {

bool sameRows(const RowStore &a, const RowStore &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype r = 0; r < a.size(); ++r) {
        for (int f = 0; f < TrackFieldCount; ++f) {
            if (a.fieldUtf8(r, f) != b.fieldUtf8(r, f))
                return false;
        }
        if (a.extensionUtf8(r) != b.extensionUtf8(r))
            return false;
    }
    return true;
}

// A plain file to open; its bytes come from the read function instead.
const QString &standInFile()
{
    static const QString path = [] {
        const QString p = QDir::tempPath() + QStringLiteral("/fuzz-cataloguelist-%1").arg(::getpid());
        QFile file(p);
        (void)file.open(QIODevice::WriteOnly);
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace CatalogueListFile;
    const ReadResult read = parse(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    FUZZ_CHECK(read.state == ReadState::Whole || read.state == ReadState::Damaged);
    FUZZ_CHECK(read.state == ReadState::Whole || !read.reason.isEmpty());
    for (qsizetype r = 0; r < read.rows.size(); ++r) {
        const QByteArrayView extension = read.rows.extensionUtf8(r);
        FUZZ_CHECK(extension.isEmpty() || extension.startsWith("ondro:"));
    }

    QByteArray saved;
    QBuffer buffer(&saved);
    buffer.open(QIODevice::WriteOnly);
    FUZZ_CHECK(write(buffer, read.rows));
    const ReadResult again = parse(saved);
    FUZZ_CHECK(again.state == ReadState::Whole);
    FUZZ_CHECK(sameRows(again.rows, read.rows));

    // The bytes handed over a few at a time (the first byte says how
    // many), in blocks of another size: every cut of a line end, a CR LF
    // pair or a UTF-8 sequence is met somewhere.
    if (size > 0) {
        const qint64 chunk = 1 + data[0] % 23;
        SafeFileRead::Options options;
        options.blockBytes = 1 + data[size - 1] % 61;
        size_t at = 0;
        options.read = [&](int, char *into, qint64 wanted) -> qint64 {
            const qint64 n = std::min<qint64>({wanted, chunk, qint64(size - at)});
            std::memcpy(into, data + at, size_t(n));
            at += size_t(n);
            return n;
        };
        const ReadResult streamed = CatalogueListFile::read(standInFile(), options);
        FUZZ_CHECK(streamed.state == read.state);
        FUZZ_CHECK(streamed.records == read.records);
        FUZZ_CHECK(sameRows(streamed.rows, read.rows));
    }
    return 0;
}
