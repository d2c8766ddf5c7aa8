#include "export/interchange.h"

#include <QDir>
#include <QFileInfo>

namespace Interchange {

EntrySource fromRows(const RowStore &rows, const Progress &progress)
{
    return [&rows, progress](const AddEntry &add) {
        Fields fields;
        const qsizetype n = rows.size();
        for (qsizetype row = 0; row < n; ++row) {
            for (int f = 0; f < TrackFieldCount; ++f)
                fields[size_t(f)] = rows.fieldUtf8(row, f);
            if (!add(fields, rows.extensionUtf8(row)) || (progress && !progress(row + 1, n)))
                return false;
        }
        return true;
    };
}

EntrySource fromRows(const RowStore &rows, std::vector<qsizetype> listed, const Progress &progress)
{
    return [&rows, listed = std::move(listed), progress](const AddEntry &add) {
        Fields fields;
        const qsizetype n = qsizetype(listed.size());
        for (qsizetype i = 0; i < n; ++i) {
            const qsizetype row = listed[size_t(i)];
            for (int f = 0; f < TrackFieldCount; ++f)
                fields[size_t(f)] = rows.fieldUtf8(row, f);
            if (!add(fields, rows.extensionUtf8(row)) || (progress && !progress(i + 1, n)))
                return false;
        }
        return true;
    };
}

SaveResult save(const QString &path, Format format, const EntrySource &source, const Options &options,
                const SaveSystemCalls &calls)
{
    const QString folder = QFileInfo(path).absolutePath();
    return saveAtomically(
        path,
        [&](QIODevice &device) {
            EntryFormat::Options written;
            written.relativeTo = options.relative ? QDir::cleanPath(folder).toUtf8() : QByteArray();
            written.resolve = options.resolve;
            EntryFormat::Writer writer(format, [&device](QByteArrayView block) {
                return device.write(block.data(), block.size()) == block.size();
            }, std::move(written));
            if (!writer.begin())
                return true; // the device's failure is the save's
            const bool whole = source([&writer](const Fields &fields, QByteArrayView extension) {
                return writer.add(fields, extension);
            });
            return writer.finish() && whole;
        },
        calls);
}

} // namespace Interchange
