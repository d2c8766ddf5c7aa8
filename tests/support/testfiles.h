#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reading and writing the small files tests make and check.

// The file's bytes, or "<unreadable>" so a comparison fails visibly.
QByteArray fileBytes(const QString &path);

// Writes bytes to path, creating its folder; records a test failure and
// returns false when that fails.
bool writeBytes(const QString &path, const QByteArray &bytes);
// A file at a path given as its exact bytes, such as a name that is not
// UTF-8, which Qt can neither name nor remove: written when made (its
// folder must exist; a test failure is recorded when it cannot be), removed
// when it goes.
struct ExactFile
{
    ExactFile(QByteArray path, const QByteArray &bytes);
    ~ExactFile();
    ExactFile(const ExactFile &) = delete;
    ExactFile &operator=(const ExactFile &) = delete;

    const QByteArray path;
    bool written = false;
};

// The names in folder, hidden ones included, other than the names given:
// what killed saves left beside their files.
QStringList othersIn(const QString &folder, const QStringList &names);

// Special files that readers must refuse, made so that root cannot get
// past them either. Each records a test failure and returns false when
// it cannot be made.
bool makeFifo(const QString &path);
bool makeSymlink(const QString &target, const QString &link);
// A write-only attribute of sysfs: a plain file that not even root can
// open for reading ("Permission denied"), for a file of a damaged medium
// in a process the test does not run. Empty when there is none.
QString unreadableForRoot();
// A sparse file of the given size: its bytes are never written.
bool makeSparseFile(const QString &path, qint64 size);
