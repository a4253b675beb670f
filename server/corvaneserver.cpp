#include "corvaneserver.h"

#include "authapi.h"
#include "crypto.h"
#include "httpfrontend.h"
#include "iconapi.h"
#include "serversecret.h"
#include "websitesapi.h"

#include <QDir>

#include <chrono>

using namespace Qt::StringLiterals;

namespace
{
Stores::Lifetimes storeLifetimes(const ServerOptions &options)
{
    return {options.sessionLifetime, options.resetCodeLifetime, options.portalCodeLifetime};
}

IconApi::Limits iconLimits(const ServerOptions &options)
{
    IconApi::Limits limits;
    limits.fetch.allowPrivateHosts = options.allowPrivateIconHosts;
    limits.fetchesPerClientMinute = options.iconFetchesPerMinute;
    limits.fetchesPerMinute = options.iconFetchCeiling;
    return limits;
}
}

CorvaneServer::CorvaneServer(const ServerOptions &options, const QByteArray &secret)
    : m_options(options)
    , m_store({options.database, secret, storeLifetimes(options), options.storeThreads, options.storeDelay})
    , m_mailer(options.outboxDirectory)
    , m_router([this](QString token) { return m_authApi->callerFor(std::move(token)); })
    , m_authApi(new AuthApi(m_store, m_mailer, PasswordHasher(options.passwordCost), options.limitWindow, this))
    , m_websitesApi(new WebsitesApi(
          m_store, options.listCacheBytes,
          [this](QUrl url, const QHostAddress &client) { return m_iconApi->siteSaved(std::move(url), client); }, this))
    , m_iconApi(new IconApi(m_store, iconLimits(options), this))
    , m_portalPages(m_store, options.latestVersion)
    , m_frontend(new HttpFrontend(m_router,
                                  {options.maxBodyBytes, int(std::chrono::milliseconds(options.requestTimeout).count()),
                                   int(std::chrono::milliseconds(options.idleTimeout).count())},
                                  options.trustedProxies, options.accessLog, this))
{
    m_authApi->registerRoutes(m_router);
    m_websitesApi->registerRoutes(m_router);
    m_iconApi->registerRoutes(m_router);
    m_portalPages.registerRoutes(m_router);

    m_sweep.setInterval(std::chrono::hours(1));
    // A failure is logged by the pool, and the next sweep tries again.
    connect(&m_sweep, &QTimer::timeout, this, [this] { m_store.run(&CorvaneServer::removeExpired); });
    m_sweep.start();
}

// Deleted before the stores its routes refer to.
CorvaneServer::~CorvaneServer()
{
    delete m_frontend;
    delete m_iconApi;
    delete m_websitesApi;
    delete m_authApi;
}

void CorvaneServer::removeExpired(Stores &stores)
{
    stores.sessions.removeExpired();
    stores.portalCodes.removeExpired();
    stores.limiter.removeExpired();
    stores.icons.removeExpired();
}

std::unique_ptr<CorvaneServer> CorvaneServer::start(const ServerOptions &options, QString *error)
{
    if (!Crypto::initialize()) {
        *error = u"libsodium could not be initialised"_s;
        return nullptr;
    }
    for (const QString &folder : {options.dataDirectory, options.outboxDirectory}) {
        if (!QDir().mkpath(folder)) {
            *error = u"cannot create the folder %1"_s.arg(folder);
            return nullptr;
        }
    }
    const auto secret = ServerSecret::loadOrCreate(options.secretFile, error);
    if (!secret)
        return nullptr;
    // Brings the schema up to date and checks it once, on a connection of its own; the store
    // threads open theirs when first used.
    auto database = Database::open(options.database, error);
    if (!database)
        return nullptr;
    try {
        if (!ServerSecret::matchesDatabase(*secret, *database, error))
            return nullptr;
        Stores stores(std::move(database), *secret, storeLifetimes(options));
        removeExpired(stores);
        stores.icons.addSitesOfEarlierSaves();
    } catch (const DatabaseError &failure) {
        *error = QString::fromUtf8(failure.what());
        return nullptr;
    }
    std::unique_ptr<CorvaneServer> server(new CorvaneServer(options, *secret));
    std::optional<QSslConfiguration> tls;
    if (!options.tlsCertificateFile.isEmpty()) {
        tls = HttpFrontend::tlsConfiguration(options.tlsCertificateFile, options.tlsKeyFile, error);
        if (!tls)
            return nullptr;
    }
    const quint16 port = server->m_frontend->listen(options.listenAddress, options.port, tls, error);
    if (port == 0)
        return nullptr;
    QUrl url;
    url.setScheme(tls ? u"https"_s : u"http"_s);
    url.setHost(options.listenAddress.toString());
    url.setPort(port);
    server->m_baseUrl = url;
    return server;
}
