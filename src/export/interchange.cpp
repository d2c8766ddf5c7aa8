#include "export/interchange.h"

#include <QDir>
#include <QFileInfo>

namespace Interchange {

SaveResult save(const QString &path, Format format, const EntryStream &source, const Options &options,
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
            const bool whole = source([&writer](const EntryView &entry) { return writer.add(entry); });
            return writer.finish() && whole;
        },
        calls);
}

} // namespace Interchange
