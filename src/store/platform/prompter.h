#pragma once

#include <QString>

// Every modal question the program asks passes through a Prompter, so the
// desktop program can show real dialogs and tests can script the answers.
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, SaveDiscardCancel, RescanAddCancel, CatalogueShownMarkedCancel };
    enum class Answer { Ok, Cancel, Yes, No, Save, Discard, Rescan, Add, Catalogue, Shown, Marked };

    virtual ~Prompter() = default;

    // A message box; title defaults to the program's name.
    virtual Answer message(const QString &text, Icon icon, Buttons buttons = Buttons::Ok,
                           const QString &title = QString()) = 0;
    // A text prompt with one empty field; Cancel gives an empty text.
    virtual QString textPrompt(const QString &prompt, const QString &title) = 0;
    // Folder chooser; empty when cancelled.
    virtual QString chooseFolder(const QString &prompt, const QString &startFolder = QString()) = 0;
    // File dialogs with a filter such as "Library (*.odl)"; empty when
    // cancelled. The save dialog asks nothing about an existing file: the
    // caller makes its own test.
    virtual QString openFileName(const QString &title, const QString &filter,
                                 const QString &startFolder = QString()) = 0;
    virtual QString saveFileName(const QString &title, const QString &filter,
                                 const QString &startFolder = QString()) = 0;

    static QString applicationTitle() { return QStringLiteral("Ondro"); }
};
