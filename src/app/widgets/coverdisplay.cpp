#include "app/widgets/coverdisplay.h"

#include "app/widgets/maincontrols.h"
#include "base/workpool.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/entrypath.h"

#include <QFile>
#include <QLabel>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>

namespace {

// Pictures are kept no larger than this on their longer side: the
// preview and the details window show them smaller.
constexpr int KeptSide = 600;

// The kept picture of an attached cover is under its path after this,
// which no entry's key (its source first) starts with.
const QString AttachedKey = QStringLiteral("\n");

QImage keptImage(const QByteArray &bytes)
{
    QImage image;
    if (bytes.isEmpty() || !image.loadFromData(bytes))
        return {};
    if (image.width() > KeptSide || image.height() > KeptSide)
        image = image.scaled(KeptSide, KeptSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// Runs on the pool: the bytes read and decoded into a picture.
QImage fileArtImage(const QByteArray &path)
{
    return keptImage(readFileArt(path).bytes);
}

// Runs on the pool: an attached cover's picture file.
QImage attachedImage(const QByteArray &path)
{
    return keptImage(readPictureFile(QFile::decodeName(path)));
}

} // namespace

CoverDisplay::CoverDisplay(const MainControls &ui, const CatalogueModel &catalogue) : m_ui(ui), m_catalogue(catalogue)
{
    QObject::connect(&m_reading, &QFutureWatcherBase::finished, &m_reading, [this] { read(); });
}

std::optional<QString> CoverDisplay::selectedCover() const
{
    if (const auto row = m_ui.selectedRow())
        return m_catalogue.field(*row, FieldCoverImage);
    return std::nullopt;
}

void CoverDisplay::show(const QPixmap &picture)
{
    if (!picture.isNull())
        m_ui.coverImage->setPixmap(picture);
    m_ui.coverImage->setVisible(!picture.isNull());
    m_ui.coverStrip->setVisible(!picture.isNull());
    if (m_listener)
        m_listener(picture);
}

void CoverDisplay::preview(CoverPreview &preview)
{
    const std::optional<QString> cover = selectedCover();
    if (!cover)
        return;
    m_wanted.clear();
    m_waiting = nullptr;
    const auto shower = [this](bool visible) { show(visible ? m_ui.coverImage->pixmap() : QPixmap()); };
    if (cover->isEmpty()) {
        preview.update(cover, {}, shower);
        // No cover attached: the file's own, which takes the preview's place.
        m_rowClickPreview.forget();
        m_lastShownCover.forget();
        showFileArt(*m_ui.selectedRow());
        return;
    }
    if (*cover == preview.remembered())
        return;
    // The attached picture, once read on the pool: until then the preview
    // keeps what it shows, as it does when the picture cannot be read.
    const QString key = AttachedKey + *cover;
    if (const QImage *kept = m_found.object(key)) {
        preview.update(cover, [&](const QString &) {
            if (kept->isNull())
                return false;
            m_ui.coverImage->setPixmap(QPixmap::fromImage(*kept));
            return true;
        }, shower);
        return;
    }
    m_wanted = key;
    m_wantedPath = QFile::encodeName(*cover);
    m_waiting = &preview;
    if (!m_reading.isRunning())
        startReading(m_wanted, m_wantedPath);
}

void CoverDisplay::showFileArt(qsizetype row)
{
    const QString path = m_catalogue.field(row, FieldFilename), source = m_catalogue.field(row, FieldSource);
    m_wanted = source + QLatin1Char('\n') + path;
    if (const QImage *kept = m_found.object(m_wanted)) {
        show(QPixmap::fromImage(*kept));
        return;
    }
    show(QPixmap()); // until it is read
    if (m_reading.isRunning() && m_readingKey == m_wanted)
        return; // asked again while it is read
    const QString located = m_locate ? m_locate(path, source) : path;
    m_wantedPath = EntryPath::openPath(located, m_catalogue.rows().extensionUtf8(row));
    if (!m_reading.isRunning())
        startReading(m_wanted, m_wantedPath);
}

void CoverDisplay::startReading(const QString &key, const QByteArray &path)
{
    m_readingKey = key;
    m_reading.setFuture(QtConcurrent::run(workPool(), key.startsWith(AttachedKey) ? attachedImage : fileArtImage, path));
}

void CoverDisplay::read()
{
    const QImage image = m_reading.result();
    m_found.insert(m_readingKey, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    if (m_readingKey == m_wanted && m_waiting) {
        CoverPreview *waiting = std::exchange(m_waiting, nullptr);
        preview(*waiting); // read now: shown from what is kept
        if (waiting == &m_rowClickPreview)
            m_ui.shownCoverLabel->setText(m_rowClickPreview.remembered());
    } else if (m_readingKey == m_wanted)
        show(QPixmap::fromImage(image));
    else if (!m_wanted.isEmpty() && !m_found.contains(m_wanted))
        startReading(m_wanted, m_wantedPath); // the selection moved on while this one was read
}

void CoverDisplay::rowClicked()
{
    preview(m_rowClickPreview);
    m_ui.shownCoverLabel->setText(m_rowClickPreview.remembered());
}

void CoverDisplay::showSelected()
{
    preview(m_lastShownCover);
}

QPixmap CoverDisplay::shown() const
{
    return m_ui.coverImage->isVisible() ? m_ui.coverImage->pixmap() : QPixmap();
}
