#include "browse/queryparser.h"

#include "browse/queryvalues.h"
#include "base/textfold.h"

#include <unicode/regex.h>

#include <algorithm>

namespace Query {

namespace {

// Year is text that a comparison reads as a number; its value is digits
// (1994, 1994-05) or the query asks for what no year holds.
bool isYearText(QStringView text)
{
    return !text.isEmpty() && text.front().isDigit()
           && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() || c == u'-'; });
}

// Thrown inside the parser only, caught by parse().
struct Failure
{
    QString message;
    int at; // 0-based
};

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) {}

    std::unique_ptr<Node> query()
    {
        skipBlanks();
        if (atEnd())
            return nullptr;
        auto root = orExpression();
        if (!atEnd())
            fail(QStringLiteral("Unexpected \")\""), m_at);
        return root;
    }

private:
    [[noreturn]] static void fail(const QString &message, qsizetype at) { throw Failure{message, int(at)}; }

    bool atEnd() const { return m_at >= m_text.size(); }
    QChar peek(qsizetype ahead = 0) const
    {
        return m_at + ahead < m_text.size() ? m_text[m_at + ahead] : QChar();
    }
    // Whether a word ends before the character at: the text's end, a blank
    // or a parenthesis (a NUL typed or pasted is part of a word).
    bool endsWordAt(qsizetype at) const
    {
        return at >= m_text.size() || m_text[at].isSpace() || m_text[at] == u'(' || m_text[at] == u')';
    }
    void skipBlanks()
    {
        while (!atEnd() && peek().isSpace())
            ++m_at;
    }
    // The keyword (OR, NOT) at the current place, as a whole word.
    bool atKeyword(QStringView word) const
    {
        return QStringView(m_text).mid(m_at).startsWith(word) && endsWordAt(m_at + word.size());
    }
    // Whether a term follows the n characters at the current place.
    bool termFollows(qsizetype n) const
    {
        qsizetype at = m_at + n;
        while (at < m_text.size() && m_text[at].isSpace())
            ++at;
        return at < m_text.size() && m_text[at] != u')';
    }
    // The operator (AND, OR, NOT) at the current place: in capitals always;
    // in lower case only where it joins terms (after one, when afterTerm,
    // and before one), else it is a word ("rock and", "or").
    bool atOperator(QStringView upper, bool afterTerm) const
    {
        if (atKeyword(upper))
            return true;
        const QString lower = upper.toString().toLower();
        return afterTerm && atKeyword(lower) && termFollows(lower.size());
    }

    static std::unique_ptr<Node> joined(Node::Kind kind, std::vector<std::unique_ptr<Node>> parts)
    {
        if (parts.size() == 1)
            return std::move(parts.front());
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->children = std::move(parts);
        return node;
    }

    std::unique_ptr<Node> orExpression()
    {
        std::vector<std::unique_ptr<Node>> parts;
        parts.push_back(andExpression());
        while (atOperator(u"OR", true)) {
            const qsizetype keyword = m_at;
            m_at += 2;
            skipBlanks();
            if (atEnd() || peek() == u')')
                fail(QStringLiteral("Expected a term after OR"), keyword);
            parts.push_back(andExpression());
        }
        return joined(Node::Kind::Or, std::move(parts));
    }

    std::unique_ptr<Node> andExpression()
    {
        std::vector<std::unique_ptr<Node>> parts;
        for (;;) {
            skipBlanks();
            if (atEnd() || peek() == u')' || atOperator(u"OR", !parts.empty()))
                break;
            if (atOperator(u"AND", !parts.empty())) {
                const qsizetype keyword = m_at;
                if (parts.empty())
                    fail(QStringLiteral("Expected a term before AND"), keyword);
                m_at += 3;
                skipBlanks();
                if (atEnd() || peek() == u')' || atKeyword(u"OR"))
                    fail(QStringLiteral("Expected a term after AND"), keyword);
            }
            parts.push_back(unary());
        }
        if (parts.empty())
            fail(QStringLiteral("Expected a term"), m_at);
        return joined(Node::Kind::And, std::move(parts));
    }

    // Parentheses and NOTs nest no deeper than this: the parser's stack
    // stays small whatever is typed.
    static constexpr int MostDepth = 64;
    struct Deeper
    {
        explicit Deeper(Parser &parser) : m_parser(parser)
        {
            if (++m_parser.m_depth > MostDepth)
                fail(QStringLiteral("Too deeply nested"), parser.m_at);
        }
        ~Deeper() { --m_parser.m_depth; }
        Parser &m_parser;
    };

    std::unique_ptr<Node> unary()
    {
        const Deeper deeper(*this);
        const bool minus = peek() == u'-' && !endsWordAt(m_at + 1);
        if (minus || atOperator(u"NOT", true)) {
            const qsizetype at = m_at;
            m_at += minus ? 1 : 3;
            skipBlanks();
            if (atEnd() || peek() == u')')
                fail(QStringLiteral("Expected a term after NOT"), at);
            auto node = std::make_unique<Node>();
            node->kind = Node::Kind::Not;
            node->children.push_back(unary());
            return node;
        }
        return primary();
    }

    std::unique_ptr<Node> primary()
    {
        if (peek() == u'(') {
            const qsizetype open = m_at++;
            skipBlanks();
            if (peek() == u')')
                fail(QStringLiteral("Expected a term"), m_at);
            auto inner = orExpression();
            skipBlanks();
            if (peek() != u')')
                fail(QStringLiteral("Missing \")\" for the \"(\""), open);
            ++m_at;
            return inner;
        }
        auto node = std::make_unique<Node>();
        node->term = term();
        return node;
    }

    Term term()
    {
        const qsizetype start = m_at;
        if (peek() == u'"')
            return wordTerm(Field::Any, quoted());
        qsizetype colon = m_at;
        while (colon < m_text.size() && m_text[colon].isLetter())
            ++colon;
        if (colon < m_text.size() && m_text[colon] == u':' && colon > m_at)
            return fieldTerm(start, colon);
        const QString word = bareWord();
        if (const std::optional<Field> flag = flagNamed(word))
            return {*flag, Op::Flag, {}, 0, 0};
        return wordTerm(Field::Any, word);
    }

    static Term wordTerm(Field field, const QString &word, Op op = Op::Contains)
    {
        Term term;
        term.field = field;
        term.op = op;
        term.text = TextFold::folded(word.toUtf8());
        return term;
    }

    QString bareWord()
    {
        const qsizetype start = m_at;
        while (!endsWordAt(m_at))
            ++m_at;
        return m_text.mid(start, m_at - start);
    }

    QString quoted()
    {
        const qsizetype open = m_at++;
        const qsizetype close = m_text.indexOf(u'"', m_at);
        if (close < 0)
            fail(QStringLiteral("Missing closing quote"), open);
        m_at = close + 1;
        return m_text.mid(open + 1, close - open - 1);
    }

    QString value()
    {
        return peek() == u'"' ? quoted() : bareWord();
    }

    Term fieldTerm(qsizetype start, qsizetype colon)
    {
        const QString name = m_text.mid(start, colon - start).toLower();
        m_at = colon + 1;
        const QString flag = name + u':' + bareWordAhead();
        if (const std::optional<Field> known = flagNamed(flag)) {
            bareWord();
            return {*known, Op::Flag, {}, 0, 0};
        }
        if (name == u"has" || name == u"is" || name == u"dup")
            fail(QStringLiteral("Unknown flag \"%1\"").arg(flag), start);
        const std::optional<Field> known = fieldNamed(name);
        if (!known)
            fail(QStringLiteral("Unknown field \"%1\"").arg(name), start);
        return valueTerm(*known);
    }

    QString bareWordAhead() const
    {
        qsizetype end = m_at;
        while (!endsWordAt(end))
            ++end;
        return m_text.mid(m_at, end - m_at);
    }

    Term valueTerm(Field field)
    {
        const qsizetype at = m_at;
        if (isTimeField(field))
            return timeValueTerm(field);
        if (peek() == u'=') {
            ++m_at;
            const QString text = value();
            if (isNumberField(field))
                return range(field, text, text, at + 1);
            if (field == Field::Year && !text.isEmpty() && !isYearText(text))
                fail(QStringLiteral("Expected a number"), at + 1);
            return wordTerm(field, text, Op::Equals);
        }
        if (peek() == u'/') {
            if (isNumberField(field))
                fail(QStringLiteral("Expected a number"), at);
            return regex(field);
        }
        if (peek() == u'<' || peek() == u'>') {
            if (!isNumberField(field) && field != Field::Year)
                fail(QStringLiteral("Expected a number field for \"%1\"").arg(peek()), at);
            const bool less = peek() == u'<';
            const bool orEqual = peek(1) == u'=';
            m_at += orEqual ? 2 : 1;
            const qsizetype numberAt = m_at;
            const double n = number(field, bareWord(), numberAt);
            const double step = field == Field::Dur ? 0.05 : 0.5; // numbers are whole, dur in tenths
            Term term{field, Op::Range, {}, -1e300, 1e300};
            (less ? term.high : term.low) = orEqual ? n : (less ? n - step : n + step);
            return term;
        }
        const QString text = value();
        if (text.isEmpty())
            fail(QStringLiteral("Expected a value"), at);
        const qsizetype dots = text.indexOf(QStringLiteral(".."));
        if (dots >= 0 && (isNumberField(field) || field == Field::Year))
            return range(field, text.left(dots), text.mid(dots + 2), at);
        if (isNumberField(field))
            return range(field, text, text, at);
        if (field == Field::Year && !isYearText(text))
            fail(QStringLiteral("Expected a number"), at);
        return wordTerm(field, text);
    }

    Term timeValueTerm(Field field)
    {
        const qsizetype compare = peek() == u'<' || peek() == u'>' ? (peek(1) == u'=' ? 2 : 1) : 0;
        const QString how = m_text.mid(m_at, compare);
        m_at += compare;
        const qsizetype at = m_at;
        const std::optional<Term> term = timeTerm(field, how, value());
        if (!term)
            fail(QStringLiteral("Expected a date or an age"), at);
        return *term;
    }

    Term range(Field field, const QString &low, const QString &high, qsizetype at)
    {
        Term term{field, Op::Range, {}, -1e300, 1e300};
        if (!low.isEmpty())
            term.low = number(field, low, at);
        if (!high.isEmpty())
            term.high = number(field, high, at);
        // dur:215 is any time from 215.0 to 215.9 seconds.
        if (field == Field::Dur && !high.isEmpty() && !high.contains(u'.'))
            term.high += 0.95;
        if (low.isEmpty() && high.isEmpty())
            fail(QStringLiteral("Expected a number"), at);
        return term;
    }

    static double number(Field field, const QString &text, qsizetype at)
    {
        const std::optional<double> n = numberValue(field, text);
        if (!n)
            fail(QStringLiteral("Expected a number"), at);
        return *n;
    }

    Term regex(Field field)
    {
        const qsizetype open = m_at++;
        QString pattern;
        while (!atEnd() && peek() != u'/') {
            if (peek() == u'\\' && peek(1) == u'/')
                ++m_at; // an escaped slash stands for itself
            pattern += m_text[m_at++];
        }
        if (atEnd())
            fail(QStringLiteral("Missing closing \"/\""), open);
        ++m_at;
        UErrorCode status = U_ZERO_ERROR;
        UParseError where{};
        const icu::UnicodeString utf16(reinterpret_cast<const UChar *>(pattern.utf16()), int32_t(pattern.size()));
        std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(utf16, UREGEX_CASE_INSENSITIVE, where, status));
        if (U_FAILURE(status))
            fail(QStringLiteral("Invalid regular expression"), open + 1 + std::max(0, where.offset));
        Term term;
        term.field = field;
        term.op = Op::Regex;
        term.text = pattern.toUtf8();
        return term;
    }

    const QString &m_text;
    qsizetype m_at = 0;
    int m_depth = 0;
};

} // namespace

Parsed parse(const QString &text)
{
    Parsed parsed;
    try {
        parsed.root = Parser(text).query();
    } catch (const Failure &failure) {
        parsed.root.reset();
        parsed.position = failure.at + 1;
        parsed.error = QStringLiteral("%1 at %2").arg(failure.message).arg(parsed.position);
    }
    return parsed;
}

bool usesDuplicates(const Node *root)
{
    if (!root)
        return false;
    if (root->kind == Node::Kind::Term)
        return root->term.field == Field::DupAudio || root->term.field == Field::DupSong
               || root->term.field == Field::Single;
    for (const auto &child : root->children) {
        if (usesDuplicates(child.get()))
            return true;
    }
    return false;
}

} // namespace Query
