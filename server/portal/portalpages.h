#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QCoroTask>
#include <QString>

class AccountStore;
class Router;
class SessionStore;

// The web portal the application links to (/account, /contact, /download) and /api/version.
// The account and contact pages recognise the signed-in user from the "token" query item.
class PortalPages
{
public:
    PortalPages(SessionStore &sessions, AccountStore &accounts, QString latestVersion);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> account(ApiRequest request);
    QCoro::Task<ApiResponse> contact(ApiRequest request);
    QCoro::Task<ApiResponse> download(ApiRequest request);
    QCoro::Task<ApiResponse> styleSheet(ApiRequest request);
    QCoro::Task<ApiResponse> version(ApiRequest request);

    // The e-mail address of the token's account, or empty.
    QString signedInEmail(const ApiRequest &request);

    SessionStore &m_sessions;
    AccountStore &m_accounts;
    QString m_latestVersion;
};
