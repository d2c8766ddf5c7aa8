#include "export/tunepostexport.h"

#include "base/atomicsave.h"
#include "base/oneline.h"
#include "base/textblanks.h"

#include <QDir>

namespace TunepostExport {

namespace {

QString collapseBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u' ' && out.endsWith(u' '))
            continue;
        out += c;
    }
    return out;
}

struct PathForm
{
    qsizetype prefix;  // length of the drive prefix
    QChar separator;
};

PathForm formOf(const QString &path)
{
    if (path.size() >= 3 && path[0].isLetter() && path[1] == u':' && path[2] == u'\\')
        return {3, u'\\'};
    if (path.startsWith(u'/'))
        return {1, u'/'};
    return {0, u'/'};
}

} // namespace

QString fileName(int number)
{
    return QStringLiteral("tunepost-%1.m3u").arg(number);
}

qsizetype characterCount(const QString &text)
{
    qsizetype count = 0;
    for (const QChar c : text) {
        if (!c.isLowSurrogate())
            ++count;
    }
    return count;
}

QString nameFromPath(const QString &original)
{
    QString path = original;
    path.replace(u'_', u' ').replace(u'\'', u' ').replace(u'"', u' ');
    const PathForm form = formOf(path);
    const QString withoutPrefix = path.mid(form.prefix);

    const QString namePart = path.count(form.separator) > 1 ? path.mid(path.lastIndexOf(form.separator) + 1)
                                                            : withoutPrefix;
    const qsizetype close = namePart.indexOf(u')');
    if (namePart.startsWith(u'(') && close > 0)
        return namePart.mid(1, close - 1) + u'-' + namePart.mid(close + 1);

    // Folder words, "-", the file's name. A name part that begins with "("
    // but has no ")" is taken this way too; a file with no folder before it
    // gives its name alone.
    QString rest = withoutPrefix;
    rest.replace(u'-', u' ');
    const qsizetype cut = rest.lastIndexOf(form.separator);
    if (cut < 0)
        return rest;
    QString folders = rest.left(cut).trimmed();
    folders.replace(form.separator, u' ');
    return folders + u'-' + rest.mid(cut + 1);
}

QString lineFor(const QString &artist, const QString &title, const QString &filename)
{
    QString line;
    if (!artist.isEmpty() && !title.isEmpty()) {
        line = artist + u'-' + title + QStringLiteral(".mp3");
        line.replace(u'\'', u' ');
    } else {
        line = nameFromPath(filename);
    }
    return collapseBlanks(OneLine::of(line));
}

Outcome write(const QString &folder, const RowStore &rows, const std::function<void(const QString &)> &begun,
              const SaveSystemCalls &calls)
{
    Outcome outcome;
    int number = 1;
    QByteArray content;
    qsizetype count = 0;
    QString current;
    const auto begin = [&] {
        current = folder + QLatin1Char('/') + fileName(number);
        content.clear();
        count = 0;
        outcome.written << current;
        if (begun)
            begun(current);
    };
    const auto finish = [&] {
        const SaveResult saved =
            saveAtomically(current, [&](QIODevice &device) { return device.write(content) == content.size(); }, calls);
        if (!saved) {
            outcome.ok = false;
            outcome.failedPath = current;
            outcome.error = saved.error;
            outcome.written.removeLast();
        }
        return saved.ok;
    };

    begin();
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows.origin(row) == EntryOrigin::Library)
            continue;
        const QString line = lineFor(rows.field(row, FieldArtist), rows.field(row, FieldTrack),
                                     rows.field(row, FieldFilename));
        content += line.toUtf8() + "\r\n";
        count += characterCount(line);
        if (count > CharacterLimit) {
            if (!finish())
                return outcome;
            ++number;
            begin();
        }
    }
    finish();
    return outcome;
}

QString completeMessage()
{
    return QStringLiteral("Export complete.");
}

QString failureMessage(const Outcome &outcome)
{
    return failureMessage(outcome.failedPath, outcome.error);
}

QString failureMessage(const QString &failedPath, const QString &error)
{
    return QStringLiteral("Could not write %1: %2. The export was stopped.")
        .arg(QDir::toNativeSeparators(failedPath), error);
}

} // namespace TunepostExport
