#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <optional>

class Database;

// Site icons already fetched, as PNG, and sites known to have none, each until it expires; and the
// sites whose icons may be fetched at all, those of saved websites. Kept in the database so that
// every server process on it answers from the same cache.
class IconCache
{
public:
    explicit IconCache(Database &database);

    // Empty optional: not cached (or expired); an empty PNG: the site is known to have no icon.
    std::optional<QByteArray> find(const QString &domain);
    // When domain's entry, found or not, expires; empty when there is none.
    std::optional<qint64> expiresMs(const QString &domain);
    void store(const QString &domain, const QByteArray &png, std::chrono::seconds lifetime);
    void removeExpired();

    // The domains an icon request names for a website at url: its host, and host:port where the
    // address has a port.
    static QStringList siteDomains(const QUrl &url);
    void addSavedSite(const QUrl &url);
    bool isSavedSite(const QString &domain);
    // Records the sites of websites saved before saves were recorded; once per database.
    void addSitesOfEarlierSaves();

private:
    void insertSavedSite(const QString &domain);

    Database &m_database;
    // Sites are never forgotten, so each needs recording only once per connection.
    QSet<QString> m_recordedSites;
};
