#pragma once

#include "accountstore.h"
#include "database.h"
#include "iconcache.h"
#include "listbuilder.h"
#include "mailer.h"
#include "portalpages.h"
#include "ratelimiter.h"
#include "resetcodestore.h"
#include "router.h"
#include "serveroptions.h"
#include "sessionstore.h"
#include "websitestore.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <memory>

class AuthApi;
class HttpFrontend;
class IconApi;
class WebsitesApi;

// The whole backend: storage, routes and the listening HTTP side, built from the options.
class CorvaneServer : public QObject
{
    Q_OBJECT

public:
    // Null with *error set when the data folder, the database or the address cannot be used.
    static std::unique_ptr<CorvaneServer> start(const ServerOptions &options, QString *error);
    ~CorvaneServer() override;

    [[nodiscard]] QUrl baseUrl() const { return m_baseUrl; }
    [[nodiscard]] const ServerOptions &options() const { return m_options; }

private:
    CorvaneServer(const ServerOptions &options, std::unique_ptr<Database> database, const QByteArray &secret);

    void removeExpired();

    ServerOptions m_options;
    std::unique_ptr<Database> m_database;
    AccountStore m_accounts;
    SessionStore m_sessions;
    ResetCodeStore m_resetCodes;
    WebsiteStore m_websites;
    RateLimiter m_limiter;
    IconCache m_icons;
    ListBuilder m_listBuilder;
    Mailer m_mailer;
    Router m_router;
    AuthApi *m_authApi;
    WebsitesApi *m_websitesApi;
    IconApi *m_iconApi;
    PortalPages m_portalPages;
    HttpFrontend *m_frontend;
    QTimer m_sweep;
    QUrl m_baseUrl;
};
