#include "librarysearch.h"

#include "heap.h"
#include "pagetextfile.h"

#include <QMutexLocker>
#include <QtConcurrent>

LibrarySearch::LibrarySearch(QString pageTextFile)
    : m_pageTextFile(std::move(pageTextFile))
{
    m_pool.setMaxThreadCount(1);
}

// Waits rather than drops what is queued: the last build may be the one that removes the page text
// of a user who signed out.
LibrarySearch::~LibrarySearch()
{
    m_pool.waitForDone();
}

QFuture<std::shared_ptr<const LibrarySearchIndex>> LibrarySearch::prepare(const QList<SavedWebsite> &websites)
{
    if (!m_building.isValid() || !LibrarySearchIndex::isSameList(m_buildingFor, websites))
        start(websites);
    return m_building;
}

void LibrarySearch::clear()
{
    start({});
}

void LibrarySearch::start(const QList<SavedWebsite> &websites)
{
    quint64 generation = 0;
    {
        const QMutexLocker locker(&m_mutex);
        generation = ++m_generation;
    }
    m_buildingFor = websites;
    m_building = QtConcurrent::run(&m_pool, &LibrarySearch::buildIndex, this, websites, generation);
}

std::shared_ptr<const LibrarySearchIndex> LibrarySearch::buildIndex(const QList<SavedWebsite> &websites, quint64 generation)
{
    std::shared_ptr<const LibrarySearchIndex> previous;
    {
        const QMutexLocker locker(&m_mutex);
        // A newer list is already waiting; nobody will ask for this one.
        if (generation != m_generation)
            return nullptr;
        previous = m_latest;
    }
    auto index = LibrarySearchIndex::build(websites, previous.get(), m_pageTextFile);
    previous.reset();
    Heap::returnFreedMemoryWhenSettled();
    const QMutexLocker locker(&m_mutex);
    // A build stolen onto the waiting main thread can overtake the one before it.
    if (generation > m_latestGeneration) {
        m_latest = index;
        m_latestGeneration = generation;
    }
    return index;
}

void LibrarySearch::releaseReadText()
{
    // Letting go of a large file's pages takes a while, and the interface need not wait for it.
    m_pool.start([this] {
        std::shared_ptr<const LibrarySearchIndex> latest;
        {
            const QMutexLocker locker(&m_mutex);
            latest = m_latest;
        }
        if (latest && latest->pageTextFile())
            latest->pageTextFile()->releaseText();
    });
}

void LibrarySearch::flush()
{
    m_pool.waitForDone();
}

QList<SavedWebsite> LibrarySearch::filter(const QList<SavedWebsite> &websites, const QString &query)
{
    const QString loweredQuery = query.trimmed().toLower();
    if (loweredQuery.isEmpty() || websites.isEmpty())
        return loweredQuery.isEmpty() ? websites : QList<SavedWebsite>();

    std::shared_ptr<const LibrarySearchIndex> index;
    {
        const QMutexLocker locker(&m_mutex);
        index = m_latest;
    }
    if (!index || !index->indexes(websites)) {
        if (!LibrarySearchIndex::isSameList(m_buildingFor, websites))
            prepare(websites);
        index = m_building.result();
    }
    return index->filter(loweredQuery);
}
