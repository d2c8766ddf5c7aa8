#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

// A query's regular expression (ICU's, case aside), compiled once and
// looked for in a row's text on many threads, within a budget of work.
namespace Query {

class Regex
{
public:
    enum class Found { No, Yes, TooCostly };

    // Nothing usable (found() always No) when pattern does not compile;
    // the parser refuses such a query first.
    explicit Regex(const QByteArray &pattern);
    ~Regex();
    Regex(Regex &&) noexcept;
    Regex &operator=(Regex &&) noexcept;

    bool valid() const { return m_pattern != nullptr; }
    // Whether the pattern is found in text; TooCostly when it needs more
    // than its budget there. key names this pattern among those the thread
    // keeps matchers for (a query's serial and term).
    Found find(QByteArrayView text, quint64 key) const;

private:
    std::unique_ptr<icu::RegexPattern> m_pattern;
};

} // namespace Query
