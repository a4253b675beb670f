#pragma once

#include "preferences.h"
#include "records.h"

#include <QFuture>
#include <QList>
#include <QMutex>
#include <QThreadPool>

#include <optional>

class LocalStoreManager;

// The two local copies of the library, the cache file and the preferences copy, read and written
// on a background thread of their own: encoding or parsing a large library takes far longer than
// the main thread may wait. The cache file lies in the local store's folder.
//
// The preferences copy is a store of its own beside the preferences, holding nothing else, so
// that no preference read or write ever parses or rewrites the library. A copy that an earlier
// version kept in the preferences themselves is moved there (see moveCopyOutOfPreferences).
//
// Everything happens in the order it was asked for: a list handed in later replaces one still
// waiting, a list that is overtaken while it is being encoded is not stored, and a clear wins over
// every write handed in before it. The bytes stored are exactly those of the encoders below.
class LibraryCopies
{
public:
    // Finishes moving an old copy out of the preferences before anything else.
    LibraryCopies(const Preferences::Location &preferences, const LocalStoreManager &localStore);
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

    // Takes the copy an earlier version kept in the preferences file out of it, before the
    // preferences are first opened: opening them reads the whole file, library included. Only the
    // file's lines are looked at, so this is quick whatever the library's size; the old file stays
    // beside the copy's place until the background thread has taken the copy out of it.
    static void moveCopyOutOfPreferences(const QString &preferencesFile);

    // Where the cache file is kept in that folder of the local store.
    [[nodiscard]] static QString cacheFileName(const QString &localStoreDirectory);
    // The cache file's encoding: indented JSON, as files already on users' disks hold it.
    [[nodiscard]] static QByteArray encodeCacheFile(const QList<SavedWebsite> &websites);
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
    void finishMovingCopy() const;
    [[nodiscard]] std::optional<Loaded> readLibrary() const;
    // The cached library, or nothing when the file is missing, unreadable or not a list of websites.
    [[nodiscard]] std::optional<QList<SavedWebsite>> readCacheFile() const;
    void storeCacheFile(const QByteArray &encoded) const;
    bool storePreferencesCopy(const QByteArray &encoded) const;

    Preferences::Location m_preferencesCopy;
    const LocalStoreManager &m_localStore;
    const QString m_cacheFile;
    QThreadPool m_pool;

    QMutex m_mutex;
    Slot m_cacheFileSlot;
    Slot m_preferencesCopySlot;
    bool m_writing = false;
};
