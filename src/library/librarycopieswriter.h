#pragma once

#include "api/records.h"
#include "state/preferences.h"

#include <QList>
#include <QMutex>
#include <QThreadPool>

#include <optional>

// Writes the two local copies of the library, the cache file and the preferences entry, on a
// background thread: encoding a large library takes far longer than the main thread may wait.
// Writes keep their order: a list handed in later replaces one still waiting, and a list that is
// overtaken while it is being encoded is not stored. The bytes stored are exactly those of the
// synchronous encoders.
class LibraryCopiesWriter
{
public:
    // The writer's thread opens its own handle on the preferences store at that location.
    explicit LibraryCopiesWriter(Preferences::Location preferences);
    // Waits for every write handed in.
    ~LibraryCopiesWriter();

    void writeCacheFile(const QList<SavedWebsite> &websites);
    void writePreferencesCopy(const QList<SavedWebsite> &websites);
    // Forgets every write not yet stored; once it returns, nothing handed in before is written.
    void discardPending();
    // Blocks until every write handed in is stored.
    void flush();

    // The preferences entry's encoding: compact JSON.
    [[nodiscard]] static QByteArray encodePreferencesCopy(const QList<SavedWebsite> &websites);

private:
    struct Slot {
        std::optional<QList<SavedWebsite>> pending;
        quint64 generation = 0;
    };

    void hand(Slot &slot, const QList<SavedWebsite> &websites);
    void writeAll();
    bool isCurrent(const Slot &slot, quint64 generation);

    Preferences::Location m_preferences;
    QThreadPool m_pool;

    QMutex m_mutex;
    Slot m_cacheFile;
    Slot m_preferencesCopy;
    bool m_running = false;

    // Held while a write is stored, so discardPending can wait for one in progress.
    QMutex m_storeMutex;
};
