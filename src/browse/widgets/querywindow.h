#pragma once

#include <QDialog>

class CatalogueModel;
class Platform;
class Prompter;
class QMenu;
class QTreeView;
class QueryResults;

// The query window: every catalogue entry whose path matches a search
// text, in a list of its own that can be sorted and played from. The
// search runs once, when the window is made; a cancelled or empty query
// says so when the window is first shown, then closes.
class query : public QDialog
{
    Q_OBJECT
public:
    query(const CatalogueModel &catalogue, Prompter &prompter, Platform &platform, QWidget *parent = nullptr);
    ~query() override;

    QueryResults *results() const { return m_results; }
    void play();
    // Where a stored path of a source is now (its medium may be mounted
    // elsewhere); the stored path when not set.
    void setLocator(std::function<QString(const QString &path, const QString &source)> locate)
    {
        m_locate = std::move(locate);
    }

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void runQuery(const CatalogueModel &catalogue);
    void reportOnce();
    int px(double twips) const;

    Prompter &m_prompter;
    Platform &m_platform;
    std::function<QString(const QString &path, const QString &source)> m_locate;
    QueryResults *m_results = nullptr;
    QTreeView *m_list = nullptr;
    QMenu *m_menu = nullptr;
    bool m_reported = false;
};
