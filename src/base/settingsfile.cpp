#include "base/settingsfile.h"

#include "base/platform/systempaths.h"
#include "base/safefileread.h"
#include "base/textcodec.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

Settings Settings::defaults()
{
    // Filename, Source, Artist, Track, Album, Year, Genre, coverimage, AudioHeader
    return {QString(), {4200, 900, 1800, 2400, 1800, 700, 1300, 1800, 3800}};
}

namespace SettingsFile {

namespace {

QStringList splitLines(QByteArrayView bytes)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = TextCodec::decodeUtf8OrCp1252(bytes).split(lineEnd);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the end of the last line is not a line of its own
    return lines;
}

QString widthText(float width)
{
    return QString::number(double(width), 'G', 7);
}

QByteArray readFile(const QString &path, bool &ok, QString *reason)
{
    SafeFileRead::Options options;
    options.maxBytes = MaxFileBytes;
    SafeFileRead::Result file = SafeFileRead::readAll(path, options);
    ok = file.ok();
    if (!ok && reason)
        *reason = file.reason;
    return std::move(file.bytes);
}

} // namespace

QString path()
{
    return SystemPaths::windowsDirectory() + QStringLiteral("/ondro2k.ini");
}

QString oldPath()
{
    return SystemPaths::windowsDirectory() + QStringLiteral("/zembra.ini");
}

double numericValue(const QString &text)
{
    // An exponent is part of the number: large widths are written as
    // "1.234568E+07" and must read back as what was written.
    static const QRegularExpression number(QStringLiteral("^ *([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

bool apply(QByteArrayView bytes, Settings &settings)
{
    for (const QString &line : splitLines(bytes)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QLatin1String("COVERPATH")) {
            settings.coverPath = value;
        } else if (key.startsWith(QLatin1String("WIDTH"))) {
            const double column = std::round(numericValue(key.mid(5)));
            const double width = numericValue(value);
            // A width no float holds would be kept as infinity: a bad
            // width, like a negative one.
            if (column < 1 || column > Settings::ColumnCount || width < 0 || !std::isfinite(width)
                || width > std::numeric_limits<float>::max())
                return false;
            settings.widths[size_t(column) - 1] = float(width);
        }
    }
    return true;
}

bool load(const QString &path, Settings &settings, QString *reason)
{
    bool ok = false;
    const QByteArray bytes = readFile(path, ok, reason);
    return ok && apply(bytes, settings);
}

QByteArray serialize(const Settings &settings)
{
    QStringList lines{QStringLiteral("VERSION=2.6"), QStringLiteral("COVERPATH=") + settings.coverPath};
    for (int k = 1; k <= 8; ++k)
        lines << QStringLiteral("WIDTH%1=%2").arg(k).arg(widthText(settings.widths[size_t(k) - 1]));
    lines << QStringLiteral("EMAIL=") << QStringLiteral("FCOLOR=") << QStringLiteral("BCOLOR=");
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

SaveResult save(const QString &path, const Settings &settings)
{
    const QByteArray bytes = serialize(settings);
    return saveAtomically(path, [&](QIODevice &device) { return device.write(bytes) == bytes.size(); });
}

void applyOld(QByteArrayView bytes, Settings &settings)
{
    const QStringList lines = splitLines(bytes);
    if (lines.size() < 2)
        return;
    settings.coverPath = lines.at(1);
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList numbers = lines.mid(2).join(QLatin1Char('\n')).split(separators, Qt::SkipEmptyParts);
    for (int k = 1; k <= 7 && k <= numbers.size(); ++k) {
        const double width = std::round(numericValue(numbers.at(k - 1)));
        // A width the settings reader would refuse stops here, as it does
        // there, so that a migrated file always reads back whole.
        if (width < 0 || !std::isfinite(width) || width > std::numeric_limits<float>::max())
            return;
        settings.widths[size_t(k) - 1] = float(width);
    }
}

bool migrate(const QString &oldPath, Settings &settings, QString *reason)
{
    bool ok = false;
    const QByteArray bytes = readFile(oldPath, ok, reason);
    if (ok)
        applyOld(bytes, settings);
    return ok;
}

} // namespace SettingsFile
