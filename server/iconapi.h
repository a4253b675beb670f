#pragma once

#include "apirequest.h"
#include "apiresponse.h"
#include "iconfetcher.h"

#include <QCoroTask>
#include <QObject>

class IconCache;
class RateLimiter;
class Router;

// GET /api/icon?domain=<host>&sz=<n>: a site's icon as a PNG of at most sz × sz pixels, fetched
// by the server itself so that no outside service learns which sites a user saves. Answers are
// cached (found for a week, not found for a day); only fetches count against a client's limit.
class IconApi : public QObject
{
    Q_OBJECT

public:
    IconApi(IconCache &cache, RateLimiter &limiter, IconFetcher::Limits fetchLimits, int fetchesPerMinute, QObject *parent = nullptr);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> icon(ApiRequest request);

    IconCache &m_cache;
    RateLimiter &m_limiter;
    IconFetcher m_fetcher;
    bool m_allowPrivateHosts;
    int m_fetchesPerMinute;
};
