#include "librarysearchindex.h"

#include "pagetextfile.h"
#include "substringsearch.h"

#include <QFile>
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

// Page text is well-formed UTF-8, so its lowered form always exists.
QByteArray loweredContent(QByteArrayView utf8)
{
    QByteArray out(utf8.size(), Qt::Uninitialized);
    char *target = out.data();
    for (const char byte : utf8) {
        if (uchar(byte) >= 0x80) {
            out.clear();
            appendLowered(out, QString::fromUtf8(utf8));
            out.squeeze();
            return out;
        }
        *target++ = byte >= 'A' && byte <= 'Z' ? char(byte + ('a' - 'A')) : byte;
    }
    return out;
}

std::optional<QByteArray> loweredFields(const SavedWebsite &website)
{
    QByteArray fields;
    fields.reserve(website.title.size() + website.url.size() + 1);
    if (!appendLowered(fields, website.title))
        return std::nullopt;
    fields.append(kSeparator);
    if (!appendLowered(fields, website.url))
        return std::nullopt;
    // Text beyond ASCII may have outgrown the reservation, and growing leaves spare room.
    fields.squeeze();
    return fields;
}

QByteArrayView contentOf(const SavedWebsite &website)
{
    return website.content ? QByteArrayView(website.content->utf8()) : QByteArrayView();
}

// A page text file holding exactly the page text of websites: the one given when it does, else a
// new one, lowering only text it does not hold yet. Also the digest of each website's text, empty
// for websites without text. Nothing when there is no text to keep or it cannot be written.
std::shared_ptr<const PageTextFile> pageTextFileFor(const QList<SavedWebsite> &websites, std::shared_ptr<const PageTextFile> previous,
                                                    const QString &path, QList<QByteArray> &digests)
{
    QList<qsizetype> withText;
    qint64 textBytes = 0;
    bool previousMatches = true;
    digests.resize(websites.size());
    for (qsizetype position = 0; position < websites.size(); ++position) {
        const SavedWebsite &website = websites.at(position);
        const QByteArrayView text = contentOf(website);
        if (text.isEmpty())
            continue;
        withText.append(position);
        textBytes += text.size();
        const PageTextFile::Text *kept = previous ? previous->find(website.id) : nullptr;
        // Text read from that very file needs no digest: it cannot differ.
        const bool readFromKept = kept && kept->text.data() == text.data() && kept->text.size() == text.size();
        digests[position] = readFromKept ? kept->digest : PageTextFile::digestOf(text);
        previousMatches = previousMatches && kept && kept->digest == digests.at(position);
    }
    if (withText.isEmpty()) {
        QFile::remove(path);
        return nullptr;
    }
    if (previous && previousMatches && previous->count() == withText.size())
        return previous;

    QByteArray lowered;
    return PageTextFile::write(path, withText.size(), textBytes, [&](qsizetype entry) {
        const qsizetype position = withText.at(entry);
        const SavedWebsite &website = websites.at(position);
        const PageTextFile::Text *kept = previous ? previous->find(website.id) : nullptr;
        PageTextFile::Text text{.id = website.id, .digest = digests.at(position), .text = contentOf(website)};
        if (kept && kept->digest == text.digest) {
            text.lowered = kept->lowered;
        } else {
            lowered = loweredContent(text.text);
            text.lowered = lowered;
        }
        return text;
    });
}
}

std::shared_ptr<const LibrarySearchIndex> LibrarySearchIndex::build(const QList<SavedWebsite> &websites, const LibrarySearchIndex *previous,
                                                                    const QString &pageTextFile)
{
    QHash<qint64, qsizetype> previousPositions;
    if (previous) {
        previousPositions.reserve(previous->m_websites.size());
        for (qsizetype position = 0; position < previous->m_websites.size(); ++position)
            previousPositions.insert(previous->m_websites.at(position).id, position);
    }

    auto index = std::shared_ptr<LibrarySearchIndex>(new LibrarySearchIndex);
    index->m_websites = websites;
    QList<QByteArray> digests;
    if (!pageTextFile.isEmpty()) {
        auto previousFile = previous && previous->m_file ? previous->m_file : PageTextFile::open(pageTextFile);
        index->m_file = pageTextFileFor(websites, std::move(previousFile), pageTextFile, digests);
    }
    index->m_fields.reserve(websites.size());
    index->m_contents.reserve(websites.size());
    for (qsizetype position = 0; position < websites.size(); ++position) {
        SavedWebsite &website = index->m_websites[position];
        const auto found = previousPositions.constFind(website.id);
        const SavedWebsite *before = found != previousPositions.cend() ? &previous->m_websites.at(*found) : nullptr;
        if (before && before->title == website.title && before->url == website.url)
            index->m_fields.append(previous->m_fields.at(*found));
        else
            index->m_fields.append(loweredFields(website));

        const PageTextFile::Text *filed = index->m_file ? index->m_file->find(website.id) : nullptr;
        // Two websites with one id may have different text; only the one the file holds moves there.
        if (filed && filed->digest == digests.at(position)) {
            website.content = PageText(filed->text, index->m_file);
            index->m_contents.append(QByteArray::fromRawData(filed->lowered.data(), filed->lowered.size()));
        } else if (before && before->content == website.content) {
            index->m_contents.append(previous->m_contents.at(*found));
        } else {
            index->m_contents.append(loweredContent(contentOf(website)));
        }
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
        const std::optional<QByteArray> &fields = m_fields.at(position);
        const bool found = fields && !plainOnly
            ? (SubstringSearch::indexOf(*fields, needle) >= 0 || SubstringSearch::indexOf(m_contents.at(position), needle) >= 0)
            : matches(m_websites.at(position), loweredQuery);
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
