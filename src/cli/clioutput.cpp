#include "cli/clioutput.h"

#include "export/interchangeformat.h"
#include "base/safefileread.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace CliIo {

namespace {
bool failureHandled = false;
int lastOutputErrno = 0;
} // namespace

void out(QByteArrayView bytes)
{
    if (!bytes.isEmpty() && std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        lastOutputErrno = errno;
}

void out(const QByteArray &bytes)
{
    out(QByteArrayView(bytes));
}

bool outBlock(QByteArrayView bytes)
{
    out(bytes);
    return true;
}

void appendEscaped(QByteArray &out, QByteArrayView utf8)
{
    std::string escaped;
    InterchangeFormat::appendTabEscaped(escaped, utf8);
    out.append(escaped.data(), qsizetype(escaped.size()));
}

void out(const QString &text)
{
    out(text.toUtf8());
}

void error(const QString &message)
{
    std::fflush(stdout); // keep the order of both streams on one terminal
    const QByteArray line = QStringLiteral("ondro-cli: %1\n").arg(message).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool finishOutput()
{
    if (std::fflush(stdout) != 0)
        lastOutputErrno = errno;
    return !std::ferror(stdout);
}

void outputFailureHandled()
{
    failureHandled = true;
}

bool isOutputFailureHandled()
{
    return failureHandled;
}

QString outputError()
{
    return lastOutputErrno != 0 ? SafeFileRead::systemReason(lastOutputErrno) : QStringLiteral("the write failed");
}

Asked ask(const QString &question)
{
    if (isatty(fileno(stdin)) != 1 || isatty(fileno(stderr)) != 1)
        return Asked::NoTerminal;
    std::fprintf(stderr, "%s [y/N] ", qPrintable(question));
    std::fflush(stderr);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return Asked::No;
    const QString text = QString::fromLatin1(answer).trimmed().toLower();
    return text == QLatin1String("y") || text == QLatin1String("yes") ? Asked::Yes : Asked::No;
}

} // namespace CliIo
