#include "browse/queryregex.h"

#include <QString>

#include <unicode/regex.h>
#include <unicode/utext.h>

#include <unordered_map>

namespace Query {

namespace {

// A regular expression's most work on one field, in ICU's ticks of 10,000
// saved states (about 0.2 ms here): a row that needs more ends the query
// with an error, as one that backtracks without end ((.+)+x) would cost
// that on every row, and a row it gave up on is no answer.
constexpr int32_t RegexTicks = 10;

// Each thread's matchers, by pattern key: a matcher is made once per
// thread and pattern, not per row.
std::unordered_map<quint64, std::unique_ptr<icu::RegexMatcher>> &matchers()
{
    thread_local std::unordered_map<quint64, std::unique_ptr<icu::RegexMatcher>> kept;
    return kept;
}

} // namespace

Regex::Regex(const QByteArray &pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const QString text = QString::fromUtf8(pattern);
    m_pattern.reset(icu::RegexPattern::compile(
        icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size())),
        UREGEX_CASE_INSENSITIVE, where, status));
    if (U_FAILURE(status))
        m_pattern.reset();
}

Regex::~Regex() = default;
Regex::Regex(Regex &&) noexcept = default;
Regex &Regex::operator=(Regex &&) noexcept = default;

Regex::Found Regex::find(QByteArrayView text, quint64 key) const
{
    if (!m_pattern)
        return Found::No;
    auto &kept = matchers();
    if (kept.size() > 256 && !kept.contains(key)) // matchers of queries typed before
        kept.clear();
    std::unique_ptr<icu::RegexMatcher> &matcher = kept[key];
    UErrorCode status = U_ZERO_ERROR;
    if (!matcher) {
        matcher.reset(m_pattern->matcher(status));
        if (matcher)
            matcher->setTimeLimit(RegexTicks, status);
        if (U_FAILURE(status)) {
            matcher.reset();
            return Found::No;
        }
    }
    UText ut = UTEXT_INITIALIZER;
    utext_openUTF8(&ut, text.data(), text.size(), &status);
    matcher->reset(&ut);
    const bool found = U_SUCCESS(status) && matcher->find(status);
    matcher->reset(icu::UnicodeString());
    utext_close(&ut);
    if (status == U_REGEX_TIME_OUT || status == U_REGEX_STACK_OVERFLOW)
        return Found::TooCostly;
    return found && U_SUCCESS(status) ? Found::Yes : Found::No;
}

} // namespace Query
