#pragma once

#include "base/atomicsave.h"

#include <QObject>

class Prompter;
class QLineEdit;
class QToolButton;

// The filter box's saved queries (queries.json in the data folder): its
// drop-down lists them by name, choosing one puts it in the box, and
// "Save Query..." keeps the query in the box under a name (asking before
// it replaces one), Rename Query and Delete Query manage them.
class SavedQueriesMenu : public QObject
{
    Q_OBJECT
public:
    SavedQueriesMenu(QToolButton *button, QLineEdit *field, const QString &path, Prompter &prompter);

    void saveQuery();
    void renameQuery(const QString &name);
    void deleteQuery(const QString &name);

private:
    void fill();
    void report(const SaveResult &saved);

    QToolButton *m_button;
    QLineEdit *m_field;
    const QString m_path;
    Prompter &m_prompter;
};
