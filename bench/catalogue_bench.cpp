// Catalogue benchmark: builds catalogues of 100,000 and 1,000,000 entries
// with realistic paths and tags, then times saving and loading the list
// file, sorting by a column, and reports the memory held per entry next to
// the bytes per entry of the file itself.
#include "store/cataloguelistfile.h"
#include "store/cataloguemodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const char *const Words[] = {"Love", "Night", "Blue", "River", "Dance", "Fire", "Road", "Heart", "Dream", "Rain",
                             "Summer", "Shadow", "Golden", "Electric", "Silent", "Wild", "Café", "Motörhead",
                             "Broken", "Sweet"};
const char *const Genres[] = {"Rock", "Pop", "Jazz", "Classical", "Hip-Hop", "Electronic", "Blues", "Metal", ""};

QString words(QRandomGenerator &rng, int min, int max)
{
    QStringList out;
    const int n = int(rng.bounded(min, max + 1));
    for (int i = 0; i < n; ++i)
        out << QString::fromUtf8(Words[rng.bounded(int(std::size(Words)))]);
    return out.join(QLatin1Char(' '));
}

QString bits(QRandomGenerator &rng)
{
    QString text;
    for (int b = 0; b < 4; ++b) {
        const int value = b == 0 ? 255 : int(rng.bounded(256));
        text += QStringLiteral("%1 ").arg(value, 8, 2, QLatin1Char('0'));
    }
    return text;
}

RowStore generate(qsizetype count)
{
    QRandomGenerator rng(42);
    RowStore rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        TrackRecord r;
        r.artist = words(rng, 1, 3);
        r.album = words(rng, 1, 4);
        r.track = words(rng, 1, 5);
        r.source = QStringLiteral("CD%1").arg(i / 150 + 1, 3, 10, QLatin1Char('0'));
        r.filename = QStringLiteral("/media/%1/Music/%2/%3/%4 - %5.mp3")
                         .arg(r.source, r.artist, r.album)
                         .arg(i % 20 + 1, 2, 10, QLatin1Char('0'))
                         .arg(r.track);
        r.year = QString::number(1960 + rng.bounded(60));
        r.genre = QString::fromUtf8(Genres[rng.bounded(int(std::size(Genres)))]);
        r.coverimage = i % 10 == 0 ? QStringLiteral("/home/me/covers/%1.jpg").arg(r.album) : QString();
        r.audioheader = bits(rng);
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

void run(qsizetype count, const QString &folder)
{
    const QString path = folder + QStringLiteral("/zembra.lst");
    RowStore generated = generate(count);

    QElapsedTimer timer;
    timer.start();
    const SaveResult saved = CatalogueListFile::save(path, generated);
    const double saveSeconds = timer.nsecsElapsed() / 1e9;
    if (!saved) {
        std::printf("save failed: %s\n", qPrintable(saved.error));
        return;
    }
    const qint64 fileBytes = QFileInfo(path).size();
    generated.clear();

    const long rssBefore = residentKiB();
    timer.restart();
    CatalogueModel model;
    model.appendRows(CatalogueListFile::read(path).rows);
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    const long rssAfter = residentKiB();

    timer.restart();
    model.sort(FieldArtist);
    const double sortSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("%9lld entries: save %.2f s, load %.2f s, sort by artist %.2f s\n", (long long)count, saveSeconds,
                loadSeconds, sortSeconds);
    std::printf("%9s  file %.1f MB (%.0f bytes/entry); held %.0f bytes/entry (rows + arena), "
                "resident growth %.0f bytes/entry; held/file %.2f\n",
                "", fileBytes / 1e6, double(fileBytes) / count, double(model.rows().bytesHeld()) / count,
                (rssAfter - rssBefore) * 1024.0 / count, double(model.rows().bytesHeld()) / fileBytes);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    for (qsizetype count : {qsizetype(100000), qsizetype(1000000)})
        run(count, dir.path());
    return 0;
}
