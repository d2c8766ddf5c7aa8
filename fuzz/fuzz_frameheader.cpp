// The frame-header finder and decoder over a file's first bytes, and the
// decoder over an audioheader text as a list file may hold it.
#include "fuzzcheck.h"
#include "media/frameheader.h"
#include "media/mediafile.h"
#include "mediareads.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString bits = headerBitsOf(bytes);
    FUZZ_CHECK(bits == FrameHeader::NotAvailable || bits.size() == 36);

    // The scan hands over a first block of any length; the answer must not
    // depend on where that block ends.
    const MemorySource source(bytes);
    const qsizetype headSize = size ? qsizetype(data[0]) * qsizetype(size) / 256 : 0;
    FUZZ_CHECK(headerBitsOfFile(source, bytes.first(headSize)) == bits);
    FUZZ_CHECK(headerBitsOfFile(source, {}) == bits);

    const qsizetype found = FrameHeader::findFrameHeader(bytes, headSize);
    FUZZ_CHECK(found == -1 || (found >= headSize && FrameHeader::isFrameHeader(bytes.sliced(found, 4))));

    (void)FrameHeader::describeFrameHeader(bits);
    (void)FrameHeader::describeFrameHeader(QString::fromUtf8(bytes));
    return 0;
}
