#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QByteArray>
#include <QCache>
#include <QCoroTask>
#include <QHostAddress>
#include <QObject>
#include <QUrl>

#include <optional>

class ListBuilder;
class Router;
class SessionStore;
class WebsiteStore;

// The /api/websites routes, each for the account that the bearer token belongs to. Serialised lists
// are cached per account and reused while the account's library version is unchanged: the client
// fetches its unchanged library again and again, and building the JSON is the expensive part, which
// the list builder does off this thread. The cache's budget is shared by all accounts.
class WebsitesApi : public QObject
{
    Q_OBJECT

public:
    WebsitesApi(SessionStore &sessions, WebsiteStore &websites, ListBuilder &builder, qint64 cacheBytes, QObject *parent = nullptr);

    void registerRoutes(Router &router);

Q_SIGNALS:
    // A website was saved from client; emitted before the answer goes out.
    void websiteSaved(const QUrl &url, const QHostAddress &client);

private:
    QCoro::Task<ApiResponse> list(ApiRequest request);
    QCoro::Task<ApiResponse> create(ApiRequest request);
    QCoro::Task<ApiResponse> rename(ApiRequest request);
    QCoro::Task<ApiResponse> pin(ApiRequest request);
    QCoro::Task<ApiResponse> remove(ApiRequest request);

    struct CachedList {
        qint64 version;
        QByteArray body;
    };

    SessionStore &m_sessions;
    WebsiteStore &m_websites;
    ListBuilder &m_builder;
    // Cost in bytes.
    QCache<qint64, CachedList> m_lists;
};
