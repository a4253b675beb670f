#pragma once

#include <QByteArray>
#include <QCache>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class ThumbnailDownloader;

// The local store's folders and the thumbnail images in them, with an in-memory image cache in
// front of the thumbnails; the library's cache file beside them is LibraryCopies'. Every operation
// fails quietly: a file or network problem yields nothing and changes nothing. Thumbnail downloads
// run on a pool of their own; everything else is called from the main thread.
class LocalStoreManager
{
public:
    // A store in that folder, which is created (the view model's choice, or a test's).
    explicit LocalStoreManager(QString baseDirectory);
    // Abandons queued downloads, aborts running ones and waits for them.
    ~LocalStoreManager();
    LocalStoreManager(const LocalStoreManager &) = delete;
    LocalStoreManager &operator=(const LocalStoreManager &) = delete;

    [[nodiscard]] const QString &baseDirectory() const { return m_baseDirectory; }

    void ensureDirectoriesExist() const;
    [[nodiscard]] QString thumbnailsDirectory() const;

    void clearAllThumbnails();
    // The thumbnail from memory or disk, or else downloaded (or decoded from an inline data
    // address), stored and returned. Runs on the thumbnail pool, never on the calling thread.
    [[nodiscard]] QFuture<std::optional<QImage>> cacheThumbnailAsync(qint64 id, const std::optional<QString> &screenshotUrl);
    // Caches the thumbnails one after another in a single background task, in the order given.
    // Aborting its downloads, from any thread, ends the download in progress and the walk.
    using ThumbnailAddress = std::pair<qint64, std::optional<QString>>;
    struct ThumbnailWalk {
        std::shared_ptr<ThumbnailDownloader> downloads;
        QFuture<void> finished;
    };
    ThumbnailWalk cacheThumbnailsInOrder(QList<ThumbnailAddress> thumbnails);
    // Memory, then disk; never touches the network.
    [[nodiscard]] std::optional<QImage> loadCachedThumbnail(qint64 id);
    void deleteCachedThumbnail(qint64 id);
    [[nodiscard]] QString thumbnailFile(qint64 id) const;

    static constexpr int memoryCacheLimit = 250;

    // Test seam: runs just before a thumbnail is written or put into memory, with clears held off.
    void setKeepingThumbnailHook(std::function<void()> hook);

private:
    // A downloader whose downloads end when the store is destroyed.
    std::shared_ptr<ThumbnailDownloader> newDownloader();
    std::optional<QImage> cacheThumbnail(qint64 id, const QString &address, ThumbnailDownloader &downloader);
    std::optional<QImage> storeThumbnail(qint64 id, const QByteArray &bytes, quint64 clearingsAtStart);
    void remember(qint64 id, const QImage &image);

    const QString m_baseDirectory;

    QMutex m_memCacheMutex;
    QCache<qint64, QImage> m_memCache;

    QMutex m_downloadersMutex;
    QList<std::weak_ptr<ThumbnailDownloader>> m_downloaders;
    // Counts clearAllThumbnails calls: a download that was running during one stores nothing.
    std::atomic<quint64> m_clearings = 0;
    // Held by clearAllThumbnails throughout, and by whoever keeps a thumbnail from the check of
    // m_clearings until the image is on disk and in memory: a clear comes wholly before or after.
    QMutex m_clearingMutex;
    QThreadPool m_thumbnailPool;
    std::function<void()> m_keepingThumbnailHook;
};
