#pragma once

#include "api/records.h"
#include "state/preferences.h"

#include <QFuture>
#include <QList>
#include <QMutex>
#include <QThreadPool>

#include <optional>

// The two local copies of the library, the cache file and the preferences copy, read and written
// on a background thread of their own: encoding or parsing a large library takes far longer than
// the main thread may wait.
//
// The preferences copy is a store of its own beside the preferences, holding nothing else, so
// that no preference read or write ever parses or rewrites the library. A copy that an earlier
// version kept in the preferences themselves is moved there first.
//
// Everything happens in the order it was asked for: a list handed in later replaces one still
// waiting, a list that is overtaken while it is being encoded is not stored, and a clear wins over
// every write handed in before it. The bytes stored are exactly those of the synchronous encoders.
class LibraryCopies
{
public:
    // The preferences store is only read to move an old copy out of it.
    explicit LibraryCopies(Preferences::Location preferences);
    // Waits for everything handed in.
    ~LibraryCopies();

    struct Loaded {
        // In library order.
        QList<SavedWebsite> websites;
        // The cache file was unusable; the cache file should be written from this list.
        bool fromPreferencesCopy = false;
    };
    // The cache file when it holds a non-empty list, else the preferences copy; nothing when
    // neither is readable.
    [[nodiscard]] QFuture<std::optional<Loaded>> load();

    void writeCacheFile(const QList<SavedWebsite> &websites);
    void writePreferencesCopy(const QList<SavedWebsite> &websites);
    // Removes both copies, after anything being stored now and instead of anything still waiting.
    void clear();
    // Blocks until everything handed in is done.
    void flush();

    // Where the preferences copy is kept for preferences at that location.
    [[nodiscard]] static Preferences::Location preferencesCopyLocation(const Preferences::Location &preferences);
    // The preferences copy's encoding: compact JSON.
    [[nodiscard]] static QByteArray encodePreferencesCopy(const QList<SavedWebsite> &websites);

private:
    struct Slot {
        enum class Action {
            None,
            Write,
            Remove
        };
        Action action = Action::None;
        QList<SavedWebsite> websites;
        quint64 generation = 0;
    };

    void hand(Slot &slot, Slot::Action action, const QList<SavedWebsite> &websites = {});
    void writeAll();
    bool isCurrent(const Slot &slot, quint64 generation);
    void moveCopyOutOfPreferences();
    [[nodiscard]] std::optional<Loaded> readLibrary() const;
    bool storePreferencesCopy(const QByteArray &encoded) const;

    Preferences::Location m_preferences;
    Preferences::Location m_preferencesCopy;
    QThreadPool m_pool;

    QMutex m_mutex;
    Slot m_cacheFileSlot;
    Slot m_preferencesCopySlot;
    bool m_writing = false;
};
