#include "thumbnailimageprovider.h"

#include "localstoremanager.h"

#include <QFutureWatcher>
#include <QImage>
#include <QUrl>

namespace
{
class ThumbnailResponse : public QQuickImageResponse
{
public:
    ThumbnailResponse(LocalStoreManager &store, qint64 websiteId, const QString &screenshotUrl, QSize requestedSize)
        : m_requestedSize(requestedSize)
    {
        if (auto cached = store.loadCachedThumbnail(websiteId)) {
            finish(*cached);
            return;
        }
        if (screenshotUrl.isEmpty()) {
            finish(std::nullopt);
            return;
        }
        // The watcher belongs to the response: a request the view cancels hears nothing more.
        auto *watcher = new QFutureWatcher<std::optional<QImage>>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] { finish(watcher->result()); });
        watcher->setFuture(store.cacheThumbnailAsync(websiteId, screenshotUrl));
    }

    QQuickTextureFactory *textureFactory() const override { return QQuickTextureFactory::textureFactoryForImage(m_image); }

private:
    void announceFinished() { Q_EMIT finished(); }

    void finish(const std::optional<QImage> &image)
    {
        if (image && !image->isNull()) {
            const bool shrink = m_requestedSize.isValid() && !m_requestedSize.isEmpty()
                && (image->width() > m_requestedSize.width() || image->height() > m_requestedSize.height());
            m_image = shrink ? image->scaled(m_requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation) : *image;
        }
        // Queued: whoever asked connects to finished only once the response has been returned.
        QMetaObject::invokeMethod(this, &ThumbnailResponse::announceFinished, Qt::QueuedConnection);
    }

    QSize m_requestedSize;
    QImage m_image;
};
}

QQuickImageResponse *ThumbnailImageProvider::requestImageResponse(const QString &id, const QSize &requestedSize)
{
    const qsizetype slash = id.indexOf(u'/');
    bool isNumber = false;
    const qint64 websiteId = id.left(slash).toLongLong(&isNumber);
    const QString screenshotUrl = slash < 0 ? QString() : QUrl::fromPercentEncoding(id.mid(slash + 1).toUtf8());
    // A malformed id names no website: it gets nothing, and certainly no download.
    return new ThumbnailResponse(m_store, isNumber ? websiteId : -1, isNumber ? screenshotUrl : QString(), requestedSize);
}
