#pragma once

#include "decoded.h"
#include "passwordhasher.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>

// Everything the server can be told on its command line, with the defaults of a local install.
struct ServerOptions {
    QHostAddress listenAddress = QHostAddress::LocalHost;
    quint16 port = 8765;
    QString dataDirectory;
    // A file path for SQLite, or a postgresql:// URL.
    QString database;
    QString outboxDirectory;
    QString latestVersion = QStringLiteral("1.0.0");
    PasswordHasher::Cost passwordCost = PasswordHasher::Cost::Interactive;
    std::chrono::seconds sessionLifetime = std::chrono::days(30);
    std::chrono::seconds resetCodeLifetime = std::chrono::minutes(15);
    std::chrono::seconds portalCodeLifetime = std::chrono::seconds(60);
    std::chrono::seconds requestTimeout = std::chrono::seconds(30);
    std::chrono::seconds idleTimeout = std::chrono::seconds(120);
    qint64 maxBodyBytes = 4 * 1024 * 1024;
    // Holds the key of reset codes and rate limits; defaults to "server.key" in the data folder.
    QString secretFile;
    // The window over which each client's wrong passwords, reset codes and code guesses are counted.
    std::chrono::seconds limitWindow = std::chrono::minutes(15);
    // Icons fetched from other sites per client and minute (answers from the cache are free).
    int iconFetchesPerMinute = 30;
    // Icons fetched from other sites per minute, all clients together.
    int iconFetchCeiling = 300;
    // Lets the icon fetcher reach loopback, private and link-local hosts on any port.
    bool allowPrivateIconHosts = false;
    // Total size of the serialised lists kept in memory, over all accounts.
    qint64 listCacheBytes = qint64(256) * 1024 * 1024;
    // PEM files for serving HTTPS directly, both or neither.
    QString tlsCertificateFile;
    QString tlsKeyFile;
    // One log line per request: method, path without query, status, milliseconds.
    bool accessLog = false;
    // Threads that run store work, each with its own database connection.
    int storeThreads = 4;
    // Added to every store call; tests only.
    std::chrono::milliseconds storeDelay{0};
    // Proxies (load balancers) whose X-Forwarded-For names the client.
    QList<QHostAddress> trustedProxies;

    // The data folder defaults to "corvane-server" in the user's data folder; the database and the
    // outbox default to places inside the data folder.
    static Decoded<ServerOptions> parse(const QStringList &arguments);
};
