#include "app/widgets/coverdisplay.h"

#include "app/widgets/maincontrols.h"
#include "base/workpool.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/entrypath.h"

#include <QLabel>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

// Pictures are kept no larger than this on their longer side: the
// preview and the details window show them smaller.
constexpr int KeptSide = 600;

// Runs on the pool: the bytes read and decoded into a picture.
QImage fileArtImage(const QByteArray &path)
{
    const FileArt art = readFileArt(path);
    QImage image;
    if (art.origin == FileArt::None || !image.loadFromData(art.bytes))
        return {};
    if (image.width() > KeptSide || image.height() > KeptSide)
        image = image.scaled(KeptSide, KeptSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
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
    preview.update(
        cover,
        [this](const QString &path) {
            const QPixmap picture(path);
            if (picture.isNull())
                return false;
            m_ui.coverImage->setPixmap(picture);
            return true;
        },
        [this](bool visible) { show(visible ? m_ui.coverImage->pixmap() : QPixmap()); });
    if (!cover)
        return;
    m_wanted.clear();
    if (cover->isEmpty()) {
        // No cover attached: the file's own, which takes the preview's place.
        m_rowClickPreview.forget();
        m_lastShownCover.forget();
        showFileArt(*m_ui.selectedRow());
    }
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
    m_reading.setFuture(QtConcurrent::run(workPool(), fileArtImage, path));
}

void CoverDisplay::read()
{
    const QImage image = m_reading.result();
    m_found.insert(m_readingKey, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    if (m_readingKey == m_wanted)
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
