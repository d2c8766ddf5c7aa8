// The upload-site name rule over artist, title and path texts (split at 0
// bytes): the line never holds two blanks in a row or a line break that
// its fields did not bring, and its character count is at most its length.
#include "export/tunepostexport.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList parts = input.split(QChar(0));
    const QString artist = parts.value(0);
    const QString title = parts.value(1);
    const QString path = parts.value(2);

    const QString line = TunepostExport::lineFor(artist, title, path);
    FUZZ_CHECK(!line.contains(QLatin1String("  ")));
    if (!input.contains(QLatin1Char('\n')) && !input.contains(QLatin1Char('\r')))
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
    const qsizetype count = TunepostExport::characterCount(line);
    FUZZ_CHECK(count >= 0 && count <= line.size());
    (void)TunepostExport::nameFromPath(input);
    return 0;
}
