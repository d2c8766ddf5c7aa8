#include "media/namematcher.h"

#include <QFile>

NameMatcher::NameMatcher(const QString &pattern)
{
    const QString rest = pattern.mid(1);
    if (pattern.startsWith(u'*') && !rest.contains(u'*') && !rest.contains(u'?') && !rest.contains(u'[')) {
        m_suffix = rest;
        m_suffixOnly = true;
        bool ascii = true;
        for (QChar c : rest)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            m_asciiSuffix = rest.toLatin1();
    } else {
        m_expression.setPattern(QRegularExpression::wildcardToRegularExpression(
            pattern, QRegularExpression::UnanchoredWildcardConversion));
        m_expression.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
    }
}

bool NameMatcher::matches(const QString &name) const
{
    if (m_suffixOnly)
        return name.endsWith(m_suffix, Qt::CaseInsensitive);
    const QRegularExpressionMatch match = m_expression.match(name);
    return match.hasMatch() && match.capturedStart() == 0 && match.capturedLength() == name.size();
}

bool NameMatcher::matches(QByteArrayView name) const
{
    if (m_suffixOnly && !m_asciiSuffix.isEmpty()) {
        const qsizetype n = m_asciiSuffix.size();
        return name.size() >= n && qstrnicmp(name.data() + name.size() - n, m_asciiSuffix.constData(), n) == 0;
    }
    return matches(QFile::decodeName(name.toByteArray()));
}
