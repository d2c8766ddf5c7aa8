#pragma once

#include "browse/findstate.h"
#include "browse/querysearch.h"
#include "catalogue/rowstore.h"

#include <QItemSelectionModel>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

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
        // What a query in the Query window knows: the media now, the saved queries.
        std::function<QuerySearch::Scope()> queryScope;
        // Which medium to insert to open a file of source; empty when it is mounted.
        std::function<QString(const QString &source)> offlineQuestion;
        // The details window of a catalogue row, over parent.
        std::function<void(qsizetype row, QWidget *parent)> showDetails;
    };

    BrowseCommands(CatalogueModel &catalogue, CatalogueModel &markBin, Window window, Prompter &prompter,
                   Platform &platform);

    void find();
    void findAgain();
    void openQuery();
    void addToMarkBin();
    void addRowsToMarkBin(const std::vector<qsizetype> &rows); // catalogue rows, in order
    void clearMarkBin();
    void removeFromMarkBin(); // the bin's selected entries; the catalogue is untouched
    void removeSelectedEntries();
    // Asks, then removes the catalogue rows (ascending) from the catalogue.
    void removeEntries(const std::vector<qsizetype> &rows);
    // Makes a catalogue row the list's current one, scrolled to and selected
    // (flags as the selection takes them), showing every row first when the
    // filter hides it.
    void selectEntry(qsizetype row, QItemSelectionModel::SelectionFlags flags);
    void launchPlaylist();
    void prepareBurn();
    void attachCover();

private:
    // Asks to insert each medium of the marked entries that is not mounted,
    // until it is; false when the user says No to one.
    bool markedMediaMounted();
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
