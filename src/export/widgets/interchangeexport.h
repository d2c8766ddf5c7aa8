#pragma once

#include "export/exportflow.h"

#include <QPointer>
#include <QString>
#include <vector>

class CatalogueModel;
class Prompter;
class QFutureWatcherBase;
class QWidget;
class ShownRowsModel;

// Files > Export's playlists and data files (m3u8, XSPF, CSV, JSON Lines)
// from the main window: which entries (the whole catalogue, the rows the
// filter shows, or the mark bin; asked only when there is a choice), then
// the file, an existing one replaced only when the user says so; written
// as the window's long work with Stop.
namespace InterchangeExport {

// An entry of the menu: its object name, caption and kind.
struct MenuEntry
{
    const char *objectName;
    QString caption;
    ExportFlow::Kind kind;
};
const std::vector<MenuEntry> &menuEntries();

// What the main window offers to export; it holds still while the work runs.
struct Offered
{
    const CatalogueModel &catalogue;
    const ShownRowsModel &shown;
    const CatalogueModel &markBin;
};

void start(QWidget *window, QPointer<QFutureWatcherBase> &work, Prompter &prompter, ExportFlow::Kind kind,
           const Offered &offered);

} // namespace InterchangeExport
