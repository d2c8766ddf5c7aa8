#pragma once

#include "app/coverpreview.h"

#include <QCache>
#include <QFutureWatcher>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <functional>
#include <optional>

class CatalogueModel;
struct MainControls;

// The cover picture of the selected entry beside the list. A click, or
// the selection moving, previews it and mirrors its path into Label2;
// Find and the details window show it through showSelected(), which
// remembers what it showed apart from the clicks.
//
// An entry's attached cover is read on the program's pool, and kept; one
// without an attached cover (not one whose attached picture is gone: that
// hides the preview) shows the picture in its file's tag or its folder
// (readFileArt), read there too: the window never waits for a picture, a newer selection's picture replaces one still being
// read, and the last few entries' pictures (or that they have none) are
// kept, so going back to them reads nothing.
class CoverDisplay
{
public:
    CoverDisplay(const MainControls &ui, const CatalogueModel &catalogue);

    // Where an entry's file is now (MediaCommands::located); without it
    // the stored path is read.
    using Locator = std::function<QString(const QString &path, const QString &source)>;
    void setLocator(Locator locate) { m_locate = std::move(locate); }
    // Told each picture shown from now on (null: none), for a window that
    // opened before the selected entry's picture was read.
    using Listener = std::function<void(const QPixmap &)>;
    void setListener(Listener listener) { m_listener = std::move(listener); }

    void rowClicked();
    void showSelected();
    QPixmap shown() const; // the picture shown now, or none

private:
    std::optional<QString> selectedCover() const;
    void preview(CoverPreview &preview);
    void show(const QPixmap &picture);
    // The selected entry's picture from its file or folder: kept, or read.
    void showFileArt(qsizetype row);
    void startReading(const QString &key, const QByteArray &path);
    void read();

    const MainControls &m_ui;
    const CatalogueModel &m_catalogue;
    CoverPreview m_rowClickPreview{QStringLiteral("Label2")};
    CoverPreview m_lastShownCover;
    Locator m_locate;
    Listener m_listener;
    // Pictures by the entry (its source and path), null for none, costing
    // their KiB: a few MiB at most.
    QCache<QString, QImage> m_found{8 * 1024};
    QFutureWatcher<QImage> m_reading;
    QString m_readingKey; // of the entry m_reading reads
    QString m_wanted;     // the selected entry's key
    QByteArray m_wantedPath;
    CoverPreview *m_waiting = nullptr; // to show the attached picture being read
};
