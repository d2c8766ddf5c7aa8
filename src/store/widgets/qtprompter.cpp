#include "store/widgets/qtprompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

QWidget *QtPrompter::parent() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

Prompter::Answer QtPrompter::message(const QString &text, Icon icon, Buttons buttons, const QString &title)
{
    QMessageBox box(parent());
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    box.setText(text);
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
    return QFileDialog::getExistingDirectory(parent(), prompt, startFolder);
}

QString QtPrompter::openFileName(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getOpenFileName(parent(), title, startFolder, filter);
}

QString QtPrompter::saveFileName(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getSaveFileName(parent(), title, startFolder, filter);
}
