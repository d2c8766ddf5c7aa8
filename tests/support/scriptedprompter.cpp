#include "scriptedprompter.h"

Prompter::Answer ScriptedPrompter::message(const QString &text, Icon icon, Buttons buttons, const QString &title)
{
    shown.append({QStringLiteral("message"), text, title.isEmpty() ? applicationTitle() : title, icon, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QString ScriptedPrompter::textPrompt(const QString &prompt, const QString &title)
{
    shown.append({QStringLiteral("text"), prompt, title});
    return texts.isEmpty() ? QString() : texts.dequeue();
}

QString ScriptedPrompter::chooseFolder(const QString &prompt, const QString &)
{
    shown.append({QStringLiteral("folder"), prompt, {}});
    return texts.isEmpty() ? QString() : texts.dequeue();
}

QString ScriptedPrompter::openFileName(const QString &title, const QString &filter, const QString &)
{
    shown.append({QStringLiteral("open"), title, filter});
    return texts.isEmpty() ? QString() : texts.dequeue();
}

QString ScriptedPrompter::saveFileName(const QString &title, const QString &filter, const QString &)
{
    shown.append({QStringLiteral("save"), title, filter});
    return texts.isEmpty() ? QString() : texts.dequeue();
}

QStringList ScriptedPrompter::messages() const
{
    QStringList result;
    for (const Shown &s : shown)
        if (s.kind == QLatin1String("message"))
            result << s.text;
    return result;
}
