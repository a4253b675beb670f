#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QByteArray>
#include <QCache>
#include <QCoroTask>
#include <QHostAddress>
#include <QObject>
#include <QUrl>

#include <functional>

#include <optional>

class Router;
class StorePool;

// The /api/websites routes, each for the account that the bearer token belongs to. Serialised lists
// are cached per account and reused while the account's library version is unchanged: the client
// fetches its unchanged library again and again, and building the JSON is the expensive part, which
// the store threads do along with reading it. The cache's budget is shared by all accounts.
class WebsitesApi : public QObject
{
    Q_OBJECT

public:
    // Awaited after each save from client, before the answer goes out.
    using SaveHook = std::function<QCoro::Task<>(QUrl url, QHostAddress client)>;

    WebsitesApi(StorePool &store, qint64 cacheBytes, SaveHook saved, QObject *parent = nullptr);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> list(ApiRequest request, qint64 userId);
    QCoro::Task<ApiResponse> create(ApiRequest request, qint64 userId);
    QCoro::Task<ApiResponse> rename(ApiRequest request, qint64 userId);
    QCoro::Task<ApiResponse> pin(ApiRequest request, qint64 userId);
    QCoro::Task<ApiResponse> remove(ApiRequest request, qint64 userId);

    struct CachedList {
        qint64 version;
        QByteArray body;
    };

    StorePool &m_store;
    SaveHook m_saved;
    // Cost in bytes.
    QCache<qint64, CachedList> m_lists;
};
