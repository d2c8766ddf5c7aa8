#include "browse/querymatcher.h"

#include "browse/queryregex.h"
#include "browse/queryvalues.h"
#include "browse/yearnumber.h"
#include "base/bytescan.h"
#include "catalogue/extensionline.h"
#include "base/foldedsearch.h"
#include "base/textfold.h"

#include <ctime>
#include <string_view>
#include <unordered_map>

namespace Query {

namespace {

// The text fields a bare word looks in: path to genre, back to back in a
// row's block.
constexpr int LastAnyField = FieldGenre;

std::atomic<quint64> nextSerial{1};

// The most processor time (each thread's own clock, which a busy machine
// does not stretch) rows of a query with a regular expression may take,
// all threads together: half a second and 1.5 microseconds a row (an
// ordinary pattern takes about one), so a million rows end within two
// seconds whatever the pattern, rows each within its budget adding up.
constexpr qint64 PassBaseNs = 500'000'000;
constexpr qint64 PassRowNs = 1'500;

qint64 threadNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// A term made ready once: its kind of comparison, a regular expression compiled.
struct Prepared
{
    Node::Kind kind = Node::Kind::Term;
    std::vector<int> children;
    Term term;
    bool asciiNeedle = false;
    std::optional<TextFold::FoldedAsciiSearch> folded; // an ASCII needle
    std::optional<Regex> regex;
};

struct MediumText
{
    QByteArray label, note; // folded
    std::optional<bool> online;
    std::optional<qint64> scanned, verified;
};

// What each thread keeps between rows: folding room, the medium of the last row.
struct Scratch
{
    QByteArray folded;
    quint64 lastSerial = 0;
    QByteArray lastSource;
    const MediumText *lastMedium = nullptr;
    qsizetype flagsRow = 0; // the row of the duplicates flags
};

Scratch &scratch()
{
    thread_local Scratch s;
    return s;
}

std::string_view view(QByteArrayView bytes)
{
    return {bytes.data(), size_t(bytes.size())};
}

} // namespace

struct Matcher::Impl
{
    std::vector<Prepared> nodes; // nodes[0] is the root
    std::unordered_map<std::string_view, MediumText> media;
    std::vector<QByteArray> sources; // the keys' bytes
    const std::vector<quint8> *duplicates = nullptr;
    quint64 serial = nextSerial++;
    int firstRegex = -1; // the node of the first regular expression, if any
    // The first row a regular expression was too costly at, and its node
    // (-1 while none was); the time and rows of its passes.
    mutable std::atomic<qint64> costlyRow{-1};
    mutable std::atomic<int> costlyNode{-1};
    mutable std::atomic<qint64> spentNs{0};
    mutable std::atomic<qint64> rowsSeen{0};

    void tooCostly(qint64 row, int index) const
    {
        qint64 none = -1;
        if (costlyRow.compare_exchange_strong(none, row))
            costlyNode = index;
    }

    int prepare(const Node &node, qint64 now)
    {
        const int index = int(nodes.size());
        nodes.emplace_back();
        nodes[size_t(index)].kind = node.kind;
        nodes[size_t(index)].term = node.term;
        if (node.kind == Node::Kind::Term) {
            Prepared &p = nodes[size_t(index)];
            p.term.low += p.term.lowFromNow ? double(now) : 0;
            p.term.high += p.term.highFromNow ? double(now) : 0;
            p.asciiNeedle = ByteScan::isAscii(p.term.text);
            if (p.asciiNeedle && !p.term.text.isEmpty())
                p.folded.emplace(p.term.text);
            if (p.term.op == Op::Regex) {
                p.regex.emplace(p.term.text);
                if (p.regex->valid() && firstRegex < 0)
                    firstRegex = index;
            }
        }
        for (const auto &child : node.children) {
            const int c = prepare(*child, now);
            nodes[size_t(index)].children.push_back(c);
        }
        return index;
    }

    const MediumText *mediumOf(QByteArrayView source, Scratch &s) const
    {
        if (s.lastSerial != serial || s.lastSource != source) {
            const auto it = media.find(view(source));
            s.lastSerial = serial;
            s.lastSource = source.toByteArray(); // only when the source changes between rows
            s.lastMedium = it == media.end() ? nullptr : &it->second;
        }
        return s.lastMedium;
    }

    // Whether an ASCII needle (Contains, not empty) is searched for in
    // text's own bytes alone: the search is then final.
    static bool rawSearchIsFinal(const Prepared &p)
    {
        return p.term.op == Op::Contains && p.asciiNeedle && !p.term.text.isEmpty();
    }

    // Whether the needle stands in the fold of text that does not hold it
    // in its own bytes.
    static bool foldedContains(QByteArrayView text, const Prepared &p, Scratch &s)
    {
        return p.folded->foldAdds(text, s.folded);
    }

    // Whether the folded needle stands in text (Contains) or is all of it
    // (Equals).
    static bool textMatches(QByteArrayView text, const Prepared &p, Scratch &s)
    {
        const QByteArrayView needle = p.term.text;
        const char *const textEnd = text.data() + text.size();
        if (rawSearchIsFinal(p)) // the common case: no folding unless an accent may make the difference
            return ByteScan::findFolded(text.data(), textEnd, needle) != textEnd || foldedContains(text, p, s);
        if (ByteScan::isAscii(text)) {
            if (!p.asciiNeedle)
                return false;
            if (p.term.op == Op::Equals) {
                const QByteArrayView t = text.trimmed();
                return t.size() == needle.size() && (needle.isEmpty() || ByteScan::Scalar::startsFolded(t.data(), needle));
            }
            return true; // an empty needle
        }
        TextFold::fold(text, s.folded);
        const char *end = s.folded.constEnd();
        return p.term.op == Op::Equals ? QByteArrayView(s.folded) == needle
                                       : needle.isEmpty() || ByteScan::findFolded(s.folded.constData(), end, needle) != end;
    }

    // A pattern is looked for in the text and, as a word is, in its fold:
    // /cafe/ finds "Café". ASCII text folds to itself (case aside already).
    bool regexMatches(QByteArrayView text, const Prepared &p, int index, Scratch &s) const
    {
        Regex::Found found = p.regex->find(text, serial << 32 | quint64(index));
        if (found == Regex::Found::No && !ByteScan::isAscii(text)) {
            TextFold::fold(text, s.folded);
            found = p.regex->find(s.folded, serial << 32 | quint64(index));
        }
        if (found == Regex::Found::TooCostly)
            tooCostly(s.flagsRow, index);
        return found == Regex::Found::Yes;
    }

    bool fieldMatches(QByteArrayView text, const Prepared &p, int index, Scratch &s) const
    {
        return p.term.op == Op::Regex ? regexMatches(text, p, index, s) : textMatches(text, p, s);
    }

    // A bare word or any-field term: the block of path to genre is searched
    // at once, a place that runs across two fields passed over; a field
    // above ASCII is then folded when an accent may make the difference.
    bool anyMatches(const RowStore &rows, qsizetype row, const Prepared &p, int index, Scratch &s) const
    {
        if (!rawSearchIsFinal(p)) {
            for (int f = 0; f <= LastAnyField; ++f) {
                if (fieldMatches(rows.fieldUtf8(row, f), p, index, s))
                    return true;
            }
            return false;
        }
        const QByteArrayView block = rows.recordUtf8(row);
        const QByteArrayView last = rows.fieldUtf8(row, LastAnyField);
        const char *const stop = last.data() + last.size();
        for (const char *from = block.data(), *at; (at = ByteScan::findFolded(from, stop, p.term.text)) != stop;
             from = at + 1) {
            for (int f = 0; f <= LastAnyField; ++f) {
                const QByteArrayView field = rows.fieldUtf8(row, f);
                if (at >= field.data() && at + p.term.text.size() <= field.data() + field.size())
                    return true;
            }
        }
        int f = 0;
        QByteArrayView field = rows.fieldUtf8(row, f);
        for (const char *at = p.folded->nextJoining(block.data(), stop), *resume; at != stop;
             at = p.folded->nextJoining(resume, stop)) {
            while (at >= field.data() + field.size())
                field = rows.fieldUtf8(row, ++f);
            if (p.folded->holdsAround(field, at, s.folded, &resume))
                return true;
        }
        return false;
    }

    std::optional<double> numberOf(const RowStore &rows, qsizetype row, Field field, Scratch &s) const
    {
        const QByteArrayView facts = rows.extensionUtf8(row);
        if (field == Field::Scanned || field == Field::Verified) {
            const MediumText *medium = mediumOf(rows.fieldUtf8(row, FieldSource), s);
            if (medium && field == Field::Verified) return double(medium->verified.value_or(0)); // never: the oldest
            return medium && medium->scanned ? std::optional(double(*medium->scanned)) : std::nullopt;
        }
        if (field == Field::Dur) {
            const auto tenths = ExtensionLine::tenthsValue(facts, "dur");
            return tenths ? std::optional(*tenths / 10.0) : std::nullopt;
        }
        if (field != Field::Year) { // kbps, rate, size, trk, disc, mtime: whole numbers
            const QByteArrayView key = field == Field::Kbps ? "kbps" : field == Field::Rate ? "rate"
                                     : field == Field::Size ? "size" : field == Field::Trk ? "trk"
                                     : field == Field::Mtime ? "mtime" : "disc";
            const auto n = ExtensionLine::integerValue(facts, key);
            return n ? std::optional(double(*n)) : std::nullopt;
        }
        const std::optional<int> year = yearNumber(rows.fieldUtf8(row, FieldYear));
        return year ? std::optional(double(*year)) : std::nullopt;
    }

    bool flagMatches(const RowStore &rows, qsizetype row, Field field, Scratch &s) const
    {
        const auto dup = [&](quint8 bit) {
            return duplicates && size_t(s.flagsRow) < duplicates->size() && (*duplicates)[size_t(s.flagsRow)] & bit;
        };
        if ((field == Field::HasCover || field == Field::HasArt) && !rows.fieldUtf8(row, FieldCoverImage).isEmpty())
            return true;
        if (const std::optional<LineFlag> flag = lineFlag(field)) {
            const QByteArrayView value = ExtensionLine::rawValue(rows.extensionUtf8(row), flag->key);
            return flag->value.isEmpty() ? !value.isEmpty() : value == flag->value;
        }
        switch (field) {
        case Field::HasCover:
            return false;
        case Field::HasTag:
            for (int f = FieldArtist; f <= FieldGenre; ++f) {
                if (!rows.fieldUtf8(row, f).trimmed().isEmpty())
                    return true;
            }
            return false;
        case Field::IsLibrary:
            return rows.origin(row) == EntryOrigin::Library;
        case Field::IsOnline:
        case Field::IsOffline:
        case Field::IsUnverified: {
            const MediumText *medium = mediumOf(rows.fieldUtf8(row, FieldSource), s);
            return medium && (field == Field::IsUnverified ? !medium->verified // never verified
                                                           : medium->online && *medium->online == (field == Field::IsOnline));
        }
        case Field::DupAudio:
            return dup(InAudioGroup);
        case Field::DupSong:
            return dup(InSongGroup);
        default:
            return dup(OnOneMedium);
        }
    }

    bool termMatches(const RowStore &rows, qsizetype row, const Prepared &p, int index, Scratch &s) const
    {
        const Term &t = p.term;
        if (t.op == Op::Flag)
            return flagMatches(rows, row, t.field, s);
        if (t.op == Op::Range) {
            const std::optional<double> n = numberOf(rows, row, t.field, s);
            return n && *n >= t.low && *n <= t.high;
        }
        switch (t.field) {
        case Field::Any:
            return anyMatches(rows, row, p, index, s);
        case Field::File: {
            const QByteArrayView path = rows.fieldUtf8(row, FieldFilename);
            return fieldMatches(path.sliced(path.lastIndexOf('/') + 1), p, index, s);
        }
        case Field::Mode:
        case Field::Enc: { // decoded, as every reader of a fact reads it (escapes are rare)
            const QByteArrayView raw = ExtensionLine::rawValue(rows.extensionUtf8(row), t.field == Field::Mode ? "mode" : "enc");
            return fieldMatches(raw.contains('%') ? QByteArrayView(ExtensionLine::decodedText(raw)) : raw, p, index, s);
        }
        case Field::Label:
        case Field::Note: {
            const MediumText *medium = mediumOf(rows.fieldUtf8(row, FieldSource), s);
            return medium && fieldMatches(t.field == Field::Label ? medium->label : medium->note, p, index, s);
        }
        default:
            return fieldMatches(rows.fieldUtf8(row, textColumnOf(t.field)), p, index, s);
        }
    }

    bool evaluate(const RowStore &rows, qsizetype row, int index, Scratch &s) const
    {
        const Prepared &p = nodes[size_t(index)];
        switch (p.kind) {
        case Node::Kind::And:
            for (const int c : p.children) {
                if (!evaluate(rows, row, c, s))
                    return false;
            }
            return true;
        case Node::Kind::Or:
            for (const int c : p.children) {
                if (evaluate(rows, row, c, s))
                    return true;
            }
            return false;
        case Node::Kind::Not:
            return !evaluate(rows, row, p.children.front(), s);
        case Node::Kind::Term:
            break;
        }
        return termMatches(rows, row, p, index, s);
    }
};

Matcher::Matcher(const Node *root, Context context) : m_impl(std::make_unique<Impl>())
{
    if (root)
        m_impl->prepare(*root, context.now);
    m_impl->duplicates = context.duplicates;
    m_impl->sources.reserve(context.media.size());
    for (const Medium &medium : context.media) {
        m_impl->sources.push_back(medium.source.toUtf8());
        m_impl->media.emplace(view(m_impl->sources.back()),
                              MediumText{TextFold::folded(medium.label.toUtf8()), TextFold::folded(medium.note.toUtf8()),
                                         medium.online, medium.scanned, medium.verified});
    }
}

Matcher::~Matcher() = default;

quint64 Matcher::matchBits(const RowStore &rows, qsizetype first, int count, qsizetype catalogueFirst) const
{
    if (m_impl->nodes.empty())
        return count == 64 ? ~quint64(0) : (quint64(1) << count) - 1;
    const Impl &impl = *m_impl;
    if (impl.costlyRow.load(std::memory_order_relaxed) >= 0)
        return 0; // the query has no answer
    const qint64 started = impl.firstRegex >= 0 ? threadNs() : 0;
    Scratch &s = scratch();
    const qsizetype flagsFirst = catalogueFirst >= 0 ? catalogueFirst : first;
    const qsizetype end = first + count;
    quint64 bits = 0;
    for (qsizetype row = first; row < end; ++row) {
        if (row + RowStore::PrefetchRows < rows.size())
            rows.prefetch(row + RowStore::PrefetchRows);
        s.flagsRow = flagsFirst + (row - first);
        if (impl.evaluate(rows, row, 0, s))
            bits |= quint64(1) << (row - first);
    }
    if (impl.firstRegex >= 0) {
        const qint64 spent = impl.spentNs += threadNs() - started;
        if (spent > PassBaseNs + PassRowNs * (impl.rowsSeen += count))
            impl.tooCostly(flagsFirst + count - 1, impl.firstRegex);
    }
    return impl.costlyRow.load(std::memory_order_relaxed) >= 0 ? 0 : bits;
}

QString Matcher::error() const
{
    if (const qint64 row = m_impl->costlyRow.load(); row >= 0)
        return QStringLiteral("the regular expression /%1/ is too costly (at row %2); simplify it")
            .arg(QString::fromUtf8(m_impl->nodes[size_t(m_impl->costlyNode.load())].term.text))
            .arg(row + 1);
    return {};
}

} // namespace Query
