#pragma once

#include "records.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// The library's searchable text, lower-cased once when the list changes rather than on every
// keystroke. Each website's title, address and page text are kept in lower case as UTF-8 in one
// byte array, the fields separated by a byte that UTF-8 never contains, so one scan finds a match
// and no match can run from one field into the next.
class LibrarySearchIndex
{
public:
    // Builds the index of websites. Text of websites that previous already holds unchanged is
    // copied from it instead of being lower-cased again.
    static std::shared_ptr<const LibrarySearchIndex> build(const QList<SavedWebsite> &websites, const LibrarySearchIndex *previous);

    // Whether this index was built from exactly this list (not merely an equal one).
    [[nodiscard]] bool indexes(const QList<SavedWebsite> &websites) const { return isSameList(websites, m_websites); }
    // The same list, not merely an equal one: the index keeps its list alive, so a changed copy
    // has always been detached into storage of its own.
    [[nodiscard]] static bool isSameList(const QList<SavedWebsite> &first, const QList<SavedWebsite> &second)
    {
        return first.size() == second.size() && first.constData() == second.constData();
    }

    // The indexed websites whose title, address or page text, lower-cased, contains loweredQuery;
    // in list order. An empty query matches everything.
    [[nodiscard]] QList<SavedWebsite> filter(const QString &loweredQuery) const;

    // The same rule for one website, lower-casing as it goes.
    [[nodiscard]] static bool matches(const SavedWebsite &website, const QString &loweredQuery);

private:
    LibrarySearchIndex() = default;

    QList<SavedWebsite> m_websites;
    // Per website, in list order. Websites whose lower-cased text is not well-formed UTF-16 (lone
    // surrogates) have none, since its UTF-8 form would not match the same way; they are tested
    // the plain way.
    QList<std::optional<QByteArray>> m_texts;
};
