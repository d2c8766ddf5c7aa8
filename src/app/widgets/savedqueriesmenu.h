#pragma once

#include <QObject>

class Prompter;
class QLineEdit;
class QToolButton;

// The filter box's saved queries (queries.json in the data folder): its
// drop-down lists them by name, choosing one puts it in the box, and
// "Save Query..." keeps the query in the box under a name.
class SavedQueriesMenu : public QObject
{
    Q_OBJECT
public:
    SavedQueriesMenu(QToolButton *button, QLineEdit *field, const QString &path, Prompter &prompter);

    void saveQuery();

private:
    void fill();

    QToolButton *m_button;
    QLineEdit *m_field;
    const QString m_path;
    Prompter &m_prompter;
};
