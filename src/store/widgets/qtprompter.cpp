#include "store/widgets/qtprompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Line breaking may split a path after a "/" or a "-", which leaves the
// start of a path at the end of one line and the rest on the next. Word
// joiners between the characters of a path keep it on one line of its own;
// the box grows to fit it.
QString keepPathsWhole(const QString &text)
{
    QString kept;
    kept.reserve(text.size() * 2);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QStringView word = QStringView(text).mid(start, end - start);
        if (word.contains(QLatin1Char('/'))) {
            for (qsizetype i = 0; i < word.size(); ++i) {
                if (i > 0 && !word.at(i).isLowSurrogate())
                    kept += QChar(0x2060);
                kept += word.at(i);
            }
        } else {
            kept += word;
        }
        while (end < text.size() && text.at(end).isSpace())
            kept += text.at(end++);
        start = end;
    }
    return kept;
}

} // namespace

QWidget *QtPrompter::parent() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

Prompter::Answer QtPrompter::message(const QString &text, Icon icon, Buttons buttons, const QString &title)
{
    QMessageBox box(parent());
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(keepPathsWhole(text));
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::SaveDiscardCancel:
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    box.raise();
    box.activateWindow();
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Save: return Answer::Save;
    case QMessageBox::Discard: return Answer::Discard;
    default: break;
    }
    // The box was closed without a button: the answer that changes nothing.
    switch (buttons) {
    case Buttons::YesNo: return Answer::No;
    case Buttons::SaveDiscardCancel: return Answer::Cancel;
    default: return Answer::Ok;
    }
}

QString QtPrompter::textPrompt(const QString &prompt, const QString &title)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent(), title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

QString QtPrompter::chooseFolder(const QString &prompt, const QString &startFolder)
{
    // Not the working folder, which means nothing to a user who started
    // the program from a menu.
    return QFileDialog::getExistingDirectory(parent(), prompt,
                                             startFolder.isEmpty() ? QDir::homePath() : startFolder);
}

QString QtPrompter::openFileName(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getOpenFileName(parent(), title, startFolder, filter);
}

QString QtPrompter::saveFileName(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getSaveFileName(parent(), title, startFolder, filter);
}
