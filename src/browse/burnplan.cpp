#include "browse/burnplan.h"

#include "store/platform/systempaths.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
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
            copies.push_back({i, from, targetFor(destination, from)});
        }
    }
    return copies;
}

CopyResult copyInto(QIODevice &from, const QString &target)
{
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return {false, out.errorString()};
    constexpr qint64 BlockSize = qint64(1) << 20;
    QByteArray block(BlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = from.read(block.data(), BlockSize);
        if (got < 0) {
            const QString reason = from.errorString();
            out.cancelWriting();
            return {false, reason.isEmpty() ? QStringLiteral("the file cannot be read") : reason};
        }
        if (got == 0)
            break;
        if (out.write(block.constData(), got) != got) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return {false, reason};
        }
    }
    if (!out.commit())
        return {false, out.errorString()};
    return {};
}

CopyResult copyFile(const QString &from, const QString &target)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return {false, in.errorString()};
    return copyInto(in, target);
}

} // namespace BurnPlan
