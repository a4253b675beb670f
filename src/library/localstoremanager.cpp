#include "localstoremanager.h"

#include "atomicwrite.h"
#include "privatefiles.h"
#include "thumbnaildownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QThread>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace
{
std::optional<QImage> decodeImage(const QByteArray &bytes)
{
    QImage image = QImage::fromData(bytes);
    if (image.isNull())
        return std::nullopt;
    return image;
}

// The Base64 part of a "data:image…" address, strictly decoded: any character outside the
// alphabet, white space included, makes it fail.
std::optional<QByteArray> inlineImageBytes(const QString &address)
{
    if (!address.startsWith("data:image"_L1))
        return std::nullopt;
    const qsizetype comma = address.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    auto decoded
        = QByteArray::fromBase64Encoding(QStringView(address).sliced(comma + 1).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(decoded.decoded);
}
}

LocalStoreManager::LocalStoreManager(QString baseDirectory)
    : m_baseDirectory(std::move(baseDirectory))
{
    m_memCache.setMaxCost(memoryCacheLimit);
    // Downloads mostly wait on the network, so a few may run side by side without costing CPU.
    m_thumbnailPool.setMaxThreadCount(4);
    for (const QString &folder : {m_baseDirectory, thumbnailsDirectory()})
        PrivateFiles::makeFolder(folder);
    // Left readable by all by an earlier version. The folders are restricted at once; a large
    // library has a thumbnail per website, so the walk over the files does not hold up the start.
    std::ignore = QtConcurrent::run(&PrivateFiles::restrictTree, m_baseDirectory);
}

LocalStoreManager::~LocalStoreManager()
{
    m_thumbnailPool.clear();
    {
        const QMutexLocker locker(&m_downloadersMutex);
        for (const std::weak_ptr<ThumbnailDownloader> &registered : std::as_const(m_downloaders)) {
            if (const auto downloader = registered.lock())
                downloader->abort();
        }
        m_downloaders.clear();
    }
    m_thumbnailPool.waitForDone();
}

std::shared_ptr<ThumbnailDownloader> LocalStoreManager::newDownloader()
{
    auto downloader = std::make_shared<ThumbnailDownloader>();
    const QMutexLocker locker(&m_downloadersMutex);
    m_downloaders.removeIf([](const std::weak_ptr<ThumbnailDownloader> &registered) { return registered.expired(); });
    m_downloaders.append(downloader);
    return downloader;
}

void LocalStoreManager::ensureDirectoriesExist() const
{
    for (const QString &directory : {baseDirectory(), thumbnailsDirectory()}) {
        if (!QFileInfo::exists(directory))
            PrivateFiles::makeFolder(directory);
    }
}

QString LocalStoreManager::thumbnailsDirectory() const
{
    return QDir(baseDirectory()).filePath(u"Thumbnails"_s);
}

QString LocalStoreManager::thumbnailFile(qint64 id) const
{
    return QDir(thumbnailsDirectory()).filePath(u"thumb_%1.png"_s.arg(id));
}

void LocalStoreManager::clearAllThumbnails()
{
    const QMutexLocker clearing(&m_clearingMutex);
    ++m_clearings;
    {
        const QMutexLocker locker(&m_memCacheMutex);
        m_memCache.clear();
    }
    QDir directory(thumbnailsDirectory());
    if (!directory.exists())
        return;
    const QFileInfoList entries = directory.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

std::optional<QImage> LocalStoreManager::loadCachedThumbnail(qint64 id)
{
    {
        const QMutexLocker locker(&m_memCacheMutex);
        if (const QImage *image = m_memCache.object(id))
            return *image;
    }
    const quint64 clearings = m_clearings;
    QFile file(thumbnailFile(id));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto image = decodeImage(file.readAll());
    if (image) {
        const QMutexLocker clearing(&m_clearingMutex);
        // A file read just before a clear must not come back into memory after it.
        if (m_clearings == clearings) {
            if (m_keepingThumbnailHook)
                m_keepingThumbnailHook();
            remember(id, *image);
        }
    }
    return image;
}

void LocalStoreManager::deleteCachedThumbnail(qint64 id)
{
    {
        const QMutexLocker locker(&m_memCacheMutex);
        m_memCache.remove(id);
    }
    QFile::remove(thumbnailFile(id));
}

QFuture<std::optional<QImage>> LocalStoreManager::cacheThumbnailAsync(qint64 id, const std::optional<QString> &screenshotUrl)
{
    return QtConcurrent::run(&m_thumbnailPool, [this, id, address = screenshotUrl.value_or(QString()), downloader = newDownloader()] {
        QThread::currentThread()->setPriority(QThread::LowPriority);
        auto image = cacheThumbnail(id, address, *downloader);
        downloader->finish();
        return image;
    });
}

LocalStoreManager::ThumbnailWalk LocalStoreManager::cacheThumbnailsInOrder(QList<ThumbnailAddress> thumbnails)
{
    const std::shared_ptr<ThumbnailDownloader> downloader = newDownloader();
    QFuture<void> finished = QtConcurrent::run(&m_thumbnailPool, [this, thumbnails = std::move(thumbnails), downloader] {
        QThread::currentThread()->setPriority(QThread::LowPriority);
        for (const auto &[id, address] : thumbnails) {
            if (downloader->isAborted())
                break;
            cacheThumbnail(id, address.value_or(QString()), *downloader);
        }
        downloader->finish();
    });
    return {.downloads = downloader, .finished = std::move(finished)};
}

std::optional<QImage> LocalStoreManager::cacheThumbnail(qint64 id, const QString &address, ThumbnailDownloader &downloader)
{
    const quint64 clearings = m_clearings;
    if (auto cached = loadCachedThumbnail(id))
        return cached;
    if (address.isEmpty())
        return std::nullopt;
    if (const auto bytes = inlineImageBytes(address)) {
        if (auto image = storeThumbnail(id, *bytes, clearings))
            return image;
    }
    // An inline address that failed to decode ends here too: it never yields an HTTP answer.
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    const auto body = downloader.fetch(url);
    // Tiny bodies are error pages or tracking pixels, not thumbnails.
    if (!body || body->size() <= 100)
        return std::nullopt;
    return storeThumbnail(id, *body, clearings);
}

std::optional<QImage> LocalStoreManager::storeThumbnail(qint64 id, const QByteArray &bytes, quint64 clearingsAtStart)
{
    auto image = decodeImage(bytes);
    if (!image)
        return std::nullopt;
    const QMutexLocker clearing(&m_clearingMutex);
    // Everything was cleared (sign-out) while this one was on its way: it belongs to nobody now.
    if (m_clearings != clearingsAtStart)
        return image;
    if (m_keepingThumbnailHook)
        m_keepingThumbnailHook();
    ensureDirectoriesExist();
    writeFileAtomically(thumbnailFile(id), bytes);
    remember(id, *image);
    return image;
}

void LocalStoreManager::remember(qint64 id, const QImage &image)
{
    const QMutexLocker locker(&m_memCacheMutex);
    m_memCache.insert(id, new QImage(image));
}

void LocalStoreManager::setKeepingThumbnailHook(std::function<void()> hook)
{
    m_keepingThumbnailHook = std::move(hook);
}
