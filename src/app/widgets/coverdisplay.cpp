#include "app/widgets/coverdisplay.h"

#include "app/widgets/maincontrols.h"
#include "catalogue/cataloguemodel.h"

#include <QLabel>

CoverDisplay::CoverDisplay(const MainControls &ui, const CatalogueModel &catalogue) : m_ui(ui), m_catalogue(catalogue)
{
}

std::optional<QString> CoverDisplay::selectedCover() const
{
    if (const auto row = m_ui.selectedRow())
        return m_catalogue.field(*row, FieldCoverImage);
    return std::nullopt;
}

void CoverDisplay::preview(CoverPreview &preview)
{
    preview.update(
        selectedCover(),
        [this](const QString &path) {
            const QPixmap picture(path);
            if (picture.isNull())
                return false;
            m_ui.coverImage->setPixmap(picture);
            return true;
        },
        [this](bool visible) {
            m_ui.coverImage->setVisible(visible);
            m_ui.coverStrip->setVisible(visible);
        });
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
