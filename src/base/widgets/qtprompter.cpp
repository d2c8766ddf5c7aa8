#include "base/widgets/qtprompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

// Wide enough for its title and, as far as the screen allows, for each
// path of its text on one line. The text itself is shown as it is, so a
// screen reader reads a path as a path and a copied path works; a path
// wider than the screen still wraps, after a "/" first.
void widenForTitleAndPaths(QMessageBox &box, const QString &text)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    const QFontMetrics metrics(box.font());
    // The title bar also holds the window manager's buttons.
    int wanted = metrics.horizontalAdvance(box.windowTitle()) + 12 * metrics.averageCharWidth();
    for (const QStringView line : QStringView(text).split(QChar(u'\n'))) {
        // A line that is a path is one path, spaces and all.
        if (line.trimmed().startsWith(QLatin1Char('/'))) {
            wanted = std::max(wanted, metrics.horizontalAdvance(line.trimmed().toString()));
            continue;
        }
        for (const QStringView word : line.split(QChar(u' '), Qt::SkipEmptyParts)) {
            if (word.contains(QLatin1Char('/')))
                wanted = std::max(wanted, metrics.horizontalAdvance(word.trimmed().toString()));
        }
    }
    if (const QScreen *screen = box.screen())
        wanted = std::min({wanted, screen->availableGeometry().width() * 3 / 5, 800});
    // A strut under the text: the box lays out and wraps the text itself,
    // never narrower than this.
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

QWidget *QtPrompter::parent() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

// Title, text and icon of a box; the buttons are the caller's.
void QtPrompter::show(QMessageBox &box, const QString &text, Icon icon, const QString &title)
{
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
}

Prompter::Answer QtPrompter::message(const QString &text, Icon icon, Buttons buttons, const QString &title)
{
    QMessageBox box(parent());
    show(box, text, icon, title);
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
    widenForTitleAndPaths(box, text);
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

int QtPrompter::choose(const Choice &choice)
{
    QMessageBox box(parent());
    show(box, choice.text, choice.icon, choice.title);
    QList<QPushButton *> buttons;
    for (const QString &caption : choice.captions)
        buttons << box.addButton(caption, QMessageBox::AcceptRole);
    if (choice.defaultChoice >= 0 && choice.defaultChoice < buttons.size())
        box.setDefaultButton(buttons.at(choice.defaultChoice));
    box.setEscapeButton(box.addButton(QMessageBox::Cancel));
    widenForTitleAndPaths(box, choice.text);
    box.raise();
    box.activateWindow();
    box.exec();
    // Cancel, or closed without a button: not one of the captions.
    return int(buttons.indexOf(box.clickedButton()));
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
    // No overwrite question: the callers test for an existing file and say
    // what they do about it.
    return QFileDialog::getSaveFileName(parent(), title, startFolder, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}
