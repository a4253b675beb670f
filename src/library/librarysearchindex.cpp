#include "librarysearchindex.h"

#include "library/substringsearch.h"

#include <QHash>

#include <algorithm>

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

bool appendWebsite(QByteArray &out, const SavedWebsite &website)
{
    const qsizetype start = out.size();
    for (const QString *field : {&website.title, &website.url, website.content ? &*website.content : nullptr}) {
        if (field && !appendLowered(out, *field)) {
            out.truncate(start);
            return false;
        }
        out.append(kSeparator);
    }
    return true;
}

bool sameText(const SavedWebsite &first, const SavedWebsite &second)
{
    return first.title == second.title && first.url == second.url && first.content == second.content;
}
}

std::shared_ptr<const LibrarySearchIndex> LibrarySearchIndex::build(const QList<SavedWebsite> &websites,
                                                                    const LibrarySearchIndex *previous)
{
    QHash<qint64, qsizetype> previousPositions;
    if (previous) {
        previousPositions.reserve(previous->m_websites.size());
        for (qsizetype position = 0; position < previous->m_websites.size(); ++position)
            previousPositions.insert(previous->m_websites.at(position).id, position);
    }

    auto index = std::shared_ptr<LibrarySearchIndex>(new LibrarySearchIndex);
    index->m_websites = websites;
    index->m_starts.reserve(websites.size() + 1);
    if (previous && !previous->m_websites.isEmpty())
        index->m_text.reserve(previous->m_text.size());
    for (qsizetype position = 0; position < websites.size(); ++position) {
        const SavedWebsite &website = websites.at(position);
        index->m_starts.append(index->m_text.size());
        const auto found = previousPositions.constFind(website.id);
        if (found != previousPositions.cend() && sameText(previous->m_websites.at(*found), website)) {
            const qsizetype begin = previous->m_starts.at(*found);
            const qsizetype end = previous->m_starts.at(*found + 1);
            if (begin != end) {
                index->m_text.append(QByteArrayView(previous->m_text).sliced(begin, end - begin));
                continue;
            }
        }
        if (!appendWebsite(index->m_text, website))
            index->m_irregular.append(position);
    }
    index->m_starts.append(index->m_text.size());
    return index;
}

QList<SavedWebsite> LibrarySearchIndex::filter(const QString &loweredQuery) const
{
    if (loweredQuery.isEmpty())
        return m_websites;

    QList<SavedWebsite> result;
    if (!QStringView(loweredQuery).isValidUtf16()) {
        // Only a query with lone surrogates gets here; it can match half of a pair, which the
        // UTF-8 text cannot show.
        std::copy_if(m_websites.cbegin(), m_websites.cend(), std::back_inserter(result),
                     [&loweredQuery](const SavedWebsite &website) { return matches(website, loweredQuery); });
        return result;
    }

    QList<qsizetype> hits;
    const QByteArray needle = loweredQuery.toUtf8();
    qsizetype from = 0;
    while (true) {
        const qsizetype found = SubstringSearch::indexOf(m_text, needle, from);
        if (found < 0)
            break;
        const qsizetype position = std::upper_bound(m_starts.cbegin(), m_starts.cend(), found) - m_starts.cbegin() - 1;
        hits.append(position);
        from = m_starts.at(position + 1);
    }
    if (!m_irregular.isEmpty()) {
        for (const qsizetype position : m_irregular) {
            if (matches(m_websites.at(position), loweredQuery))
                hits.append(position);
        }
        std::sort(hits.begin(), hits.end());
    }

    result.reserve(hits.size());
    for (const qsizetype position : hits)
        result.append(m_websites.at(position));
    return result;
}

bool LibrarySearchIndex::matches(const SavedWebsite &website, const QString &loweredQuery)
{
    return website.title.toLower().contains(loweredQuery) || website.url.toLower().contains(loweredQuery)
        || (website.content && website.content->toLower().contains(loweredQuery));
}
