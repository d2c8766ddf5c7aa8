#pragma once

#include <QDialog>
#include <functional>

class Prompter;
class QComboBox;
class QLabel;
class QListWidget;

// The cover dialog: a drive list, a folder list and a file list that follow
// each other, and a preview of the chosen file. "&Ok" hands the chosen
// file's full path to attach(), which gives false when there is nothing to
// attach to (the dialog then stays open).
class Form3 : public QDialog
{
    Q_OBJECT
public:
    using Attach = std::function<bool(const QString &coverPath)>;

    Form3(const QString &coverFolder, Attach attach, Prompter &prompter, QWidget *parent = nullptr);

    // The folder the file list shows, as the folder list reports it.
    QString folder() const { return m_folder; }
    // Moves the folder list (and the file list) there; false when the
    // folder cannot be listed, leaving both where they were.
    bool setFolder(const QString &path);
    // Chooses the named file of the file list, as a user would.
    bool chooseFile(const QString &name);

private:
    void buildControls();
    void driveActivated(int index);
    void fileChosen();
    void ok();
    void showPreview(const QString &path);

    Attach m_attach;
    Prompter &m_prompter;
    QString m_folder;
    QComboBox *m_drives = nullptr;
    QListWidget *m_dirs = nullptr;
    QListWidget *m_files = nullptr;
    QLabel *m_image = nullptr;
};
