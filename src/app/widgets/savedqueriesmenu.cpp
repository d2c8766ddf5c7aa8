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
    // Rename and Delete each list the names to pick from.
    QMenu *rename = menu->addMenu(QStringLiteral("&Rename Query"));
    rename->menuAction()->setObjectName(QStringLiteral("mnuRenameQuery"));
    QMenu *remove = menu->addMenu(QStringLiteral("&Delete Query"));
    remove->menuAction()->setObjectName(QStringLiteral("mnuDeleteQuery"));
    for (const SavedQueries::Query &query : read.list.queries) {
        connect(rename->addAction(query.name), &QAction::triggered, this, [this, name = query.name] { renameQuery(name); });
        connect(remove->addAction(query.name), &QAction::triggered, this, [this, name = query.name] { deleteQuery(name); });
    }
    rename->setEnabled(read.usable() && !read.list.queries.isEmpty());
    remove->setEnabled(rename->isEnabled());
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
    auto existing = SavedQueries::Existing::Refuse;
    const SavedQueries::ReadResult saved = SavedQueries::read(m_path); // outlives the query found in it
    if (const SavedQueries::Query *old = saved.list.find(name)) {
        if (m_prompter.message(QStringLiteral("A saved query is already named \"%1\" (%2). Replace it?")
                                   .arg(name, old->text),
                               Prompter::Icon::Warning, Prompter::Buttons::YesNo,
                               QStringLiteral("Save Query")) != Prompter::Answer::Yes)
            return;
        existing = SavedQueries::Existing::Replace;
    }
    report(SavedQueries::putQuery(m_path, name, text, existing));
}

void SavedQueriesMenu::renameQuery(const QString &name)
{
    const QString to = m_prompter.textPrompt(QStringLiteral("Rename the saved query \"%1\" to:").arg(name),
                                             QStringLiteral("Rename Query")).trimmed();
    if (!to.isEmpty())
        report(SavedQueries::renameQuery(m_path, name, to));
}

void SavedQueriesMenu::deleteQuery(const QString &name)
{
    if (m_prompter.message(QStringLiteral("Delete the saved query \"%1\"?").arg(name), Prompter::Icon::Warning,
                           Prompter::Buttons::YesNo, QStringLiteral("Delete Query")) == Prompter::Answer::Yes)
        report(SavedQueries::removeQuery(m_path, name));
}

void SavedQueriesMenu::report(const SaveResult &saved)
{
    if (!saved.ok)
        m_prompter.message(saveFailureMessage(m_path, saved), Prompter::Icon::Critical);
}
