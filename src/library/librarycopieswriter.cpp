#include "librarycopieswriter.h"

#include "library/localstoremanager.h"

#include <QJsonDocument>
#include <QMutexLocker>

LibraryCopiesWriter::LibraryCopiesWriter(Preferences::Location preferences)
    : m_preferences(std::move(preferences))
{
    m_pool.setMaxThreadCount(1);
}

LibraryCopiesWriter::~LibraryCopiesWriter()
{
    flush();
}

QByteArray LibraryCopiesWriter::encodePreferencesCopy(const QList<SavedWebsite> &websites)
{
    return QJsonDocument(SavedWebsite::listToJson(websites)).toJson(QJsonDocument::Compact);
}

void LibraryCopiesWriter::writeCacheFile(const QList<SavedWebsite> &websites)
{
    hand(m_cacheFile, websites);
}

void LibraryCopiesWriter::writePreferencesCopy(const QList<SavedWebsite> &websites)
{
    hand(m_preferencesCopy, websites);
}

void LibraryCopiesWriter::hand(Slot &slot, const QList<SavedWebsite> &websites)
{
    const QMutexLocker locker(&m_mutex);
    slot.pending = websites;
    ++slot.generation;
    if (!m_running) {
        m_running = true;
        m_pool.start([this] { writeAll(); });
    }
}

void LibraryCopiesWriter::discardPending()
{
    {
        const QMutexLocker locker(&m_mutex);
        for (Slot *slot : {&m_cacheFile, &m_preferencesCopy}) {
            slot->pending.reset();
            ++slot->generation;
        }
    }
    // A write being stored right now finishes before this returns; later ones see the new generation.
    const QMutexLocker storing(&m_storeMutex);
}

void LibraryCopiesWriter::flush()
{
    m_pool.waitForDone();
}

bool LibraryCopiesWriter::isCurrent(const Slot &slot, quint64 generation)
{
    const QMutexLocker locker(&m_mutex);
    return slot.generation == generation;
}

void LibraryCopiesWriter::writeAll()
{
    while (true) {
        std::optional<QList<SavedWebsite>> cacheFileList;
        std::optional<QList<SavedWebsite>> preferencesList;
        quint64 cacheFileGeneration = 0;
        quint64 preferencesGeneration = 0;
        {
            const QMutexLocker locker(&m_mutex);
            if (!m_cacheFile.pending && !m_preferencesCopy.pending) {
                m_running = false;
                return;
            }
            cacheFileList.swap(m_cacheFile.pending);
            preferencesList.swap(m_preferencesCopy.pending);
            cacheFileGeneration = m_cacheFile.generation;
            preferencesGeneration = m_preferencesCopy.generation;
        }

        if (cacheFileList) {
            const QByteArray encoded = LocalStoreManager::encodeWebsitesCache(*cacheFileList);
            const QMutexLocker storing(&m_storeMutex);
            if (isCurrent(m_cacheFile, cacheFileGeneration))
                LocalStoreManager::shared().storeWebsitesCache(encoded);
        }
        if (preferencesList) {
            const QByteArray encoded = encodePreferencesCopy(*preferencesList);
            const QMutexLocker storing(&m_storeMutex);
            if (isCurrent(m_preferencesCopy, preferencesGeneration)) {
                // A store of this thread's own: settings objects may not be shared between threads.
                const auto preferences = Preferences::open(m_preferences);
                preferences->setData(Preferences::kSavedWebsites, encoded);
            }
        }
    }
}
