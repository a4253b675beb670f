#include "listbuilder.h"

#include "database.h"
#include "websitestore.h"

#include <QJsonDocument>
#include <QtConcurrent>

#include <cstdio>

ListBuilder::ListBuilder(QString databaseSpec, int workers)
    : m_databaseSpec(std::move(databaseSpec))
{
    m_pool.setMaxThreadCount(workers);
    // Threads stay, and so do their connections.
    m_pool.setExpiryTimeout(-1);
}

QFuture<std::optional<QByteArray>> ListBuilder::build(qint64 userId)
{
    return QtConcurrent::run(&m_pool, [this, userId] { return buildOnThisThread(userId); });
}

std::optional<QByteArray> ListBuilder::buildOnThisThread(qint64 userId)
{
    if (!m_connections.hasLocalData()) {
        QString error;
        auto database = Database::open(m_databaseSpec, &error);
        if (!database) {
            std::fprintf(stderr, "a list worker cannot open the database: %s\n", qPrintable(error));
            return std::nullopt;
        }
        m_connections.setLocalData(database.release());
    }
    try {
        WebsiteStore websites(*m_connections.localData());
        return QJsonDocument(WebsitesResponse{websites.list(userId)}.toJson()).toJson(QJsonDocument::Compact);
    } catch (const DatabaseError &failure) {
        std::fprintf(stderr, "building a list failed: %s\n", failure.what());
        // The connection may be the broken part; the next list opens a fresh one.
        m_connections.setLocalData(nullptr);
        return std::nullopt;
    }
}
