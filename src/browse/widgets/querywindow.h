#pragma once

#include "browse/querysearch.h"

#include <QDialog>

class CatalogueModel;
class Platform;
class Prompter;
class QMenu;
class QTreeView;
class QueryResults;

// The query window: every catalogue entry whose path matches a search
// text, or that a text in the query language matches (QuerySearch), in a
// list of its own that can be sorted and played from. The search runs
// once, when the window is made; a cancelled or empty query, or a query
// that does not parse, says so when the window is first shown, then closes.
class query : public QDialog
{
    Q_OBJECT
public:
    query(const CatalogueModel &catalogue, Prompter &prompter, Platform &platform, QWidget *parent = nullptr,
          const QuerySearch::Scope &scope = {});
    ~query() override;

    QueryResults *results() const { return m_results; }
    void play();
    // Where a stored path of a source is now (its medium may be mounted
    // elsewhere); the stored path when not set.
    void setLocator(std::function<QString(const QString &path, const QString &source)> locate)
    {
        m_locate = std::move(locate);
    }
    // The question when a file of source cannot be opened because its
    // medium is not mounted (which medium to insert); empty when it is.
    void setOfflineQuestion(std::function<QString(const QString &source)> question)
    {
        m_offlineQuestion = std::move(question);
    }

Q_SIGNALS:
    // Enter or a double click on a row: its details, as in the main list.
    void detailsRequested(qsizetype catalogueRow);

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void runQuery(const CatalogueModel &catalogue, const QuerySearch::Scope &scope);
    void reportOnce();
    int px(double twips) const;

    Prompter &m_prompter;
    Platform &m_platform;
    std::function<QString(const QString &path, const QString &source)> m_locate;
    std::function<QString(const QString &source)> m_offlineQuestion;
    QueryResults *m_results = nullptr;
    QTreeView *m_list = nullptr;
    QMenu *m_menu = nullptr;
    QString m_error; // why the query has no answer
    bool m_reported = false;
};
