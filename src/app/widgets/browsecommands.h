#pragma once

#include "browse/findstate.h"
#include "catalogue/rowstore.h"

#include <QObject>
#include <QString>
#include <functional>

class CatalogueModel;
class Platform;
class Prompter;
class QWidget;
struct MainControls;

// The main window's commands on the entries it shows: Find and Find
// Again, the query window, the mark bin (add, clear, launch as playlist,
// prepare for a burn), removing entries and attaching a cover. The window
// connects its buttons and menus to them.
class BrowseCommands : public QObject
{
    Q_OBJECT
public:
    struct Window
    {
        QWidget *widget;                // the parent of the dialogs
        const MainControls &ui;         // the lists and the find labels
        std::function<void()> showCover; // the preview of the selected entry
        std::function<void()> countChanged;
        QString &coverPath; // the folder the cover dialog starts in, kept with the settings
        // Where a stored path of a source is now, for everything that opens
        // or copies a track.
        std::function<QString(const QString &path, const QString &source)> locate;
    };

    BrowseCommands(CatalogueModel &catalogue, CatalogueModel &markBin, Window window, Prompter &prompter,
                   Platform &platform);

    void find();
    void findAgain();
    void openQuery();
    void addToMarkBin();
    void clearMarkBin();
    void removeSelectedEntries();
    void launchPlaylist();
    void prepareBurn();
    void attachCover();

private:
    void showFindResult(const FindResult &result);
    void mirrorFindState(); // into Label5 (text) and Label4 (position)
    void deselectCurrentEntry();
    RowStore locatedMarkBin() const;

    CatalogueModel &m_catalogue;
    CatalogueModel &m_markBin;
    Window m_window;
    Prompter &m_prompter;
    Platform &m_platform;
    FindState m_find;
    RowStore m_burnBin; // the mark bin with its paths located, while a burn copies it
};
