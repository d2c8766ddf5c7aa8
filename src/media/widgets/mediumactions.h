#pragma once

#include <QObject>
#include <QString>
#include <functional>

class CatalogueModel;
class MediaSession;
class QAction;
class Prompter;
class QMenu;
class QWidget;
class RescanFlow;
class VerifyWindow;

// What the user does to a whole medium, from the Media window and the main
// list alike: Rename (every entry and the register record take the new
// ID), Relocate (a rescan from the medium's new folder), Remove (its
// entries and its record, after a question giving the count) and Verify
// (every file read whole as long work, its problems marked on the entries
// and the result noted in the register, then shown). The entries change as
// any edit does, unsaved until the catalogue's Save.
class MediumActions : public QObject
{
    Q_OBJECT

public:
    // rescan relocates; it belongs to window.
    MediumActions(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, RescanFlow &rescan,
                  QWidget *window);

    void rename(const QString &source);
    void relocate(const QString &source);
    void remove(const QString &source);
    void verify(const QString &source);

    // Adds Rename, Relocate... and Remove to menu, each acting on the
    // medium source() names when chosen (nothing when it is empty); the
    // actions, in that order.
    QList<QAction *> addTo(QMenu *menu, std::function<QString()> source);

Q_SIGNALS:
    // The catalogue's entries changed (renamed or removed).
    void catalogueChanged();
    // A verification's results are shown.
    void verifyWindowOpened(VerifyWindow *window);

private:
    void tell(const QString &failure);

    CatalogueModel &m_catalogue;
    MediaSession &m_media;
    Prompter &m_prompter;
    RescanFlow &m_rescan;
    QWidget *m_window;
    bool m_verifying = false;
};
