#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The cover preview beside the catalogue list remembers which picture it
// holds, so selecting rows that share a cover loads it only once. A failed
// load hides the preview but keeps the remembered path.
class CoverPreview
{
public:
    explicit CoverPreview(QString initial = QString()) : m_remembered(std::move(initial)) {}

    using Loader = std::function<bool(const QString &path)>; // false when the picture cannot be shown
    using Shower = std::function<void(bool visible)>;

    // cover: the selected row's cover path, or nullopt when nothing is selected.
    void update(const std::optional<QString> &cover, const Loader &load, const Shower &show);

    const QString &remembered() const { return m_remembered; }
    // Another picture took the preview's place: the next update loads again.
    void forget() { m_remembered.clear(); }

private:
    QString m_remembered;
};

// The picture shown for an entry without an attached cover, as the image
// file's bytes: the front cover in its file's ID3v2 tag, else the picture
// in its folder (FolderCover). Read off the window's thread; of the file
// no more than its tag is read, and a folder picture over
// LargestFolderPicture is not read at all. Empty when there is neither, or
// the file cannot be opened (its medium is not mounted): no question and
// no message, the preview just shows no cover.
struct FileArt
{
    enum Origin { None, Embedded, Folder };
    QByteArray bytes;
    Origin origin = None;
};
constexpr qint64 LargestFolderPicture = 16 * 1024 * 1024;
// path: the file's path as its exact bytes (EntryPath::openPath).
FileArt readFileArt(const QByteArray &path);
// A picture file's bytes, read as a plain file (never a pipe that would
// hang) of at most LargestFolderPicture; empty when it cannot be.
QByteArray readPictureFile(const QString &path);
