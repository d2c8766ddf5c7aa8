#include "browse/burnplan.h"

#include "catalogue/entrypath.h"
#include "base/platform/systempaths.h"
#include "base/safefileread.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace BurnPlan {

QString withClosingSeparator(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator()))
        return folder;
    return folder + QLatin1Char('/');
}

QStringList sourcesInOrder(const RowStore &bin)
{
    QStringList sources;
    QSet<QString> seen;
    for (qsizetype i = 0; i < bin.size(); ++i) {
        QString source = bin.field(i, FieldSource);
        if (!seen.contains(source)) {
            seen.insert(source);
            sources.append(std::move(source));
        }
    }
    return sources;
}

QString targetFor(const QString &destination, const QString &filename)
{
    return destination + SystemPaths::fileNameOf(filename);
}

std::vector<Copy> copiesFor(const RowStore &bin, const QString &source, const QString &destination)
{
    std::vector<Copy> copies;
    for (qsizetype i = 0; i < bin.size(); ++i) {
        if (bin.field(i, FieldSource) == source) {
            const QString from = bin.field(i, FieldFilename);
            copies.push_back({i, from, EntryPath::openPath(from, bin.extensionUtf8(i)), targetFor(destination, from)});
        }
    }
    return copies;
}

CopyResult copyInto(QIODevice &from, const QString &target, const SaveSystemCalls &calls)
{
    constexpr qint64 BlockSize = qint64(1) << 20;
    QString readFailure;
    const SaveResult saved = saveAtomically(
        target,
        [&](QIODevice &out) {
            QByteArray block(BlockSize, Qt::Uninitialized);
            for (;;) {
                const qint64 got = from.read(block.data(), BlockSize);
                if (got < 0) {
                    readFailure = from.errorString();
                    if (readFailure.isEmpty())
                        readFailure = QStringLiteral("the file cannot be read");
                    return false;
                }
                if (got == 0)
                    return true;
                if (out.write(block.constData(), got) != got)
                    return false;
            }
        },
        calls);
    if (!saved)
        return {false, readFailure.isEmpty() ? saved.error : readFailure};
    return {};
}

CopyResult copyFile(const QByteArray &from, const QString &target, const SaveSystemCalls &calls)
{
    QFile in;
    // What is no plain file (a named pipe, a folder, a device) is refused
    // unopened, as a failed copy: its medium is there.
    if (const SafeFileRead::Result opened = SafeFileRead::openPlainFile(from, in); !opened.ok())
        return {false, opened.reason, opened.status != SafeFileRead::Status::Refused};
    return copyInto(in, target, calls);
}

} // namespace BurnPlan
