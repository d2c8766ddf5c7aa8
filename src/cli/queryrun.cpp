#include "cli/queryrun.h"
#include "cli/savedqueryexpand.h"

#include "browse/duplicates.h"
#include "browse/querymatcher.h"
#include "browse/queryparser.h"
#include "cli/clicatalogue.h"
#include "cli/clioutput.h"
#include "cli/scanrun.h"
#include "catalogue/cataloguelistfile.h"
#include "browse/querymedia.h"
#include "media/mediastate.h"

#include <algorithm>
#include <bit>
#include <optional>

namespace {

constexpr qsizetype BatchRows = 4096;

// The matching pass: records gathered in a batch, matched a batch at a time.
class MatchPass : public CatalogueListFile::RecordVisitor
{
public:
    MatchPass(const Query::Matcher &matcher, const QueryRun::Matched &matched) : m_matcher(matcher), m_matched(matched)
    {
    }
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        if (!m_going)
            return;
        m_batch.appendUtf8(fields, EntryOrigin::Own, extension);
        if (m_batch.size() == BatchRows)
            flush();
    }
    void flush()
    {
        // A query without an answer (see Matcher::error) matches nothing more.
        for (qsizetype first = 0; first < m_batch.size(); first += 64) {
            const int count = int(std::min<qsizetype>(64, m_batch.size() - first));
            for (quint64 bits = m_matcher.matchBits(m_batch, first, count, m_first + first); bits && m_going;
                 bits &= bits - 1)
                m_going = m_matched(EntryView::of(m_batch, first + std::countr_zero(bits)));
        }
        m_first += m_batch.size();
        m_batch.clear();
        m_batch.reserve(BatchRows); // the next batch grows no table
    }

private:
    const Query::Matcher &m_matcher;
    const QueryRun::Matched &m_matched;
    RowStore m_batch;
    qsizetype m_first = 0;
    bool m_going = true;
};

// Whether the tree looks at the media: their label, note, scan time or online state.
bool usesMedia(const Query::Node *node)
{
    if (!node)
        return false;
    if (node->kind == Query::Node::Kind::Term) {
        const Query::Field f = node->term.field;
        return f == Query::Field::Label || f == Query::Field::Note || f == Query::Field::IsOnline
               || f == Query::Field::IsOffline || f == Query::Field::Scanned || f == Query::Field::Verified
               || f == Query::Field::IsUnverified;
    }
    for (const auto &child : node->children) {
        if (usesMedia(child.get()))
            return true;
    }
    return false;
}

} // namespace

namespace QueryRun {

void FirstPass::record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension)
{
    finder.add(fields, extension);
    samples.record(fields, extension);
}

int checkExpression(const CliContext &context, const QString &expression)
{
    if (!context.queryIsUtf8(expression))
        return StatusUsage;
    QString expanded;
    if (const int status = expandSavedQueries(context, expression, expanded); status != StatusSuccess)
        return status;
    if (const Query::Parsed parsed = Query::parse(expanded); !parsed.ok()) {
        CliIo::error(parsed.error);
        return StatusUsage;
    }
    return StatusSuccess;
}

QString changedWhileRead(const QString &file)
{
    return QStringLiteral("The catalogue %1 was changed by another program while it was read; run the command again.")
        .arg(file);
}

namespace {

// The first pass, for a query about duplicates or media: their flags and
// the media into queryContext. false after a message.
bool readFirstPass(const CliContext &context, const Query::Node *root, Query::Context &queryContext,
                   std::vector<quint8> &flags, FileStamp &stamp)
{
    const QString file = context.catalogueFile();
    QueryRun::FirstPass first;
    const CatalogueListFile::ReadResult read = CatalogueListFile::visit(file, first);
    if (!CliIo::reportRead(file, read))
        return false;
    stamp = read.stamp;
    if (Query::usesDuplicates(root)) {
        flags = Query::duplicateFlagsOf(first.finder);
        queryContext.duplicates = &flags;
    }
    if (usesMedia(root)) {
        MediaRegister registered;
        if (!ScanRun::readRegister(context, registered))
            return false;
        queryContext.media = Query::mediaOf(registered, MediaStates::mountedNow(registered, first.samples));
    }
    return true;
}

// The matching pass, behind a first one when the query needs it; nullopt
// when the file was replaced between the two.
std::optional<int> matchOnce(const CliContext &context, const Query::Node *root, const QueryRun::Matched &matched)
{
    Query::Context queryContext;
    std::vector<quint8> flags;
    const bool twoPasses = Query::usesDuplicates(root) || usesMedia(root);
    FileStamp stamp;
    if (twoPasses && !readFirstPass(context, root, queryContext, flags, stamp))
        return StatusFailure;
    if (twoPasses && context.betweenPasses)
        context.betweenPasses();
    const QString file = context.catalogueFile();
    const Query::Matcher matcher(root, std::move(queryContext));
    MatchPass pass(matcher, matched);
    QueryRun::LaterPass later(stamp, pass);
    CatalogueListFile::RecordVisitor &visitor = twoPasses ? static_cast<CatalogueListFile::RecordVisitor &>(later) : pass;
    const CatalogueListFile::ReadResult read = CatalogueListFile::visit(file, visitor);
    if (twoPasses && read.state != CatalogueListFile::ReadState::Unreadable && !later.sameFile())
        return std::nullopt;
    if (read.state != CatalogueListFile::ReadState::Unreadable)
        pass.flush();
    if (!CliIo::reportRead(file, read))
        return StatusFailure;
    if (const QString error = matcher.error(); !error.isEmpty()) {
        CliIo::error(error);
        return StatusFailure;
    }
    return StatusSuccess;
}

} // namespace

int forEachMatch(const CliContext &context, const QString &expression, const Matched &matched)
{
    QString expanded;
    if (const int status = expandSavedQueries(context, expression, expanded); status != StatusSuccess)
        return status;
    const Query::Parsed parsed = Query::parse(expanded);
    if (!parsed.ok()) {
        CliIo::error(parsed.error);
        return StatusUsage;
    }
    for (int attempt = 0; attempt < PassAttempts; ++attempt) {
        if (const std::optional<int> status = matchOnce(context, parsed.root.get(), matched))
            return *status;
    }
    CliIo::error(changedWhileRead(context.catalogueFile()));
    return StatusFailure;
}

} // namespace QueryRun
