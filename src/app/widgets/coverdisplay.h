#pragma once

#include "app/coverpreview.h"

#include <QPixmap>
#include <QString>
#include <optional>

class CatalogueModel;
struct MainControls;

// The cover picture of the selected entry beside the list. A click, or
// the selection moving, previews it and mirrors its path into Label2;
// Find and the details window show it through showSelected(), which
// remembers what it showed apart from the clicks.
class CoverDisplay
{
public:
    CoverDisplay(const MainControls &ui, const CatalogueModel &catalogue);

    void rowClicked();
    void showSelected();
    QPixmap shown() const; // the picture shown now, or none

private:
    std::optional<QString> selectedCover() const;
    void preview(CoverPreview &preview);

    const MainControls &m_ui;
    const CatalogueModel &m_catalogue;
    CoverPreview m_rowClickPreview{QStringLiteral("Label2")};
    CoverPreview m_lastShownCover;
};
