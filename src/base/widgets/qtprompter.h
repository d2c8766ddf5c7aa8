#pragma once

#include "base/platform/prompter.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

// The Prompter of the desktop program: Qt's message boxes, input dialog
// and file dialogs, owned by the main window once it exists.
class QtPrompter : public Prompter
{
public:
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer message(const QString &text, Icon icon, Buttons buttons, const QString &title) override;
    int choose(const Choice &choice) override;
    QString textPrompt(const QString &prompt, const QString &title) override;
    QString chooseFolder(const QString &prompt, const QString &startFolder) override;
    QString openFileName(const QString &title, const QString &filter, const QString &startFolder) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &startFolder) override;

private:
    void show(QMessageBox &box, const QString &text, Icon icon, const QString &title);
    QWidget *parent() const;
    QPointer<QWidget> m_parent;
};
