#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>

// A file-name match for a wildcard pattern ("*.MP3"), ignoring case.
class NameMatcher
{
public:
    explicit NameMatcher(const QString &pattern);
    bool matches(const QString &name) const;
    // A name as the file system's bytes: a pattern "*literal" with an ASCII
    // literal is matched on the bytes, others on the decoded name.
    bool matches(QByteArrayView name) const;

private:
    QString m_suffix; // for patterns of the form "*literal"
    QByteArray m_asciiSuffix; // the same when it is ASCII: matched on bytes
    bool m_suffixOnly = false;
    QRegularExpression m_expression;
};
