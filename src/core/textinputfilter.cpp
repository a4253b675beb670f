#include "textinputfilter.h"

#include <QTextBoundaryFinder>

namespace
{
template<typename Keep> QString filterCharacters(QStringView text, Keep keep)
{
    QString kept;
    kept.reserve(text.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        const QStringView character = text.sliced(start, end - start);
        if (keep(character))
            kept.append(character);
        start = end;
    }
    return kept;
}

bool isWhitespaceCharacter(QStringView character)
{
    return character == u"\r\n" || (character.size() == 1 && character.front().isSpace());
}
}

namespace TextInputFilter
{
bool isAsciiCharacter(QStringView character)
{
    return (character.size() == 1 && character.front().unicode() <= 0x7F) || character == u"\r\n";
}

bool isAscii(QStringView text)
{
    return filterCharacters(text, isAsciiCharacter).size() == text.size();
}

QString keepAscii(const QString &text)
{
    return filterCharacters(text, isAsciiCharacter);
}

QString keepAsciiWithoutWhitespace(const QString &text)
{
    return filterCharacters(text, [](QStringView character) { return isAsciiCharacter(character) && !isWhitespaceCharacter(character); });
}
}
