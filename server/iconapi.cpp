#include "iconapi.h"

#include "iconcache.h"
#include "ratelimiter.h"
#include "router.h"

#include <QBuffer>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace
{
constexpr int defaultSide = 128;
constexpr int largestSide = 256;
constexpr qsizetype maxDomainLength = 253 + 6;
constexpr auto foundLifetime = std::chrono::days(7);
constexpr auto missingLifetime = std::chrono::days(1);

QByteArray encodePng(const QImage &image, int side)
{
    const QImage scaled
        = image.width() > side || image.height() > side ? image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation) : image;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    scaled.save(&buffer, "PNG");
    return png;
}

ApiResponse pngAnswer(const QByteArray &png, int side)
{
    QImage image;
    // The cache holds the largest size; smaller ones are made from it on the way out.
    const QByteArray body
        = image.loadFromData(png, "PNG") && (image.width() > side || image.height() > side) ? encodePng(image, side) : png;
    return ApiResponse{200, "image/png", body, {{"Cache-Control", "public, max-age=86400"}}};
}

ApiResponse noIcon()
{
    return ApiResponse::error(404, u"This site has no icon."_s);
}
}

IconApi::IconApi(IconCache &cache, RateLimiter &limiter, IconFetcher::Limits fetchLimits, int fetchesPerMinute, QObject *parent)
    : QObject(parent)
    , m_cache(cache)
    , m_limiter(limiter)
    , m_fetcher(fetchLimits)
    , m_allowPrivateHosts(fetchLimits.allowPrivateHosts)
    , m_fetchesPerMinute(fetchesPerMinute)
{ }

void IconApi::registerRoutes(Router &router)
{
    router.add(QHttpServerRequest::Method::Get, u"/api/icon"_s, [this](ApiRequest request) { return icon(std::move(request)); });
}

QCoro::Task<ApiResponse> IconApi::icon(ApiRequest request)
{
    const QString domain = request.query.queryItemValue(u"domain"_s, QUrl::FullyDecoded).trimmed().toLower();
    const QString sizeText = request.query.queryItemValue(u"sz"_s);
    bool sizeOk = true;
    const int side = sizeText.isEmpty() ? defaultSide : sizeText.toInt(&sizeOk);
    if (!sizeOk || side <= 0)
        co_return ApiResponse::error(400, u"The size must be a positive number of pixels."_s);
    // A bare host, optionally with a port: no scheme, user, path or query may ride along.
    QUrl site;
    site.setScheme(u"https"_s);
    site.setAuthority(domain, QUrl::StrictMode);
    if (domain.isEmpty() || domain.size() > maxDomainLength || !site.isValid() || site.host().isEmpty() || !site.userInfo().isEmpty()
        || domain.contains(u'@') || domain.contains(u'/'))
        co_return ApiResponse::error(400, u"The domain must be a host name, optionally with a port."_s);
    const QString host = site.host(QUrl::FullyEncoded);
    const int port = site.port();
    if (!m_allowPrivateHosts && port != -1 && port != 80 && port != 443)
        co_return ApiResponse::error(403, u"Icons are fetched from ports 80 and 443 only."_s);
    const QString key = port == -1 ? host : u"%1:%2"_s.arg(host).arg(port);

    const int answerSide = qMin(side, largestSide);
    if (const auto cached = m_cache.find(key))
        co_return cached->isEmpty() ? noIcon() : pngAnswer(*cached, answerSide);
    if (const qint64 wait = m_limiter.take(u"icon fetch client "_s + RateLimiter::clientKey(request.clientAddress),
                                           {m_fetchesPerMinute, std::chrono::minutes(1)}))
        co_return ApiResponse::retryLater(429, u"Too many icons fetched. Please try again shortly."_s, wait);

    QPointer self(this);
    const IconFetcher::Outcome outcome = co_await m_fetcher.fetch(host, port);
    if (!self)
        co_return ApiResponse::error(503, u"The server is shutting down."_s);
    switch (outcome.kind) {
    case IconFetcher::Outcome::Kind::Refused:
        co_return ApiResponse::error(403, u"Icons are not fetched from this host."_s);
    case IconFetcher::Outcome::Kind::Busy:
        co_return ApiResponse::retryLater(503, u"The server is busy fetching icons. Please try again."_s, 5);
    case IconFetcher::Outcome::Kind::None:
        m_cache.store(key, {}, missingLifetime);
        co_return noIcon();
    case IconFetcher::Outcome::Kind::Found:
        break;
    }
    const QByteArray png = encodePng(outcome.image, largestSide);
    m_cache.store(key, png, foundLifetime);
    co_return pngAnswer(png, answerSide);
}
