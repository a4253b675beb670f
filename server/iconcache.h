#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

class Database;

// Site icons already fetched, as PNG, and sites known to have none, each until it expires. Kept
// in the database so that every server process on it answers from the same cache.
class IconCache
{
public:
    explicit IconCache(Database &database);

    // Empty optional: not cached (or expired); an empty PNG: the site is known to have no icon.
    std::optional<QByteArray> find(const QString &domain);
    void store(const QString &domain, const QByteArray &png, std::chrono::seconds lifetime);
    void removeExpired();

private:
    Database &m_database;
};
