#include "scriptedprompter.h"

#include <QTest>

namespace {
// A question the test did not expect fails it; the answer is then the
// one that changes nothing.
void unexpected(const QString &kind, const QString &text)
{
    QTest::qFail(qPrintable(QStringLiteral("no answer queued for the %1 \"%2\"").arg(kind, text)), __FILE__,
                 __LINE__);
}
} // namespace

Prompter::Answer ScriptedPrompter::message(const QString &text, Icon icon, Buttons buttons, const QString &title)
{
    shown.append({QStringLiteral("message"), text, title.isEmpty() ? applicationTitle() : title, icon, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    if (buttons == Buttons::Ok)
        return Answer::Ok; // a notice, not a question
    unexpected(QStringLiteral("question"), text);
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel; // Cancel also keeps a window open
}

int ScriptedPrompter::choose(const Choice &choice)
{
    shown.append({QStringLiteral("choice"), choice.text, choice.title.isEmpty() ? applicationTitle() : choice.title,
                  choice.icon, Buttons::Ok, choice.captions});
    if (picks.isEmpty()) {
        unexpected(QStringLiteral("choice"), choice.text);
        return Cancelled;
    }
    const QString pick = picks.dequeue();
    if (pick.isEmpty())
        return Cancelled;
    const int chosen = int(choice.captions.indexOf(pick));
    if (chosen == Cancelled)
        unexpected(QStringLiteral("caption"), pick);
    return chosen;
}

QString ScriptedPrompter::nextText(const QString &kind, const QString &text)
{
    if (texts.isEmpty()) {
        unexpected(kind, text);
        return {};
    }
    return texts.dequeue();
}

QString ScriptedPrompter::textPrompt(const QString &prompt, const QString &title)
{
    shown.append({QStringLiteral("text"), prompt, title});
    return nextText(QStringLiteral("text prompt"), prompt);
}

QString ScriptedPrompter::chooseFolder(const QString &prompt, const QString &startFolder)
{
    shown.append({QStringLiteral("folder"), prompt, startFolder});
    return nextText(QStringLiteral("folder chooser"), prompt);
}

QString ScriptedPrompter::openFileName(const QString &title, const QString &filter, const QString &)
{
    shown.append({QStringLiteral("open"), title, filter});
    return nextText(QStringLiteral("open dialog"), title);
}

QString ScriptedPrompter::saveFileName(const QString &title, const QString &filter, const QString &)
{
    shown.append({QStringLiteral("save"), title, filter});
    return nextText(QStringLiteral("save dialog"), title);
}

QStringList ScriptedPrompter::messages() const
{
    QStringList result;
    for (const Shown &s : shown)
        if (s.kind == QLatin1String("message"))
            result << s.text;
    return result;
}
