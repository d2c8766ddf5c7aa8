#include "media/foldercover.h"

#include <QDirIterator>
#include <QFile>

#include <array>

namespace {

constexpr std::array<QByteArrayView, 3> Names{"cover", "folder", "front"};
constexpr std::array<QByteArrayView, 3> Extensions{"jpg", "jpeg", "png"};

} // namespace

namespace FolderCover {

int rank(QByteArrayView name)
{
    // "front.jpg" is the shortest, "folder.jpeg" the longest.
    if (name.size() < 9 || name.size() > 11)
        return -1;
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return -1;
    const QByteArrayView stem = name.first(dot), extension = name.sliced(dot + 1);
    for (size_t n = 0; n < Names.size(); ++n) {
        if (stem.compare(Names[n], Qt::CaseInsensitive) != 0)
            continue;
        for (size_t e = 0; e < Extensions.size(); ++e)
            if (extension.compare(Extensions[e], Qt::CaseInsensitive) == 0)
                return int(n * Extensions.size() + e);
    }
    return -1;
}

bool comesBefore(QByteArrayView name, QByteArrayView chosen)
{
    const int mine = rank(name);
    if (mine < 0)
        return false;
    const int theirs = chosen.isEmpty() ? -1 : rank(chosen);
    return theirs < 0 || mine < theirs || (mine == theirs && name < chosen);
}

QString find(const QString &folder)
{
    QByteArray chosen;
    QDirIterator entries(folder, QDir::Files);
    while (entries.hasNext()) {
        const QByteArray name = QFile::encodeName(entries.nextFileInfo().fileName());
        if (comesBefore(name, chosen))
            chosen = name;
    }
    return chosen.isEmpty() ? QString() : folder + QLatin1Char('/') + QFile::decodeName(chosen);
}

} // namespace FolderCover
