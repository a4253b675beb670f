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
// Threads that read and serialise website lists, each with its own database connection.
constexpr int listWorkers = 2;

IconApi::Limits iconLimits(const ServerOptions &options)
{
    IconApi::Limits limits;
    limits.fetch.allowPrivateHosts = options.allowPrivateIconHosts;
    limits.fetchesPerClientMinute = options.iconFetchesPerMinute;
    limits.fetchesPerMinute = options.iconFetchCeiling;
    return limits;
}
}

CorvaneServer::CorvaneServer(const ServerOptions &options, std::unique_ptr<Database> database, const QByteArray &secret)
    : m_options(options)
    , m_database(std::move(database))
    , m_accounts(*m_database)
    , m_sessions(*m_database, options.sessionLifetime)
    , m_resetCodes(*m_database, secret, options.resetCodeLifetime)
    , m_websites(*m_database)
    , m_limiter(*m_database, secret)
    , m_icons(*m_database)
    , m_listBuilder(options.database, listWorkers)
    , m_mailer(options.outboxDirectory)
    , m_authApi(new AuthApi(m_accounts, m_sessions, m_resetCodes, m_limiter, m_mailer, PasswordHasher(options.passwordCost),
                            options.limitWindow, this))
    , m_websitesApi(new WebsitesApi(m_sessions, m_websites, m_listBuilder, options.listCacheBytes, this))
    , m_iconApi(new IconApi(m_icons, m_limiter, iconLimits(options), this))
    , m_portalPages(m_sessions, m_accounts, options.latestVersion)
    , m_frontend(new HttpFrontend(m_router,
                                  {options.maxBodyBytes, int(std::chrono::milliseconds(options.requestTimeout).count()),
                                   int(std::chrono::milliseconds(options.idleTimeout).count())},
                                  options.trustedProxies, this))
{
    m_authApi->registerRoutes(m_router);
    m_websitesApi->registerRoutes(m_router);
    m_iconApi->registerRoutes(m_router);
    m_portalPages.registerRoutes(m_router);
    connect(m_websitesApi, &WebsitesApi::websiteSaved, m_iconApi, &IconApi::siteSaved);

    m_sweep.setInterval(std::chrono::hours(1));
    connect(&m_sweep, &QTimer::timeout, this, [this] {
        try {
            removeExpired();
        } catch (const DatabaseError &failure) {
            std::fprintf(stderr, "removing expired entries failed: %s\n", failure.what());
        }
    });
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

void CorvaneServer::removeExpired()
{
    m_sessions.removeExpired();
    m_limiter.removeExpired();
    m_icons.removeExpired();
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
    auto database = Database::open(options.database, error);
    if (!database)
        return nullptr;
    try {
        if (!ServerSecret::matchesDatabase(*secret, *database, error))
            return nullptr;
    } catch (const DatabaseError &failure) {
        *error = QString::fromUtf8(failure.what());
        return nullptr;
    }
    std::unique_ptr<CorvaneServer> server(new CorvaneServer(options, std::move(database), *secret));
    try {
        server->removeExpired();
        server->m_icons.addSitesOfEarlierSaves();
    } catch (const DatabaseError &failure) {
        *error = QString::fromUtf8(failure.what());
        return nullptr;
    }
    const quint16 port = server->m_frontend->listen(options.listenAddress, options.port, error);
    if (port == 0)
        return nullptr;
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(options.listenAddress.toString());
    url.setPort(port);
    server->m_baseUrl = url;
    return server;
}
