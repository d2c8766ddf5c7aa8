#pragma once

#include "browse/burnplan.h"
#include "base/platform/prompter.h"
#include "base/workprogress.h"

#include <functional>
#include <optional>

// The medium-by-medium sequence of Prepare, once the destination is known:
// for each source, ask for its medium, then copy its rows; an unreadable
// file asks to verify the medium and recopies the whole source; a copy
// that fails names the file and asks whether to go on.
//
// The copying itself is handed to a runner, so the window can run it off
// its thread while the questions stay modal on it; the questions come
// back here between runs.
namespace BurnPreparation {

// What a run of a source's copies (from one of them on) ended with.
struct RunOutcome
{
    enum Kind { Done, Unreadable, CopyFailed, Stopped };
    Kind kind = Done;
    size_t at = 0;  // the copy it ended on, for Unreadable and CopyFailed
    QString error;  // the reason, for CopyFailed
};

struct Progress
{
    qsizetype number = 0; // 1-based, of total
    qsizetype total = 0;
    QString name;         // the file's name
};

// The copies of one source, from index first on.
struct Run
{
    const std::vector<BurnPlan::Copy> *copies = nullptr;
    size_t first = 0;
    qsizetype numberOffset = 0; // rows of the sources before this one
    qsizetype total = 0;
};

// The copy numbered number (1-based, of run.total) of the run, as shown.
Progress progressOf(const Run &run, qint64 number);

// Copies run.copies[first..] in order, a step of progress with each
// copy's number as it begins: a file that cannot be opened (the medium is
// not in) ends the run as Unreadable; stops before the next file once a
// stop is asked for.
RunOutcome runCopies(const Run &run, WorkProgress &progress);

using Runner = std::function<RunOutcome(const Run &)>;

enum class End { Finished, Cancelled, Stopped };

struct Result
{
    End end = End::Finished;
    qsizetype failed = 0; // rows whose copy failed and were passed over
};

// The sequence for bin into destination (with its closing separator),
// one run of copies at a time: next() asks what there is to ask and gives
// the copies to run, ran() takes what they came to. The window runs each
// off its thread and comes back here with the outcome; the closing
// message shows when next() finds nothing left.
class Sequence
{
public:
    Sequence(const RowStore &bin, QString destination, Prompter &prompter);
    // The copies to run next; nothing once the sequence has ended.
    std::optional<Run> next();
    void ran(const RunOutcome &outcome);
    const Result &result() const { return m_result; }

private:
    bool beginSource(); // asks for the next medium; false when it ended
    qsizetype failedInSource() const;
    void end(End how, qsizetype failedHere);
    void finish();

    const RowStore &m_bin;
    const QString m_destination;
    Prompter &m_prompter;
    const QStringList m_sources;
    qsizetype m_nextSource = 0;
    QString m_source;
    std::vector<BurnPlan::Copy> m_copies;
    std::vector<bool> m_failed;
    size_t m_first = 0;
    qsizetype m_offset = 0;
    bool m_inSource = false;
    bool m_ended = false;
    Result m_result;
};

// Runs the whole sequence, each run through runner.
Result prepare(const RowStore &bin, const QString &destination, Prompter &prompter, const Runner &runner);

QString insertPrompt(const QString &source);
QString verifyPrompt(const QString &source);
QString copyFailedQuestion(const BurnPlan::Copy &copy, const QString &error);

} // namespace BurnPreparation
