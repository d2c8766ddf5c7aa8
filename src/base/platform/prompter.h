#pragma once

#include <QString>
#include <QStringList>

// Every modal question the program asks passes through a Prompter, so the
// desktop program can show real dialogs and tests can script the answers.
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, SaveDiscardCancel };
    enum class Answer { Ok, Cancel, Yes, No, Save, Discard };

    // A question whose answers the asking feature names: one button per
    // caption (with its & accelerator), in order, then Cancel, which is
    // also the escape. The caption at defaultChoice is the default button.
    struct Choice
    {
        QString text;
        QStringList captions;
        int defaultChoice = 0;
        Icon icon = Icon::None;
        QString title = {};
    };
    static constexpr int Cancelled = -1;

    virtual ~Prompter() = default;

    // A message box; title defaults to the program's name.
    virtual Answer message(const QString &text, Icon icon, Buttons buttons = Buttons::Ok,
                           const QString &title = QString()) = 0;
    // The index of the caption chosen; Cancelled for Cancel or a box
    // closed without a button.
    virtual int choose(const Choice &choice) = 0;
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
