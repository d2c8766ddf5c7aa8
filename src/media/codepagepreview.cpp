#include "media/codepagepreview.h"

#include "media/id3v1.h"
#include "media/mediafile.h"
#include "media/mediawalk.h"
#include "media/rawtrack.h"
#include "base/codepage.h"

#include <QFile>

namespace {

// Tags read at most for a preview: enough to find titles beyond ASCII on
// a medium that has any, few enough to answer at once.
constexpr int MostTagsRead = 200;

class Sampler
{
public:
    Sampler(const QString &root, const TagReading &before, const TagReading &after, int most)
        : m_root(QFile::encodeName(root)), m_before(before.codepage), m_after(after.codepage),
          m_preferBefore(before.prefer), m_preferAfter(after.prefer), m_most(most)
    {
    }

    // Reads the tags of names in folder; true once enough are found.
    bool read(const QByteArray &folder, const QByteArrayList &names)
    {
        for (const QByteArray &name : names) {
            const QByteArray path = folder.endsWith('/') ? folder + name : folder + '/' + name;
            sample(path);
            if (differing.size() >= m_most || m_read >= MostTagsRead)
                return true;
        }
        return false;
    }

    QList<TitleSample> differing;
    QList<TitleSample> alike;

private:
    void sample(const QByteArray &path)
    {
        const MediaFile file(QFile::decodeName(path));
        if (!file.isOpen() || file.size() < Id3v1::TagSize
            || !file.readAt(file.size() - Id3v1::TagSize, Id3v1::TagSize, m_block) || !Id3v1::isTag(m_block))
            return;
        ++m_read;
        TitleSample sample;
        sample.path = QFile::decodeName(path.startsWith(m_root) ? path.mid(m_root.size()) : path);
        if (sample.path.startsWith(u'/'))
            sample.path.remove(0, 1);
        sample.before = QString::fromUtf8(readTrackTags(file, &m_before, m_preferBefore).track);
        sample.after = QString::fromUtf8(readTrackTags(file, &m_after, m_preferAfter).track);
        QList<TitleSample> &list = sample.before != sample.after ? differing : alike;
        if (list.size() < m_most)
            list.append(std::move(sample));
    }

    const QByteArray m_root;
    CodePageDecoder m_before;
    CodePageDecoder m_after;
    const TagPreference m_preferBefore;
    const TagPreference m_preferAfter;
    const int m_most;
    int m_read = 0;
    QByteArray m_block;
};

} // namespace

QList<TitleSample> titleSamples(const QString &root, const TagReading &before, const TagReading &after, int most,
                                const WorkProgress *stop)
{
    Sampler sampler(root, before, after, most);
    // The walk checks one stop: asked for when the caller stops or enough
    // are found.
    WorkProgress enough;
    WalkCallbacks callbacks;
    callbacks.filesListed = [&](const QByteArray &folder, int, QByteArrayList &names, bool) {
        if (!enough.stopped() && !workStopped(stop) && sampler.read(folder, names))
            enough.requestStop();
        names.clear();
    };
    callbacks.folderEntered = [&](const QString &, qsizetype) {
        if (workStopped(stop))
            enough.requestStop();
    };
    MediaWalk::walkBytes(root, QStringLiteral("*.MP3"), callbacks, &enough);
    QList<TitleSample> samples = std::move(sampler.differing);
    for (qsizetype i = 0; samples.size() < most && i < sampler.alike.size(); ++i)
        samples.append(sampler.alike.at(i));
    return samples;
}
