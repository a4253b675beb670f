#include "corvaneserver.h"

#include "authapi.h"
#include "crypto.h"
#include "httpfrontend.h"

#include <QDir>

#include <chrono>

using namespace Qt::StringLiterals;

CorvaneServer::CorvaneServer(const ServerOptions &options, std::unique_ptr<Database> database)
    : m_options(options)
    , m_database(std::move(database))
    , m_accounts(*m_database)
    , m_sessions(*m_database, options.sessionLifetime)
    , m_resetCodes(*m_database, options.resetCodeLifetime)
    , m_websites(*m_database)
    , m_mailer(options.outboxDirectory)
    , m_authApi(new AuthApi(m_accounts, m_sessions, m_resetCodes, m_mailer, PasswordHasher(options.passwordCost), this))
    , m_websitesApi(m_sessions, m_websites)
    , m_portalPages(m_sessions, m_accounts, options.latestVersion)
    , m_frontend(new HttpFrontend(m_router,
                                  {options.maxBodyBytes, int(std::chrono::milliseconds(options.requestTimeout).count()),
                                   int(std::chrono::milliseconds(options.idleTimeout).count())},
                                  this))
{
    m_authApi->registerRoutes(m_router);
    m_websitesApi.registerRoutes(m_router);
    m_portalPages.registerRoutes(m_router);

    m_sessionSweep.setInterval(std::chrono::hours(1));
    connect(&m_sessionSweep, &QTimer::timeout, this, [this] {
        try {
            m_sessions.removeExpired();
        } catch (const DatabaseError &failure) {
            std::fprintf(stderr, "removing expired sessions failed: %s\n", failure.what());
        }
    });
    m_sessionSweep.start();
}

// Deleted before the stores its routes refer to.
CorvaneServer::~CorvaneServer()
{
    delete m_frontend;
    delete m_authApi;
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
    auto database = Database::open(options.database, error);
    if (!database)
        return nullptr;
    std::unique_ptr<CorvaneServer> server(new CorvaneServer(options, std::move(database)));
    try {
        server->m_sessions.removeExpired();
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
