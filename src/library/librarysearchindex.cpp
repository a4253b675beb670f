#include "librarysearchindex.h"

#include "substringsearch.h"

#include <QHash>

namespace
{
// Never part of UTF-8, so it cannot occur inside a query either.
constexpr char kSeparator = '\xff';

// Appends text in lower case as UTF-8. Plain ASCII, by far the common case, is lowered in place;
// anything else goes through the full Unicode mapping. False when the lowered text holds lone
// surrogates; nothing is appended then.
bool appendLowered(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *target = out.data() + start;
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit >= 0x80) {
            out.truncate(start);
            const QString lowered = text.toString().toLower();
            if (!QStringView(lowered).isValidUtf16())
                return false;
            out.append(lowered.toUtf8());
            return true;
        }
        *target++ = char(unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit);
    }
    return true;
}

// The same for text that is UTF-8 already.
bool appendLowered(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype start = out.size();
    out.resize(start + utf8.size());
    char *target = out.data() + start;
    for (const char byte : utf8) {
        if (uchar(byte) >= 0x80) {
            out.truncate(start);
            return appendLowered(out, QString::fromUtf8(utf8));
        }
        *target++ = byte >= 'A' && byte <= 'Z' ? char(byte + ('a' - 'A')) : byte;
    }
    return true;
}

std::optional<QByteArray> loweredText(const SavedWebsite &website)
{
    const QByteArray content = website.content ? website.content->utf8() : QByteArray();
    QByteArray text;
    text.reserve(website.title.size() + website.url.size() + content.size() + 3);
    const auto appendField = [&text](auto field) {
        if (!appendLowered(text, field))
            return false;
        text.append(kSeparator);
        return true;
    };
    if (!appendField(QStringView(website.title)) || !appendField(QStringView(website.url)) || !appendField(QByteArrayView(content)))
        return std::nullopt;
    // Text beyond ASCII may have outgrown the reservation, and growing leaves spare room.
    text.squeeze();
    return text;
}

bool sameText(const SavedWebsite &first, const SavedWebsite &second)
{
    return first.title == second.title && first.url == second.url && first.content == second.content;
}
}

std::shared_ptr<const LibrarySearchIndex> LibrarySearchIndex::build(const QList<SavedWebsite> &websites, const LibrarySearchIndex *previous)
{
    QHash<qint64, qsizetype> previousPositions;
    if (previous) {
        previousPositions.reserve(previous->m_websites.size());
        for (qsizetype position = 0; position < previous->m_websites.size(); ++position)
            previousPositions.insert(previous->m_websites.at(position).id, position);
    }

    auto index = std::shared_ptr<LibrarySearchIndex>(new LibrarySearchIndex);
    index->m_websites = websites;
    index->m_texts.reserve(websites.size());
    for (const SavedWebsite &website : websites) {
        const auto found = previousPositions.constFind(website.id);
        if (found != previousPositions.cend() && sameText(previous->m_websites.at(*found), website))
            index->m_texts.append(previous->m_texts.at(*found));
        else
            index->m_texts.append(loweredText(website));
    }
    return index;
}

QList<SavedWebsite> LibrarySearchIndex::filter(const QString &loweredQuery) const
{
    if (loweredQuery.isEmpty())
        return m_websites;
    // A query with lone surrogates can match half of a pair, which the UTF-8 text cannot show.
    const bool plainOnly = !QStringView(loweredQuery).isValidUtf16();
    const QByteArray needle = loweredQuery.toUtf8();
    QList<SavedWebsite> result;
    for (qsizetype position = 0; position < m_websites.size(); ++position) {
        const std::optional<QByteArray> &text = m_texts.at(position);
        const bool found
            = text && !plainOnly ? SubstringSearch::indexOf(*text, needle) >= 0 : matches(m_websites.at(position), loweredQuery);
        if (found)
            result.append(m_websites.at(position));
    }
    return result;
}

bool LibrarySearchIndex::matches(const SavedWebsite &website, const QString &loweredQuery)
{
    return website.title.toLower().contains(loweredQuery) || website.url.toLower().contains(loweredQuery)
        || (website.content && website.content->toString().toLower().contains(loweredQuery));
}
