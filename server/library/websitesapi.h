#pragma once

#include "apirequest.h"
#include "apiresponse.h"
#include "router.h"

#include <QByteArray>
#include <QCache>
#include <QCoroTask>
#include <QHostAddress>
#include <QObject>
#include <QUrl>

#include <functional>

#include <optional>

class RequestBody;
class StorePool;
class WebsiteStore;
struct SavedWebsite;

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
    QCoro::Task<ApiResponse> list(ApiRequest request, Router::Caller caller);
    QCoro::Task<ApiResponse> create(ApiRequest request, qint64 userId);
    // An edit reads what it needs from the body and answers the store work that applies it.
    using Edit = std::function<std::optional<SavedWebsite>(WebsiteStore &websites, qint64 userId, qint64 id)>;
    using EditReader = std::function<Edit(RequestBody &body)>;
    // Rename and pin: the website named in the path, edited once the body passed.
    QCoro::Task<ApiResponse> edit(ApiRequest request, qint64 userId, EditReader read);
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
