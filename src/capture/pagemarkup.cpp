#include "pagemarkup.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace
{
// Unicode properties make \s match every white space character, not only ASCII ones.
QRegularExpression pattern(const QString &text)
{
    return QRegularExpression(text, QRegularExpression::UseUnicodePropertiesOption);
}
}

namespace PageMarkup
{
QString toText(QString html)
{
    // Lazy, so each element goes by itself; in this order, so a tag inside a script never
    // splits the script's removal.
    static const QRegularExpression elements[] = {
        pattern(u"(?is)<script[^>]*>.*?</script>"_s),
        pattern(u"(?is)<style[^>]*>.*?</style>"_s),
        pattern(u"(?is)<noscript[^>]*>.*?</noscript>"_s),
        pattern(u"(?is)<svg[^>]*>.*?</svg>"_s),
        pattern(u"<[^>]+>"_s),
    };
    static const QRegularExpression whiteSpace = pattern(u"\\s+"_s);

    for (const QRegularExpression &element : elements)
        html.replace(element, u" "_s);
    html.replace("&nbsp;"_L1, " "_L1)
        .replace("&quot;"_L1, "\""_L1)
        .replace("&#39;"_L1, "'"_L1)
        .replace("&lt;"_L1, "<"_L1)
        .replace("&gt;"_L1, ">"_L1);
    html.replace(whiteSpace, u" "_s);
    return html.trimmed();
}

QString firstCharacters(const QString &text, qsizetype limit)
{
    // Every character takes at least one code unit.
    if (text.size() <= limit)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype counted = 0; counted < limit; ++counted) {
        if (finder.toNextBoundary() == -1)
            return text;
    }
    return text.left(finder.position());
}
}
