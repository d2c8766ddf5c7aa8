#include "app/widgets/savedqueriesmenu.h"

#include "base/platform/prompter.h"
#include "browse/savedqueries.h"

#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

SavedQueriesMenu::SavedQueriesMenu(QToolButton *button, QLineEdit *field, const QString &path, Prompter &prompter)
    : QObject(button), m_button(button), m_field(field), m_path(path), m_prompter(prompter)
{
    // Read each time it opens: another copy of the program may have saved one.
    connect(m_button->menu(), &QMenu::aboutToShow, this, &SavedQueriesMenu::fill);
}

void SavedQueriesMenu::fill()
{
    QMenu *menu = m_button->menu();
    menu->clear();
    const SavedQueries::ReadResult read = SavedQueries::read(m_path);
    if (!read.usable()) {
        menu->addAction(read.problem)->setEnabled(false);
    } else if (read.list.queries.isEmpty()) {
        menu->addAction(QStringLiteral("No saved queries"))->setEnabled(false);
    }
    for (const SavedQueries::Query &query : read.list.queries) {
        QAction *choose = menu->addAction(query.name);
        choose->setToolTip(query.text);
        connect(choose, &QAction::triggered, m_field, [field = m_field, text = query.text] { field->setText(text); });
    }
    menu->addSeparator();
    QAction *save = menu->addAction(QStringLiteral("&Save Query..."));
    save->setObjectName(QStringLiteral("mnuSaveQuery"));
    save->setEnabled(read.usable() && !m_field->text().trimmed().isEmpty());
    connect(save, &QAction::triggered, this, &SavedQueriesMenu::saveQuery);
}

void SavedQueriesMenu::saveQuery()
{
    const QString text = m_field->text().trimmed();
    if (text.isEmpty())
        return;
    const QString name = m_prompter.textPrompt(QStringLiteral("Save the query \"%1\" as:").arg(text),
                                               QStringLiteral("Save Query")).trimmed();
    if (name.isEmpty())
        return;
    if (const SaveResult saved = SavedQueries::putQuery(m_path, name, text); !saved.ok)
        m_prompter.message(saveFailureMessage(m_path, saved), Prompter::Icon::Critical);
}
