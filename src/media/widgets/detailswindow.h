#pragma once

#include "catalogue/trackrecord.h"

#include <QByteArrayView>
#include <QDialog>

#include <functional>
#include <QPixmap>

class Platform;
class Prompter;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The track details window: the tag fields, source, cover picture and
// decoded frame header of one catalogue entry, and a button that plays
// the file with the desktop's program for it. Never changes the entry.
// From the entry's facts (its extension line) it shows the track and disc
// numbers and says when the playing time is estimated or the file damaged,
// each only when the facts hold it.
class Form4 : public QDialog
{
    Q_OBJECT
public:
    // cover: the picture the main window shows for the entry (the attached
    // cover, else the one in the file's tag, else its folder's), or a null
    // pixmap when it shows none. extensionLine: the entry's, whose raw=
    // (EntryPath) says the name's bytes are not UTF-8 and which bytes open it.
    Form4(const CatalogueEntry &entry, const QPixmap &cover, Platform &platform, Prompter &prompter,
          QWidget *parent = nullptr, QByteArrayView extensionLine = {});

    // Opens the file with its program, offering to retry while the shell
    // reports a failure to start it (codes 0 to 2).
    void launchPlayer();
    // The question when the file cannot be opened because its medium is
    // not mounted (which medium to insert); empty when it is.
    void setOfflineQuestion(std::function<QString()> question) { m_offlineQuestion = std::move(question); }
    // The picture to show, when the main window's came after this window opened.
    void setCover(const QPixmap &cover);

private:
    // The parts of the window, each made once by the constructor: the tag
    // fields, the cover, the decoded frame header (as wide as the screen
    // of parent allows) and the row of the play button, source and Ok.
    QGroupBox *tagsFrame(const TrackRecord &r, QByteArrayView facts);
    QGroupBox *coverFrame();
    QGroupBox *headerFrame(const QString &header, QByteArrayView facts, QWidget *parent);
    QHBoxLayout *buttonRow(const CatalogueEntry &entry);
    // The file's measured facts (playing time, bitrate and mode, sample
    // rate, encoder, size); none when the entry has none of them.
    QGroupBox *factsFrame(QByteArrayView facts);
    void showCover();

    QString m_path; // as the desktop's opener takes it (EntryPath::openable)
    QPixmap m_cover;
    Platform &m_platform;
    Prompter &m_prompter;
    QLabel *m_coverImage = nullptr;
    std::function<QString()> m_offlineQuestion;
};
