#include "browse/burnpreparation.h"

#include "base/platform/systempaths.h"

#include <QDir>

namespace BurnPreparation {

QString insertPrompt(const QString &source)
{
    return QStringLiteral("Please insert ") + source + QStringLiteral(" and press ok.");
}

QString verifyPrompt(const QString &source)
{
    return QStringLiteral("Please verify that ") + source + QStringLiteral(" is available.");
}

QString copyFailedQuestion(const BurnPlan::Copy &copy, const QString &error)
{
    return QStringLiteral("Could not copy %1 to %2: %3.\n\nGo on with the next file?")
        .arg(QDir::toNativeSeparators(copy.from), QDir::toNativeSeparators(copy.to), error);
}

Progress progressOf(const Run &run, qint64 number)
{
    const BurnPlan::Copy &copy = (*run.copies)[size_t(number - run.numberOffset - 1)];
    return {qsizetype(number), run.total, SystemPaths::fileNameOf(copy.from)};
}

RunOutcome runCopies(const Run &run, WorkProgress &progress)
{
    const std::vector<BurnPlan::Copy> &copies = *run.copies;
    for (size_t i = run.first; i < copies.size(); ++i) {
        if (progress.stopped())
            return {RunOutcome::Stopped, i, {}};
        const BurnPlan::Copy &copy = copies[i];
        progress.step(run.numberOffset + qsizetype(i) + 1, run.total);
        if (const BurnPlan::CopyResult copied = BurnPlan::copyFile(copy.opened, copy.to); !copied)
            return {copied.unopened ? RunOutcome::Unreadable : RunOutcome::CopyFailed, i, copied.error};
    }
    return {RunOutcome::Done, copies.size(), {}};
}

Sequence::Sequence(const RowStore &bin, QString destination, Prompter &prompter)
    : m_bin(bin), m_destination(std::move(destination)), m_prompter(prompter),
      m_sources(BurnPlan::sourcesInOrder(bin))
{
}

std::optional<Run> Sequence::next()
{
    while (!m_ended) {
        if (!m_inSource && !beginSource())
            break;
        if (m_first < m_copies.size())
            return Run{&m_copies, m_first, m_offset, m_bin.size()};
        // The source is done: on to the next one.
        m_result.failed += failedInSource();
        m_offset += qsizetype(m_copies.size());
        m_inSource = false;
    }
    return std::nullopt;
}

bool Sequence::beginSource()
{
    if (m_nextSource == m_sources.size()) {
        finish();
        return false;
    }
    const QString &source = m_sources[m_nextSource++];
    if (m_prompter.message(insertPrompt(source), Prompter::Icon::None, Prompter::Buttons::OkCancel) !=
        Prompter::Answer::Ok) {
        end(End::Cancelled, 0);
        return false;
    }
    m_source = source;
    m_copies = BurnPlan::copiesFor(m_bin, source, m_destination);
    m_failed.assign(m_copies.size(), false);
    m_first = 0;
    m_inSource = true;
    return true;
}

void Sequence::ran(const RunOutcome &outcome)
{
    switch (outcome.kind) {
    case RunOutcome::Done:
        m_first = m_copies.size();
        return;
    case RunOutcome::Stopped:
        end(End::Stopped, 0);
        return;
    case RunOutcome::Unreadable:
        if (m_prompter.message(verifyPrompt(m_source), Prompter::Icon::None, Prompter::Buttons::OkCancel) !=
            Prompter::Answer::Ok) {
            end(End::Cancelled, 0);
            return;
        }
        std::fill(m_failed.begin(), m_failed.end(), false); // the whole source is copied again
        m_first = 0;
        return;
    case RunOutcome::CopyFailed:
        m_failed[outcome.at] = true;
        if (m_prompter.message(copyFailedQuestion(m_copies[outcome.at], outcome.error), Prompter::Icon::Warning,
                               Prompter::Buttons::YesNo) != Prompter::Answer::Yes) {
            end(End::Stopped, failedInSource());
            return;
        }
        m_first = outcome.at + 1;
        return;
    }
}

qsizetype Sequence::failedInSource() const
{
    return qsizetype(std::count(m_failed.begin(), m_failed.end(), true));
}

void Sequence::end(End how, qsizetype failedHere)
{
    m_result = {how, m_result.failed + failedHere};
    m_ended = true;
}

void Sequence::finish()
{
    m_ended = true;
    const QString folder = QDir::toNativeSeparators(m_destination);
    if (m_result.failed == 0)
        m_prompter.message(QStringLiteral("All %1 files were copied to ").arg(m_bin.size()) + folder,
                           Prompter::Icon::Information);
    else
        m_prompter.message(
            QStringLiteral("%1 of %2 files were copied to ").arg(m_bin.size() - m_result.failed).arg(m_bin.size()) +
                folder,
            Prompter::Icon::Warning);
}

Result prepare(const RowStore &bin, const QString &destination, Prompter &prompter, const Runner &runner)
{
    Sequence sequence(bin, destination, prompter);
    while (const std::optional<Run> run = sequence.next())
        sequence.ran(runner(*run));
    return sequence.result();
}

} // namespace BurnPreparation
