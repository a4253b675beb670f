#pragma once

#include "api/decoded.h"
#include "passwordhasher.h"

#include <QHostAddress>
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
    std::chrono::seconds requestTimeout = std::chrono::seconds(30);
    std::chrono::seconds idleTimeout = std::chrono::seconds(120);
    qint64 maxBodyBytes = 4 * 1024 * 1024;

    // The data folder defaults to "corvane-server" in the user's data folder; the database and the
    // outbox default to places inside the data folder.
    static Decoded<ServerOptions> parse(const QStringList &arguments);
};
