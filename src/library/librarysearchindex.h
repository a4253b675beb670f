#pragma once

#include "records.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class PageTextFile;

// The library's searchable text, lower-cased once when the list changes rather than on every
// keystroke, as UTF-8: for each website its title and address in one byte array, separated by a
// byte that UTF-8 never contains so that no match runs from one into the other, and its page text
// in another.
//
// With a page text file, page text and its lowered form are kept in that file rather than on the
// heap, and the indexed websites read their page text from it.
class LibrarySearchIndex
{
public:
    // Builds the index of websites. Text of websites that previous already holds unchanged is
    // reused instead of being lower-cased again. A page text file that matches the websites is
    // used as it is, otherwise written anew; without one, everything stays on the heap.
    static std::shared_ptr<const LibrarySearchIndex> build(const QList<SavedWebsite> &websites, const LibrarySearchIndex *previous,
                                                           const QString &pageTextFile = {});

    // The websites indexed, equal to those it was built from; their page text is read from the page
    // text file where there is one.
    [[nodiscard]] const QList<SavedWebsite> &websites() const { return m_websites; }
    // The page text file, if the text is kept in one.
    [[nodiscard]] const std::shared_ptr<const PageTextFile> &pageTextFile() const { return m_file; }
    // Whether this index holds exactly this list (not merely an equal one).
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
    // Per website, in list order. Websites whose lower-cased title or address is not well-formed
    // UTF-16 (lone surrogates) have none, since its UTF-8 form would not match the same way; they
    // are tested the plain way.
    QList<std::optional<QByteArray>> m_fields;
    // Per website, in list order: the lowered page text, on the heap or in m_file.
    QList<QByteArray> m_contents;
    std::shared_ptr<const PageTextFile> m_file;
};
