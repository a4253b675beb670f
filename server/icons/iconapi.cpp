#include "iconapi.h"

#include "database.h"
#include "iconcache.h"
#include "ratelimiter.h"
#include "router.h"

#include <QBuffer>
#include <QCoroFuture>
#include <QImage>
#include <QLoggingCategory>
#include <QPointer>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcIcons)

namespace
{
constexpr int defaultSide = 128;
constexpr qsizetype maxDomainLength = 253 + 6;
constexpr auto foundLifetime = std::chrono::days(7);
constexpr auto missingLifetime = std::chrono::days(1);
// Longer than any one fetch takes; a request joining a fetch gives up after this.
constexpr auto flightTimeout = std::chrono::minutes(2);

// Runs on the image pool: the cache holds the largest size, smaller ones are made on the way out.
QByteArray scaledPng(const QByteArray &png, int side)
{
    QImage image;
    if (!image.loadFromData(png, "PNG") || (image.width() <= side && image.height() <= side))
        return png;
    QByteArray scaled;
    QBuffer buffer(&scaled);
    buffer.open(QIODevice::WriteOnly);
    image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(&buffer, "PNG");
    return scaled;
}

ApiResponse noIcon()
{
    return ApiResponse::error(404, u"This site has no icon."_s);
}
}

IconApi::IconApi(IconCache &cache, RateLimiter &limiter, Limits limits, QObject *parent)
    : QObject(parent)
    , m_cache(cache)
    , m_limiter(limiter)
    , m_limits(limits)
    , m_fetcher(limits.fetch, m_imagePool)
{
    m_imagePool.setMaxThreadCount(2);
}

void IconApi::registerRoutes(Router &router)
{
    router.add(QHttpServerRequest::Method::Get, u"/api/icon"_s, [this](ApiRequest request) { return icon(std::move(request)); });
}

qint64 IconApi::takeFetch(const QHostAddress &client)
{
    if (const qint64 wait = m_limiter.take(u"icon fetch client "_s + RateLimiter::clientKey(client),
                                           {m_limits.fetchesPerClientMinute, std::chrono::minutes(1)}))
        return wait;
    return m_limiter.take(u"icon fetch all clients"_s, {m_limits.fetchesPerMinute, std::chrono::minutes(1)});
}

void IconApi::siteSaved(const QUrl &url, const QHostAddress &client)
{
    const QStringList domains = IconCache::siteDomains(url);
    // The domain the address names itself, port included: the one a request for it will name.
    const QString domain = domains.isEmpty() ? QString() : domains.last();
    try {
        m_cache.addSavedSite(url);
        if (domain.isEmpty() || m_flights.contains(domain) || m_cache.find(domain) || takeFetch(client) != 0)
            return;
    } catch (const DatabaseError &failure) {
        // The website is saved all the same; its icon is fetched when it is first asked for.
        qCWarning(lcIcons) << "recording a saved site failed:" << failure.what();
        return;
    }
    // Runs on by itself; its outcome lands in the cache.
    fetchShared(domain, url.host(QUrl::FullyEncoded), url.port());
}

QCoro::Task<IconFetcher::Outcome> IconApi::fetchShared(QString domain, QString host, int port)
{
    QPointer self(this);
    if (const std::shared_ptr<Flight> flight = m_flights.value(domain)) {
        const bool landed = co_await flight->landed.wait(flightTimeout);
        if (!self || !landed)
            co_return IconFetcher::Outcome{IconFetcher::Outcome::Kind::Busy, {}};
        co_return *flight->outcome;
    }
    const auto flight = std::make_shared<Flight>();
    m_flights.insert(domain, flight);
    IconFetcher::Outcome outcome = co_await m_fetcher.fetch(host, port);
    if (!self)
        co_return outcome;
    // The waiters are answered first: a failing store must not leave them waiting.
    m_flights.remove(domain);
    flight->outcome = outcome;
    flight->landed.wakeAll();
    if (outcome.kind == IconFetcher::Outcome::Kind::Found)
        m_cache.store(domain, outcome.png, foundLifetime);
    else if (outcome.kind == IconFetcher::Outcome::Kind::None)
        m_cache.store(domain, {}, missingLifetime);
    co_return outcome;
}

QCoro::Task<ApiResponse> IconApi::pngAnswer(QByteArray png, int side)
{
    const QByteArray body = co_await QtConcurrent::run(&m_imagePool, scaledPng, png, side);
    co_return ApiResponse{200, "image/png", body, {{"Cache-Control", "public, max-age=86400"}}};
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
    if (!m_limits.fetch.allowPrivateHosts && port != -1 && port != 80 && port != 443)
        co_return ApiResponse::error(403, u"Icons are fetched from ports 80 and 443 only."_s);
    const QString key = port == -1 ? host : u"%1:%2"_s.arg(host).arg(port);

    const int answerSide = qMin(side, m_limits.fetch.iconSide);
    if (const auto cached = m_cache.find(key)) {
        if (cached->isEmpty())
            co_return noIcon();
        ApiResponse answer = co_await pngAnswer(*cached, answerSide);
        co_return answer;
    }
    if (!m_cache.isSavedSite(key))
        co_return noIcon();
    if (!m_flights.contains(key)) {
        if (const qint64 wait = takeFetch(request.clientAddress))
            co_return ApiResponse::retryLater(429, u"Too many icons fetched. Please try again shortly."_s, wait);
    }

    QPointer self(this);
    const IconFetcher::Outcome outcome = co_await fetchShared(key, host, port);
    if (!self)
        co_return ApiResponse::error(503, u"The server is shutting down."_s);
    switch (outcome.kind) {
    case IconFetcher::Outcome::Kind::Refused:
        co_return ApiResponse::error(403, u"Icons are not fetched from this host."_s);
    case IconFetcher::Outcome::Kind::Busy:
        co_return ApiResponse::retryLater(503, u"The server is busy fetching icons. Please try again."_s, 5);
    case IconFetcher::Outcome::Kind::None:
        co_return noIcon();
    case IconFetcher::Outcome::Kind::Found:
        break;
    }
    ApiResponse answer = co_await pngAnswer(outcome.png, answerSide);
    co_return answer;
}
