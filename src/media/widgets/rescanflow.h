#pragma once

#include "media/rescanservice.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class CatalogueModel;
class MediaSession;
class Prompter;
class QFutureWatcherBase;
class QWidget;

// A rescan in the desktop program: the medium is walked again as long work
// (the window held busy, Stop offered), its entries compared with what was
// found, and the changes applied only when the user says Yes to the
// summary. A stopped or failed walk changes nothing.
class RescanFlow : public QObject
{
    Q_OBJECT

public:
    RescanFlow(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, QWidget *window);
    ~RescanFlow() override;

    // Rescans source from root, or from the medium's current root when
    // root is empty (the medium must then be online). Does nothing while a
    // rescan runs.
    void start(const QString &source, const QString &root = {});
    bool isRunning() const { return !m_work.isNull(); }
    // What the last rescan did, in one line for a status line; empty when
    // it was stopped by the user.
    const QString &outcome() const { return m_outcome; }
    // The entries the last rescan changed, once applied (0 when it found
    // nothing to change); none when its changes were not applied.
    std::optional<qsizetype> changedEntries() const { return m_changed; }

Q_SIGNALS:
    // The rescan has ended; applied says whether the catalogue changed.
    void finished(bool applied);

private:
    void ended(const RescanService::Plan &plan, RescanService::Found found);

    CatalogueModel &m_catalogue;
    MediaSession &m_media;
    Prompter &m_prompter;
    QWidget *m_window;
    QPointer<QFutureWatcherBase> m_work;
    QString m_outcome;
    std::optional<qsizetype> m_changed;
};
