#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QCoroTask>
#include <QString>

class Router;
class StorePool;

// The web portal the application links to (/account, /contact, /download) and /api/version.
// The account page recognises the signed-in user from a session cookie, which a one-time "code"
// query item is exchanged for, or (deprecated) from a "token" query item; the contact page from
// the "token" query item.
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

    // The e-mail address of the session token's account, or empty.
    QCoro::Task<QString> signedInEmail(QString token);
    // Sets the session cookie for a one-time code and sends the browser on without the code.
    QCoro::Task<ApiResponse> redeemCode(ApiRequest request);

    StorePool &m_store;
    QString m_latestVersion;
};
