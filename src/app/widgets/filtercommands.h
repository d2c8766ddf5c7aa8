#pragma once

#include "browse/queryparser.h"

#include <QFutureWatcher>
#include <QObject>
#include <memory>
#include <vector>

class CatalogueModel;
class MediaSession;
struct MainControls;

// The filter box: the list shows the rows the query typed matches, in
// catalogue order, worked out off the window's thread; each keystroke
// replaces a pass still running. "M of N shown" beside it, the parser's
// message instead when the query does not parse (the rows stay those of
// the last query that did, and the count says so). "@name" runs a saved query. The catalogue's own commands (Save, Print, exports, Find) keep
// the whole catalogue.
class FilterCommands : public QObject
{
    Q_OBJECT
public:
    FilterCommands(CatalogueModel &catalogue, MainControls &ui, const MediaSession &media, QObject *parent);
    ~FilterCommands() override;

    // Shows every row again and empties the box.
    void showAll();
    // Runs the query now in the box (after the catalogue or the media changed).
    void refilter();
    // queries.json, for "@name" in the box.
    void setSavedQueries(const QString &path);

protected:
    // Escape empties the box, then gives the list the focus; Down moves to
    // the list's first row.
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    // The shown rows changed.
    void shownChanged();
    // The count or the message under the box changed.
    void labelChanged();

private:
    struct Pass;
    void start(const QString &text);
    void finished();
    // Ends a pass still reading the rows, before they change.
    void stopPass();
    std::vector<qint32> filterNow();
    std::shared_ptr<const std::vector<quint8>> duplicates();
    void updateLabel();

    CatalogueModel &m_catalogue;
    MainControls &m_ui;
    const MediaSession &m_media;
    QFutureWatcher<std::vector<qint32>> m_watcher;
    std::shared_ptr<Pass> m_pass;      // the pass running or last shown
    std::shared_ptr<Query::Parsed> m_query; // the query shown
    std::shared_ptr<const std::vector<quint8>> m_duplicates;
    quint64 m_duplicatesRevision = ~quint64(0);
    QString m_emptyHint; // over the empty list when no filter is set
    QString m_started; // the text of the last start
    QString m_savedQueries;
    QString m_problem;   // why the text in the box gives no rows: the parser's or the matcher's message
};
