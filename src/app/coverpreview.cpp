#include "app/coverpreview.h"

#include "media/embeddedpicture.h"
#include "media/foldercover.h"
#include "base/safefileread.h"

#include <QFile>
#include <QFileInfo>

void CoverPreview::update(const std::optional<QString> &cover, const Loader &load, const Shower &show)
{
    if (!cover)
        return;
    if (cover->isEmpty()) {
        m_remembered.clear();
        show(false);
        return;
    }
    if (*cover == m_remembered)
        return;
    if (!load(*cover)) {
        show(false);
        return;
    }
    m_remembered = *cover;
    show(true);
}

FileArt readFileArt(const QByteArray &path)
{
    if (auto picture = EmbeddedPicture::readFrontCover(path))
        return {std::move(picture->data), FileArt::Embedded};
    const QString folder = FolderCover::find(QFileInfo(QFile::decodeName(path)).path());
    QByteArray bytes = folder.isEmpty() ? QByteArray() : readPictureFile(folder);
    if (bytes.isEmpty())
        return {};
    return {std::move(bytes), FileArt::Folder};
}

QByteArray readPictureFile(const QString &path)
{
    SafeFileRead::Options options;
    options.maxBytes = LargestFolderPicture;
    SafeFileRead::Result read = SafeFileRead::readAll(path, options);
    return read.ok() ? std::move(read.bytes) : QByteArray();
}
