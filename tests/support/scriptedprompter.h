#pragma once

#include "base/platform/prompter.h"

#include <QList>
#include <QQueue>
#include <QString>

// A Prompter for tests: records every question and gives queued answers.
// A notice (a box with OK only) needs no answer; any other question with
// no answer queued fails the test (queue an empty text to cancel a prompt).
class ScriptedPrompter : public Prompter
{
public:
    struct Shown
    {
        QString kind; // "message", "choice", "text", "folder", "open", "save"
        QString text; // message text or prompt / dialog title
        QString title; // or the folder a folder chooser starts in
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QStringList captions = {}; // of a choice
    };

    QList<Shown> shown;
    QQueue<Answer> answers;
    QQueue<QString> texts; // answers of text prompts and file/folder choosers
    QQueue<QString> picks; // captions chosen in choices; an empty one cancels

    Answer message(const QString &text, Icon icon, Buttons buttons, const QString &title) override;
    int choose(const Choice &choice) override;
    QString textPrompt(const QString &prompt, const QString &title) override;
    QString chooseFolder(const QString &prompt, const QString &startFolder) override;
    QString openFileName(const QString &title, const QString &filter, const QString &startFolder) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &startFolder) override;

    QStringList messages() const; // the texts of the message boxes shown

private:
    QString nextText(const QString &kind, const QString &text);
};
