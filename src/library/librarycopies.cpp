#include "librarycopies.h"

#include "api/jsonreader.h"
#include "library/library.h"
#include "library/libraryorder.h"
#include "library/localstoremanager.h"
#include "platform/heap.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QtConcurrent>

#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

LibraryCopies::LibraryCopies(Preferences::Location preferences)
    : m_preferences(std::move(preferences))
    , m_preferencesCopy(preferencesCopyLocation(m_preferences))
{
    m_pool.setMaxThreadCount(1);
    // Before anything else is read or written.
    m_pool.start([this] { moveCopyOutOfPreferences(); });
}

LibraryCopies::~LibraryCopies()
{
    flush();
}

Preferences::Location LibraryCopies::preferencesCopyLocation(const Preferences::Location &preferences)
{
    const QFileInfo file(preferences.fileName);
    const QString name = file.completeBaseName() + ".library."_L1 + file.suffix();
    return {.fileName = file.dir().filePath(name), .format = preferences.format};
}

QByteArray LibraryCopies::encodePreferencesCopy(const QList<SavedWebsite> &websites)
{
    return QJsonDocument(SavedWebsite::listToJson(websites)).toJson(QJsonDocument::Compact);
}

void LibraryCopies::moveCopyOutOfPreferences()
{
    // A handle of this thread's own: settings objects may not be shared between threads.
    const auto preferences = Preferences::open(m_preferences);
    if (!preferences->contains(Preferences::kSavedWebsites))
        return;
    const std::optional<QByteArray> copy = preferences->data(Preferences::kSavedWebsites);
    // A copy already in its new place is newer than one an earlier version left behind.
    if (copy && !QFile::exists(m_preferencesCopy.fileName) && !storePreferencesCopy(*copy))
        return;
    preferences->remove(Preferences::kSavedWebsites);
    preferences->save();
}

QFuture<std::optional<LibraryCopies::Loaded>> LibraryCopies::load()
{
    return QtConcurrent::run(&m_pool, [this] {
        auto loaded = readLibrary();
        Heap::returnFreedMemoryWhenSettled();
        return loaded;
    });
}

std::optional<LibraryCopies::Loaded> LibraryCopies::readLibrary() const
{
    if (auto cached = LocalStoreManager::shared().loadWebsitesFromDisk(); cached && !cached->isEmpty())
        return Loaded{.websites = LibraryOrder::sorted(std::move(*cached))};
    if (!QFile::exists(m_preferencesCopy.fileName))
        return std::nullopt;
    const auto stored = Preferences::open(m_preferencesCopy)->data(Preferences::kSavedWebsites);
    if (!stored)
        return std::nullopt;
    const auto parsed = JsonReader::parse(*stored);
    auto decoded = parsed ? SavedWebsite::listFromJson(*parsed) : Decoded<QList<SavedWebsite>>::failure(u"not JSON"_s);
    if (!decoded) {
        qCInfo(lcLibrary) << "the stored copy of the library is unreadable:" << decoded.error();
        return std::nullopt;
    }
    return Loaded{.websites = LibraryOrder::sorted(std::move(decoded.value())), .fromPreferencesCopy = true};
}

// Written whole into a fresh file that then replaces the old one: a settings object parses its
// whole file before it writes, and the old copy is as large as the library.
bool LibraryCopies::storePreferencesCopy(const QByteArray &encoded) const
{
    const QString staging = m_preferencesCopy.fileName + ".new"_L1;
    QFile::remove(staging);
    {
        // The new file is made owner-only before anything is written into it.
        const auto store = Preferences::open({.fileName = staging, .format = m_preferencesCopy.format});
        store->setData(Preferences::kSavedWebsites, encoded);
        store->save();
    }
    std::error_code error;
    std::filesystem::rename(staging.toStdString(), m_preferencesCopy.fileName.toStdString(), error);
    if (error) {
        qCInfo(lcLibrary) << "the preferences copy of the library could not be stored:" << error.message().c_str();
        QFile::remove(staging);
        return false;
    }
    return true;
}

void LibraryCopies::writeCacheFile(const QList<SavedWebsite> &websites)
{
    hand(m_cacheFileSlot, Slot::Action::Write, websites);
}

void LibraryCopies::writePreferencesCopy(const QList<SavedWebsite> &websites)
{
    hand(m_preferencesCopySlot, Slot::Action::Write, websites);
}

void LibraryCopies::clear()
{
    hand(m_cacheFileSlot, Slot::Action::Remove);
    hand(m_preferencesCopySlot, Slot::Action::Remove);
}

void LibraryCopies::hand(Slot &slot, Slot::Action action, const QList<SavedWebsite> &websites)
{
    const QMutexLocker locker(&m_mutex);
    slot.action = action;
    slot.websites = websites;
    ++slot.generation;
    if (!m_writing) {
        m_writing = true;
        m_pool.start([this] { writeAll(); });
    }
}

void LibraryCopies::flush()
{
    m_pool.waitForDone();
}

bool LibraryCopies::isCurrent(const Slot &slot, quint64 generation)
{
    const QMutexLocker locker(&m_mutex);
    return slot.generation == generation;
}

void LibraryCopies::writeAll()
{
    while (true) {
        Slot cacheFile;
        Slot preferencesCopy;
        {
            const QMutexLocker locker(&m_mutex);
            if (m_cacheFileSlot.action == Slot::Action::None && m_preferencesCopySlot.action == Slot::Action::None) {
                m_writing = false;
                break;
            }
            cacheFile = std::exchange(m_cacheFileSlot, {.generation = m_cacheFileSlot.generation});
            preferencesCopy = std::exchange(m_preferencesCopySlot, {.generation = m_preferencesCopySlot.generation});
        }

        auto &store = LocalStoreManager::shared();
        if (cacheFile.action == Slot::Action::Remove) {
            store.clearWebsitesCache();
        } else if (cacheFile.action == Slot::Action::Write) {
            const QByteArray encoded = LocalStoreManager::encodeWebsitesCache(cacheFile.websites);
            if (isCurrent(m_cacheFileSlot, cacheFile.generation))
                store.storeWebsitesCache(encoded);
        }
        if (preferencesCopy.action == Slot::Action::Remove) {
            QFile::remove(m_preferencesCopy.fileName);
        } else if (preferencesCopy.action == Slot::Action::Write) {
            const QByteArray encoded = encodePreferencesCopy(preferencesCopy.websites);
            if (isCurrent(m_preferencesCopySlot, preferencesCopy.generation))
                storePreferencesCopy(encoded);
        }
    }
    // Encoding a large library leaves as much freed memory behind as the library takes.
    Heap::returnFreedMemoryWhenSettled();
}
