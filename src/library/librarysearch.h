#pragma once

#include "librarysearchindex.h"

#include <QFuture>
#include <QList>
#include <QMutex>
#include <QThreadPool>

#include <memory>

// Keeps a search index of the library ready: each new list is indexed in the background as soon
// as it is published, so a search only scans prepared text. Builds run one at a time, each
// reusing the text of the one before. Page text goes to the page text file when one is named; a
// list without page text removes it.
class LibrarySearch
{
public:
    explicit LibrarySearch(QString pageTextFile = {});
    ~LibrarySearch();

    // Starts indexing this list in the background, unless it is the list being indexed already.
    // The list need not be published yet: one indexed ahead is searched at once when it is.
    QFuture<std::shared_ptr<const LibrarySearchIndex>> prepare(const QList<SavedWebsite> &websites);

    // The websites of the list that match query (trimmed and lower-cased here), in list order. Uses
    // the index of exactly this list, waiting for its build if it is still running.
    [[nodiscard]] QList<SavedWebsite> filter(const QList<SavedWebsite> &websites, const QString &query);
    // Lets the system take back the memory of page text read from the file, after a comparison of
    // the whole library or an export; a search reads only the lowered forms.
    void releaseReadText();
    // Forgets the page text: removes the page text file after any build under way.
    void clear();
    // Blocks until every build asked for is done, its page text file written or removed.
    void flush();

private:
    void start(const QList<SavedWebsite> &websites);
    std::shared_ptr<const LibrarySearchIndex> buildIndex(const QList<SavedWebsite> &websites, quint64 generation);

    const QString m_pageTextFile;
    QThreadPool m_pool;
    QFuture<std::shared_ptr<const LibrarySearchIndex>> m_building;
    QList<SavedWebsite> m_buildingFor;

    QMutex m_mutex;
    quint64 m_generation = 0;
    std::shared_ptr<const LibrarySearchIndex> m_latest;
    quint64 m_latestGeneration = 0;
};
