#include "pagetextextractor.h"

#include "capturelog.h"
#include "pagedecoding.h"
#include "pagemarkup.h"
#include "requestpipeline.h"
#include "tabreader.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QPointer>
#include <QTimer>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace
{
std::optional<QString> scriptedText(const std::shared_ptr<TabReader> &reader, const QString &browserName)
{
    std::optional<QString> text = reader->readPageText(browserName);
    if (!text || text->trimmed().isEmpty())
        return std::nullopt;
    return PageMarkup::firstCharacters(*text, PageTextExtractor::pageTextLimit);
}

QString fetchedText(const QByteArray &body, const QByteArray &contentType, bool truncated)
{
    const std::optional<QString> page = PageDecoding::decode(body, contentType, truncated);
    if (!page)
        return {};
    return PageMarkup::firstCharacters(PageMarkup::toText(*page), PageTextExtractor::pageTextLimit);
}
}

PageTextExtractor::PageTextExtractor(std::shared_ptr<TabReader> reader, std::chrono::milliseconds fetchTimeout, QObject *parent)
    : QObject(parent)
    , m_reader(std::move(reader))
    , m_fetchTimeout(fetchTimeout)
{ }

QCoro::Task<QString> PageTextExtractor::extractPageText(QString url, QString browserName)
{
    QPointer self(this);
    const std::optional<QString> scripted = co_await QtConcurrent::run(scriptedText, m_reader, browserName);
    if (scripted || !self)
        co_return scripted.value_or(QString());

    const QUrl address(url, QUrl::StrictMode);
    // Other schemes give no HTTP answer; refusing them also keeps local files from being read.
    if (!address.isValid() || (address.scheme() != "http"_L1 && address.scheme() != "https"_L1))
        co_return QString();
    std::optional<Download> page = co_await download(address);
    if (!page || !self)
        co_return QString();
    co_return co_await QtConcurrent::run(fetchedText, std::move(page->body), std::move(page->contentType), page->truncated);
}

QCoro::Task<std::optional<PageTextExtractor::Download>> PageTextExtractor::download(QUrl url)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString(userAgent));
    QPointer self(this);
    const RequestPipeline::ReplyPointer reply(m_network.get(request));
    QNetworkReply *const replyHandle = reply.get();
    auto received = std::make_shared<Download>();
    connect(replyHandle, &QNetworkReply::readyRead, replyHandle, [replyHandle, received] {
        received->body += replyHandle->read(maximumDownloadSize - received->body.size());
        if (received->body.size() >= maximumDownloadSize) {
            received->truncated = true;
            replyHandle->abort();
        }
    });
    QTimer::singleShot(m_fetchTimeout, replyHandle, &QNetworkReply::abort);
    co_await replyHandle;
    if (!self)
        co_return std::nullopt;

    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200
        || (reply->error() != QNetworkReply::NoError && !received->truncated)) {
        qCDebug(lcCapture) << "page fetch gave no text:" << reply->error();
        co_return std::nullopt;
    }
    received->contentType = reply->rawHeader("Content-Type");
    co_return std::move(*received);
}
