// The catalogue list file reader; whatever it keeps must be written back
// and read again unchanged.
#include "fuzzcheck.h"
#include "store/cataloguelistfile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace CatalogueListFile;
    const ReadResult read = parse(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    FUZZ_CHECK(read.state == ReadState::Whole || read.state == ReadState::Damaged);
    FUZZ_CHECK(read.state == ReadState::Whole || !read.reason.isEmpty());

    QByteArray saved;
    QBuffer buffer(&saved);
    buffer.open(QIODevice::WriteOnly);
    FUZZ_CHECK(write(buffer, read.rows));
    const ReadResult again = parse(saved);
    FUZZ_CHECK(again.state == ReadState::Whole);
    FUZZ_CHECK(again.rows.size() == read.rows.size());
    for (qsizetype r = 0; r < read.rows.size(); ++r) {
        for (int f = 0; f < TrackFieldCount; ++f)
            FUZZ_CHECK(again.rows.fieldUtf8(r, f) == read.rows.fieldUtf8(r, f));
    }
    return 0;
}
