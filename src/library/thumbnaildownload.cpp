#include "thumbnaildownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace ThumbnailDownload
{
std::optional<QByteArray> fetch(const QUrl &url, const std::atomic<bool> &stop)
{
    // Other schemes never give an HTTP answer; refusing them early also keeps local files unread.
    if (url.scheme() != "http"_L1 && url.scheme() != "https"_L1)
        return std::nullopt;

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setTransferTimeout(idleTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString(userAgent));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    const auto abortWhenTooLarge = [&reply] {
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (declared > maximumBodySize || reply->bytesAvailable() > maximumBodySize)
            reply->abort();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, abortWhenTooLarge);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, abortWhenTooLarge);
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&reply, &stop] {
        if (stop)
            reply->abort();
    });
    stopCheck.start(100);
    if (!reply->isFinished())
        loop.exec();

    if (reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return std::nullopt;
    return reply->readAll();
}
}
