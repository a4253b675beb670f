#pragma once

#include "mailer.h"
#include "portalpages.h"
#include "router.h"
#include "serveroptions.h"
#include "storepool.h"

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
    CorvaneServer(const ServerOptions &options, const QByteArray &secret);

    static void removeExpired(Stores &stores);

    ServerOptions m_options;
    StorePool m_store;
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
