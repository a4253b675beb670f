#pragma once

#include "apirequest.h"
#include "apiresponse.h"
#include "iconfetcher.h"
#include "waitqueue.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QThreadPool>

#include <memory>

class Router;
class StorePool;
struct Stores;

// GET /api/icon?domain=<host>&sz=<n>: a site's icon as a PNG of at most sz × sz pixels, fetched
// by the server itself so that no outside service learns which sites a user saves. The route is
// public (stored icon addresses carry no credentials), so it fetches only for sites some account
// saved, and a save fetches in the background so that the icon is usually cached by the time it
// is asked for. Answers are cached (found for a week, not found for a day); fetches count against
// a per-client limit and a ceiling for all clients, and fetches for the same site share one.
class IconApi : public QObject
{
    Q_OBJECT

public:
    struct Limits {
        IconFetcher::Limits fetch;
        int fetchesPerClientMinute = 30;
        int fetchesPerMinute = 300;
    };

    IconApi(StorePool &store, Limits limits, QObject *parent = nullptr);

    void registerRoutes(Router &router);
    // Decides whether to fetch the icon of a just saved website's site, and starts the fetch:
    // awaited before the save is answered, so that an icon request right after it joins the fetch.
    QCoro::Task<> siteSaved(QUrl url, QHostAddress client);

private:
    struct Flight {
        WaitQueue landed;
        std::optional<IconFetcher::Outcome> outcome;
    };

    QCoro::Task<ApiResponse> icon(ApiRequest request);
    QCoro::Task<ApiResponse> pngAnswer(QByteArray png, int side);
    // 0 when a fetch may start now, else the seconds until one may; runs on a store thread.
    static qint64 takeFetch(Stores &stores, const QString &clientKey, const Limits &limits);
    // Joins the fetch for domain already under way, or starts one and caches what it finds.
    QCoro::Task<IconFetcher::Outcome> fetchShared(QString domain, QString host, int port);

    StorePool &m_store;
    Limits m_limits;
    QThreadPool m_imagePool;
    IconFetcher m_fetcher;
    QHash<QString, std::shared_ptr<Flight>> m_flights;
    // Until when a saved site's icon (or its absence) is known to be cached: saving there again
    // needs no store call. Should another server replace the entry meanwhile, the worst outcome is
    // a skipped prefetch, and the icon is fetched when first asked for.
    QHash<QString, qint64> m_cachedUntil;
};
