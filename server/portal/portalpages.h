#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QCoroTask>
#include <QString>

class Router;
class StorePool;

// The web portal the application links to (/account, /contact, /download) and /api/version.
// The account and contact pages recognise the signed-in user from the "token" query item.
class PortalPages
{
public:
    PortalPages(StorePool &store, QString latestVersion);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> account(ApiRequest request);
    QCoro::Task<ApiResponse> contact(ApiRequest request);
    QCoro::Task<ApiResponse> download(ApiRequest request);
    QCoro::Task<ApiResponse> styleSheet(ApiRequest request);
    QCoro::Task<ApiResponse> version(ApiRequest request);

    // The e-mail address of the token's account, or empty.
    QCoro::Task<QString> signedInEmail(ApiRequest request);

    StorePool &m_store;
    QString m_latestVersion;
};
