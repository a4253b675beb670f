#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// Page text of about 20 KB made of ordinary words, shared by the benchmarks that build realistic
// libraries. Accented pages take the full Unicode path when lower-cased.
inline constexpr qsizetype kPageTextSize = 20 * 1024;

inline QString pageText(QRandomGenerator &random, bool accented)
{
    using namespace Qt::StringLiterals;
    static const QStringList words{u"The"_s,        u"quick"_s, u"brown"_s, u"fox"_s,      u"jumps"_s,   u"over"_s,   u"lazy"_s,
                                   u"dog."_s,       u"Lorem"_s, u"ipsum"_s, u"dolor"_s,    u"sit"_s,     u"amet,"_s,  u"consectetur"_s,
                                   u"adipiscing"_s, u"elit."_s, u"Sed"_s,   u"do"_s,       u"eiusmod"_s, u"tempor"_s, u"incididunt"_s,
                                   u"labore"_s,     u"2024"_s,  u"Qt"_s,    u"library\n"_s};
    static const QStringList accentedWords{u"Café"_s, u"naïve"_s, u"Über"_s, u"façade"_s};
    QString text;
    text.reserve(kPageTextSize + 32);
    while (text.size() < kPageTextSize) {
        text += accented && random.bounded(50) == 0 ? accentedWords.at(random.bounded(accentedWords.size()))
                                                    : words.at(random.bounded(words.size()));
        text += u' ';
    }
    return text;
}
