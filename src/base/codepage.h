#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

struct UConverter;

// The code pages the ID3v1 text of a medium may be read in (the medium's
// `codepage` in the media register). "auto" reads UTF-8 when it is valid,
// else Windows-1252; the others are ICU's converters of those names.
namespace CodePage {

QString autoName();
// "auto" first, then the named code pages.
const QStringList &names();
bool isKnown(const QString &name);
// What to tell someone who gave a name not in the list.
QString refusal(const QString &name);

} // namespace CodePage

// Decodes text in one code page. An ICU converter keeps state while it
// works, so each thread holds its own decoder, opened once and reused.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(const QString &name = CodePage::autoName());
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder &) = delete;
    CodePageDecoder &operator=(const CodePageDecoder &) = delete;

    const QString &name() const { return m_name; }
    bool isAuto() const { return m_auto; }
    // The name is known and its converter could be opened.
    bool isValid() const { return m_auto || m_converter; }
    // Bytes no character of the code page maps to become U+FFFD; an
    // invalid decoder decodes as "auto".
    QString decode(QByteArrayView bytes);

private:
    QString m_name;
    bool m_auto = true;
    UConverter *m_converter = nullptr;
};
