#include "iconapi.h"

#include "router.h"
#include "storepool.h"
#include "timestamps.h"

#include <QBuffer>
#include <QCoroFuture>
#include <QImage>
#include <QPointer>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace
{
constexpr int defaultSide = 128;
constexpr qsizetype maxDomainLength = 253 + 6;
constexpr auto foundLifetime = std::chrono::days(7);
constexpr auto missingLifetime = std::chrono::days(1);
constexpr qsizetype maxRememberedExpiries = 10'000;
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

IconApi::IconApi(StorePool &store, Limits limits, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_limits(limits)
    , m_fetcher(limits.fetch, m_imagePool)
{
    m_imagePool.setMaxThreadCount(2);
}

void IconApi::registerRoutes(Router &router)
{
    router.addPublic(QHttpServerRequest::Method::Get, u"/api/icon"_s, [this](ApiRequest request) { return icon(std::move(request)); });
}

qint64 IconApi::takeFetch(Stores &stores, const QString &clientKey, const Limits &limits)
{
    if (const qint64 wait
        = stores.limiter.take(u"icon fetch client "_s + clientKey, {limits.fetchesPerClientMinute, std::chrono::minutes(1)}))
        return wait;
    return stores.limiter.take(u"icon fetch all clients"_s, {limits.fetchesPerMinute, std::chrono::minutes(1)});
}

QCoro::Task<> IconApi::siteSaved(QUrl url, QHostAddress client)
{
    const QStringList domains = IconCache::siteDomains(url);
    // The domain the address names itself, port included: the one a request for it will name.
    const QString domain = domains.isEmpty() ? QString() : domains.last();
    if (domain.isEmpty() || m_flights.contains(domain) || m_cachedUntil.value(domain) > Timestamps::nowMs())
        co_return;
    QPointer self(this);
    auto deciding = m_store.run([domain, clientKey = RateLimiter::clientKey(client), limits = m_limits](Stores &stores) {
        const std::optional<qint64> cachedUntil = stores.icons.expiresMs(domain);
        return std::pair{cachedUntil, !cachedUntil && takeFetch(stores, clientKey, limits) == 0};
    });
    std::pair<std::optional<qint64>, bool> decision;
    try {
        decision = co_await deciding;
    } catch (const std::exception &) {
        // Already logged; the icon is fetched when it is first asked for.
        co_return;
    }
    if (!self)
        co_return;
    const auto [cachedUntil, fetch] = decision;
    if (cachedUntil) {
        if (m_cachedUntil.size() >= maxRememberedExpiries)
            m_cachedUntil.clear();
        m_cachedUntil.insert(domain, *cachedUntil);
    }
    // Runs on by itself, its flight registered before this returns; its outcome lands in the cache.
    if (fetch && !m_flights.contains(domain))
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
    // Cached before anyone is answered, so that every server on the database answers alike from
    // then on; a failing store must not leave the waiters waiting.
    if (outcome.kind == IconFetcher::Outcome::Kind::Found || outcome.kind == IconFetcher::Outcome::Kind::None) {
        const bool found = outcome.kind == IconFetcher::Outcome::Kind::Found;
        auto storing = m_store.run([domain, png = outcome.png, found](Stores &stores) {
            stores.icons.store(domain, png, found ? foundLifetime : missingLifetime);
        });
        try {
            co_await storing;
        } catch (const std::exception &) {
            // Already logged; the next request fetches again.
        }
        if (!self)
            co_return outcome;
    }
    m_flights.remove(domain);
    flight->outcome = outcome;
    flight->landed.wakeAll();
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
    QPointer self(this);
    auto looking = m_store.run([key](Stores &stores) {
        const auto png = stores.icons.find(key);
        return std::pair{png, png || stores.icons.isSavedSite(key)};
    });
    const auto [cached, savedSite] = co_await looking;
    if (!self)
        co_return ApiResponse::error(503, u"The server is shutting down."_s);
    if (cached) {
        if (cached->isEmpty())
            co_return noIcon();
        ApiResponse answer = co_await pngAnswer(*cached, answerSide);
        co_return answer;
    }
    if (!savedSite)
        co_return noIcon();
    if (!m_flights.contains(key)) {
        auto taking = m_store.run([clientKey = RateLimiter::clientKey(request.clientAddress), limits = m_limits](Stores &stores) {
            return takeFetch(stores, clientKey, limits);
        });
        const qint64 wait = co_await taking;
        if (wait)
            co_return ApiResponse::retryLater(429, u"Too many icons fetched. Please try again shortly."_s, wait);
        if (!self)
            co_return ApiResponse::error(503, u"The server is shutting down."_s);
    }

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
