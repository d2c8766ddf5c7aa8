#include "base/codepage.h"

#include "base/textcodec.h"

#include <unicode/ucnv.h>

namespace CodePage {

QString autoName()
{
    return QStringLiteral("auto");
}

const QStringList &names()
{
    static const QStringList list{autoName(),
                                  QStringLiteral("windows-1250"),
                                  QStringLiteral("windows-1251"),
                                  QStringLiteral("windows-1252"),
                                  QStringLiteral("windows-1253"),
                                  QStringLiteral("iso-8859-2"),
                                  QStringLiteral("koi8-r"),
                                  QStringLiteral("shift_jis"),
                                  QStringLiteral("gbk"),
                                  QStringLiteral("big5"),
                                  QStringLiteral("euc-kr")};
    return list;
}

bool isKnown(const QString &name)
{
    return names().contains(name);
}

QString refusal(const QString &name)
{
    return QStringLiteral("unknown code page \"%1\": use one of %2")
        .arg(name, names().join(QStringLiteral(", ")));
}

} // namespace CodePage

CodePageDecoder::CodePageDecoder(const QString &name) : m_name(name)
{
    m_auto = name == CodePage::autoName();
    if (m_auto || !CodePage::isKnown(name))
        return;
    UErrorCode status = U_ZERO_ERROR;
    m_converter = ucnv_open(name.toLatin1().constData(), &status);
    if (U_FAILURE(status)) {
        if (m_converter)
            ucnv_close(m_converter);
        m_converter = nullptr;
    }
}

CodePageDecoder::~CodePageDecoder()
{
    if (m_converter)
        ucnv_close(m_converter);
}

QString CodePageDecoder::decode(QByteArrayView bytes)
{
    if (!m_converter)
        return TextCodec::decodeUtf8OrCp1252(bytes);
    // Every code page of the list gives at most one UTF-16 unit per byte;
    // twice that leaves room for any surrogate pair.
    QString text(2 * bytes.size() + 1, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(m_converter);
    const int32_t length = ucnv_toUChars(m_converter, reinterpret_cast<UChar *>(text.data()),
                                         int32_t(text.size()), bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status))
        return QString(bytes.size(), QChar(0xFFFD));
    text.truncate(length);
    return text;
}
