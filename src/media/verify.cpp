#include "media/verify.h"

#include "catalogue/extensionline.h"
#include "media/walkorder.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <algorithm>

#include <string_view>

namespace Verify {

namespace {

QString timeText(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

// What differs from the catalogue, each as "what now, catalogued what".
QStringList changes(QByteArrayView line, const Reading &reading)
{
    QStringList found;
    const std::optional<qint64> size = ExtensionLine::integerValue(line, "size");
    const std::optional<qint64> mtime = ExtensionLine::integerValue(line, "mtime");
    const bool sizeSame = !size || *size == reading.size;
    const bool timeSame = !mtime || *mtime == reading.mtime;
    if (!sizeSame)
        found << QStringLiteral("size %1 bytes, catalogued %2").arg(reading.size).arg(*size);
    if (!timeSame)
        found << QStringLiteral("modified %1, catalogued %2").arg(timeText(reading.mtime), timeText(*mtime));
    const std::optional<quint64> aid = ExtensionLine::hexValue(line, "aid");
    if (aid && reading.facts && reading.facts->hasAid && reading.facts->aid != *aid) {
        // The same size and time and other audio: the medium itself changed the bytes.
        found << (sizeSame && timeSame && size && mtime
                      ? QStringLiteral("bit rot: the audio differs from the catalogued, size and time do not")
                      : QStringLiteral("the audio differs from the catalogued"));
    }
    return found;
}

// The damage a whole read finds, in the sense of the scan's marks.
QStringList damage(const Reading &reading)
{
    QStringList found;
    if (reading.facts && reading.facts->damage == StreamFacts::Damage::Short)
        found << QStringLiteral("the audio is shorter than its header says");
    else if (reading.facts && reading.facts->damage == StreamFacts::Damage::Long)
        found << QStringLiteral("more audio follows the stream its header counts");
    if (reading.syncLostAt)
        found << QStringLiteral("frame sync lost at byte %1").arg(*reading.syncLostAt);
    if (reading.cutFrameAt)
        found << QStringLiteral("the last frame, at byte %1, is cut short").arg(*reading.cutFrameAt);
    return found;
}

bool hasMark(const ExtensionLine::Facts &facts)
{
    return std::any_of(facts.pairs.begin(), facts.pairs.end(),
                       [](const ExtensionLine::Facts::Pair &pair) { return pair.key == ExtensionLine::ProblemKey; });
}

} // namespace

QByteArrayView statusWord(Status status)
{
    switch (status) {
    case Status::Unreadable:
        return "unreadable";
    case Status::Changed:
        return "changed";
    case Status::Damaged:
        return "damaged";
    case Status::Missing:
        return "missing";
    default:
        return "ok";
    }
}

Verdict judge(QByteArrayView line, const Reading &reading)
{
    using SafeFileRead::Status;
    if (reading.open == Status::Missing)
        return {Verify::Status::Missing, QStringLiteral("not found")};
    if (reading.open != Status::Read)
        return {Verify::Status::Unreadable, reading.reason};
    if (reading.failedAt)
        return {Verify::Status::Unreadable, QStringLiteral("%1 at byte %2").arg(reading.reason).arg(*reading.failedAt)};
    const QStringList changed = changes(line, reading);
    const QStringList damaged = damage(reading);
    if (!changed.isEmpty())
        return {Verify::Status::Changed, (changed + damaged).join(QStringLiteral("; "))};
    if (!damaged.isEmpty())
        return {Verify::Status::Damaged, damaged.join(QStringLiteral("; "))};
    return {};
}

QByteArray markedLine(QByteArrayView line, Status status)
{
    ExtensionLine::Facts facts = ExtensionLine::parse(line);
    if (!facts.laterVersion.isEmpty())
        return line.toByteArray();
    if (status == Status::Ok) {
        if (!hasMark(facts))
            return line.toByteArray();
        facts.remove(ExtensionLine::ProblemKey);
    } else {
        facts.set(ExtensionLine::ProblemKey, statusWord(status));
    }
    return ExtensionLine::format(facts);
}

void count(MediumVerification &counts, Status status)
{
    ++counts.files;
    switch (status) {
    case Status::Ok:
        ++counts.ok;
        break;
    case Status::Unreadable:
        ++counts.unreadable;
        break;
    case Status::Changed:
        ++counts.changed;
        break;
    case Status::Damaged:
        ++counts.damaged;
        break;
    case Status::Missing:
        ++counts.missing;
        break;
    }
}

qint64 problems(const MediumVerification &counts)
{
    return counts.files - counts.ok;
}

QString summaryLine(const QString &source, const MediumVerification &counts)
{
    return QStringLiteral("%1: %2 files, %3 ok, %4 unreadable, %5 changed, %6 damaged, %7 missing")
        .arg(source)
        .arg(counts.files)
        .arg(counts.ok)
        .arg(counts.unreadable)
        .arg(counts.changed)
        .arg(counts.damaged)
        .arg(counts.missing);
}

QString lastText(const MediumVerification &counts)
{
    const qint64 found = problems(counts);
    return QLocale().toString(counts.when.toLocalTime(), QLocale::ShortFormat) + QStringLiteral(", ")
           + (found == 0 ? QStringLiteral("all ok") : found == 1 ? QStringLiteral("1 problem")
                                                                 : QStringLiteral("%1 problems").arg(found));
}

bool walkLess(QByteArrayView a, QByteArrayView b)
{
    const std::string_view x(a.data(), size_t(a.size())), y(b.data(), size_t(b.size()));
    for (size_t from = 0, other = 0;;) {
        const size_t endX = x.find('/', from), endY = y.find('/', other);
        const bool fileX = endX == std::string_view::npos, fileY = endY == std::string_view::npos;
        if (fileX != fileY)
            return fileX; // a folder's files come before its folders
        const std::string_view partX = x.substr(from, fileX ? std::string_view::npos : endX - from);
        const std::string_view partY = y.substr(other, fileY ? std::string_view::npos : endY - other);
        if (partX != partY)
            return MediaWalk::listingLessBytes(QByteArray::fromRawData(partX.data(), qsizetype(partX.size())),
                                               QByteArray::fromRawData(partY.data(), qsizetype(partY.size())));
        if (fileX)
            return false;
        from = endX + 1;
        other = endY + 1;
    }
}

} // namespace Verify
