#include "thumbnaildownload.h"

#include <QEventLoop>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

ThumbnailDownloader::ThumbnailDownloader() = default;

ThumbnailDownloader::~ThumbnailDownloader() = default;

std::optional<QByteArray> ThumbnailDownloader::fetch(const QUrl &url)
{
    // Other schemes never give an HTTP answer; refusing them early also keeps local files unread.
    if (url.scheme() != "http"_L1 && url.scheme() != "https"_L1)
        return std::nullopt;
    QNetworkAccessManager *network = nullptr;
    {
        const QMutexLocker locker(&m_mutex);
        if (m_aborted)
            return std::nullopt;
        if (!m_network)
            m_network = std::make_unique<QNetworkAccessManager>();
        network = m_network.get();
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(idleTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString(userAgent));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(network->get(request));
    // An abort() from now on finds the reply: its event is handled by the loop below.
    m_reply = reply.get();

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    const auto abortWhenTooLarge = [&reply] {
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (declared > maximumBodySize || reply->bytesAvailable() > maximumBodySize)
            reply->abort();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, abortWhenTooLarge);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, abortWhenTooLarge);
    if (!reply->isFinished())
        loop.exec();
    m_reply = nullptr;

    if (reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return std::nullopt;
    return reply->readAll();
}

void ThumbnailDownloader::abort()
{
    const QMutexLocker locker(&m_mutex);
    m_aborted = true;
    // Queued onto the downloading thread, where the reply lives; dropped if the manager goes first.
    if (m_network) {
        QMetaObject::invokeMethod(
            m_network.get(),
            [this] {
                if (m_reply)
                    m_reply->abort();
            },
            Qt::QueuedConnection);
    }
}

bool ThumbnailDownloader::isAborted() const
{
    const QMutexLocker locker(&m_mutex);
    return m_aborted;
}

void ThumbnailDownloader::finish()
{
    std::unique_ptr<QNetworkAccessManager> network;
    {
        const QMutexLocker locker(&m_mutex);
        network = std::move(m_network);
    }
}
