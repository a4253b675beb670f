#include "librarycopies.h"

#include "atomicwrite.h"
#include "heap.h"
#include "library.h"
#include "libraryorder.h"
#include "localstoremanager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QtConcurrent>

#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace
{
// The old preferences file, kept under this name beside the copy's place while it is moved.
QString movingFile(const QString &preferencesCopyFile)
{
    return preferencesCopyFile + ".moving"_L1;
}

// Where the line of key in the [General] section of an INI file starts and ends (with its line
// break).
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
};
std::optional<Line> findGeneralLine(QByteArrayView ini, QByteArrayView key)
{
    // Keys before any section header belong to [General] as well.
    bool inGeneral = true;
    for (qsizetype begin = 0; begin < ini.size();) {
        const qsizetype lineBreak = ini.indexOf('\n', begin);
        const qsizetype end = lineBreak < 0 ? ini.size() : lineBreak + 1;
        const QByteArrayView line = ini.sliced(begin, end - begin);
        if (line.startsWith('['))
            inGeneral = line.trimmed() == "[General]";
        else if (inGeneral && line.startsWith(key) && line.sliced(key.size()).startsWith('='))
            return Line{.begin = begin, .end = end};
        begin = end;
    }
    return std::nullopt;
}

// The file's bytes, mapped rather than read: the library in it may be hundreds of megabytes.
class MappedFile
{
public:
    explicit MappedFile(const QString &path)
        : m_file(path)
    {
        if (m_file.open(QIODevice::ReadOnly) && m_file.size() > 0)
            m_bytes = m_file.map(0, m_file.size());
    }
    [[nodiscard]] QByteArrayView bytes() const { return {m_bytes, m_bytes ? m_file.size() : 0}; }

private:
    QFile m_file;
    const uchar *m_bytes = nullptr;
};
}

LibraryCopies::LibraryCopies(const Preferences::Location &preferences, const LocalStoreManager &localStore)
    : m_preferencesCopy(preferencesCopyLocation(preferences))
    , m_localStore(localStore)
    , m_cacheFile(cacheFileName(localStore.baseDirectory()))
{
    m_pool.setMaxThreadCount(1);
    // Before the copy is read or written.
    m_pool.start([this] { finishMovingCopy(); });
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

QString LibraryCopies::cacheFileName(const QString &localStoreDirectory)
{
    return QDir(localStoreDirectory).filePath(u"websites_cache.json"_s);
}

QByteArray LibraryCopies::encodeCacheFile(const QList<SavedWebsite> &websites)
{
    return SavedWebsite::listToJsonText(websites, QJsonDocument::Indented);
}

QByteArray LibraryCopies::encodePreferencesCopy(const QList<SavedWebsite> &websites)
{
    return SavedWebsite::listToJsonText(websites, QJsonDocument::Compact);
}

void LibraryCopies::moveCopyOutOfPreferences(const QString &preferencesFile)
{
    // What a link points to is never taken in: the preferences replace it with a file of their own.
    if (QFileInfo(preferencesFile).isSymLink())
        return;
    std::optional<Line> line;
    QByteArray rest;
    {
        const MappedFile preferences(preferencesFile);
        const QByteArrayView bytes = preferences.bytes();
        line = findGeneralLine(bytes, Preferences::kSavedWebsites);
        if (!line)
            return;
        rest = bytes.first(line->begin).toByteArray() + bytes.sliced(line->end).toByteArray();
    }
    // A second name keeps the old file, copy and all, until the background thread has stored the
    // copy: nothing is lost if the application stops in between.
    const QString moving = movingFile(preferencesCopyLocation({.fileName = preferencesFile}).fileName);
    QFile::remove(moving);
    std::error_code error;
    std::filesystem::create_hard_link(preferencesFile.toStdString(), moving.toStdString(), error);
    if (error) {
        qCInfo(lcLibrary) << "the library stays in the preferences file:" << error.message().c_str();
        return;
    }
    if (const auto failure = writeFileAtomically(preferencesFile, rest)) {
        qCInfo(lcLibrary) << "the library stays in the preferences file:" << *failure;
        QFile::remove(moving);
    }
}

void LibraryCopies::finishMovingCopy() const
{
    const QString moving = movingFile(m_preferencesCopy.fileName);
    // A copy already in its new place is newer than one an earlier version left behind.
    if (QFile::exists(moving) && !QFile::exists(m_preferencesCopy.fileName)) {
        const MappedFile old(moving);
        const QByteArrayView bytes = old.bytes();
        if (const auto line = findGeneralLine(bytes, Preferences::kSavedWebsites)) {
            QByteArray copy = "[General]\n" + bytes.sliced(line->begin, line->end - line->begin).toByteArray();
            if (!copy.endsWith('\n'))
                copy += '\n';
            if (const auto failure = writeFileAtomically(m_preferencesCopy.fileName, copy)) {
                // Tried again at the next start.
                qCInfo(lcLibrary) << "the library could not be moved out of the preferences file:" << *failure;
                return;
            }
        }
    }
    QFile::remove(moving);
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
    if (auto cached = readCacheFile(); cached && !cached->isEmpty())
        return Loaded{.websites = LibraryOrder::sorted(std::move(*cached))};
    if (!QFile::exists(m_preferencesCopy.fileName))
        return std::nullopt;
    const auto stored = Preferences::readDataOnce(m_preferencesCopy, Preferences::kSavedWebsites);
    if (!stored)
        return std::nullopt;
    auto decoded = SavedWebsite::listFromJsonText(*stored).value_or(Decoded<QList<SavedWebsite>>::failure(u"not JSON"_s));
    if (!decoded) {
        qCInfo(lcLibrary) << "the stored copy of the library is unreadable:" << decoded.error();
        return std::nullopt;
    }
    return Loaded{.websites = LibraryOrder::sorted(std::move(decoded.value())), .fromPreferencesCopy = true};
}

std::optional<QList<SavedWebsite>> LibraryCopies::readCacheFile() const
{
    QFile file(m_cacheFile);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto decoded = SavedWebsite::listFromJsonText(file.readAll());
    // A corrupt file stays where it is; the next write replaces it.
    if (!decoded)
        return std::nullopt;
    return std::move(*decoded).toOptional();
}

void LibraryCopies::storeCacheFile(const QByteArray &encoded) const
{
    // The folder may have been removed since the start.
    m_localStore.ensureDirectoriesExist();
    if (const auto failure = writeFileAtomically(m_cacheFile, encoded))
        qCInfo(lcLibrary) << "the cache file of the library could not be stored:" << *failure;
}

// Written whole into a fresh file that then replaces the old one: a settings object parses its
// whole file before it writes, and the old copy is as large as the library.
bool LibraryCopies::storePreferencesCopy(const QByteArray &encoded) const
{
    const Preferences::Location staging{.fileName = m_preferencesCopy.fileName + ".new"_L1, .format = m_preferencesCopy.format};
    QFile::remove(staging.fileName);
    {
        // The new file is made owner-only before anything is written into it.
        const auto store = Preferences::open(staging);
        store->setData(Preferences::kSavedWebsites, encoded);
        store->save();
    }
    std::error_code error;
    std::filesystem::rename(staging.fileName.toStdString(), m_preferencesCopy.fileName.toStdString(), error);
    if (error) {
        qCInfo(lcLibrary) << "the preferences copy of the library could not be stored:" << error.message().c_str();
        QFile::remove(staging.fileName);
    }
    Preferences::forgetRemovedFile(staging);
    return !error;
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

        if (cacheFile.action == Slot::Action::Remove) {
            QFile::remove(m_cacheFile);
        } else if (cacheFile.action == Slot::Action::Write) {
            const QByteArray encoded = encodeCacheFile(cacheFile.websites);
            if (isCurrent(m_cacheFileSlot, cacheFile.generation))
                storeCacheFile(encoded);
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
