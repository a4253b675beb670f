#include "pagedecoding.h"

#include <QRegularExpression>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace
{
// Where a page's <meta> charset is looked for; browsers look no further either.
constexpr qsizetype metaSearchLength = 4096;

QByteArray charsetIn(const QByteArray &text, const QRegularExpression &pattern)
{
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

QByteArray declaredCharset(const QByteArray &body, const QByteArray &contentType)
{
    static const QRegularExpression headerCharset(u"charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression metaCharset(u"<meta[^>]*charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9._:-]+)"_s,
                                                QRegularExpression::CaseInsensitiveOption);
    const QByteArray fromHeader = charsetIn(contentType, headerCharset);
    return fromHeader.isEmpty() ? charsetIn(body.left(metaSearchLength), metaCharset) : fromHeader;
}

std::optional<QString> decodeWith(QStringDecoder &decoder, const QByteArray &body)
{
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
}

namespace PageDecoding
{
std::optional<QString> decode(const QByteArray &body, const QByteArray &contentType, bool truncated)
{
    // A stateful decoder keeps an unfinished last character to itself rather than calling it an error.
    const QStringConverter::Flags flags = truncated ? QStringConverter::Flag::Default : QStringConverter::Flag::Stateless;
    const QByteArray charset = declaredCharset(body, contentType);
    if (!charset.isEmpty() && QStringConverter::encodingForName(charset.constData()) != QStringConverter::Utf8) {
        QStringDecoder declared(charset.constData(), flags);
        if (declared.isValid()) {
            if (std::optional<QString> text = decodeWith(declared, body))
                return text;
        }
    }
    // ASCII text is valid UTF-8, so a page that fails here would fail as ASCII too.
    QStringDecoder utf8(QStringConverter::Utf8, flags);
    return decodeWith(utf8, body);
}
}
