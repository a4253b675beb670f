#include "iconcache.h"

#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

IconCache::IconCache(Database &database)
    : m_database(database)
{ }

std::optional<QByteArray> IconCache::find(const QString &domain)
{
    const auto row = m_database.selectOne(u"SELECT png FROM icons WHERE domain = ? AND expires_ms > ?"_s, {domain, Timestamps::nowMs()});
    if (!row)
        return std::nullopt;
    return row->at(0).isNull() ? QByteArray() : row->at(0).toByteArray();
}

std::optional<qint64> IconCache::expiresMs(const QString &domain)
{
    const auto row
        = m_database.selectOne(u"SELECT expires_ms FROM icons WHERE domain = ? AND expires_ms > ?"_s, {domain, Timestamps::nowMs()});
    return row ? std::optional(row->at(0).toLongLong()) : std::nullopt;
}

void IconCache::store(const QString &domain, const QByteArray &png, std::chrono::seconds lifetime)
{
    const qint64 expires = Timestamps::nowMs() + std::chrono::duration_cast<std::chrono::milliseconds>(lifetime).count();
    const QVariant value = png.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(png);
    m_database.execute(u"INSERT INTO icons (domain, png, expires_ms) VALUES (?, ?, ?) "
                       "ON CONFLICT (domain) DO UPDATE SET png = excluded.png, expires_ms = excluded.expires_ms"_s,
                       {domain, value, expires});
}

void IconCache::removeExpired()
{
    m_database.execute(u"DELETE FROM icons WHERE expires_ms <= ?"_s, {Timestamps::nowMs()});
}

QStringList IconCache::siteDomains(const QUrl &url)
{
    if ((url.scheme() != "https"_L1 && url.scheme() != "http"_L1) || url.host().isEmpty())
        return {};
    const QString host = url.host(QUrl::FullyEncoded);
    if (url.port() == -1)
        return {host};
    return {host, u"%1:%2"_s.arg(host).arg(url.port())};
}

void IconCache::addSavedSite(const QUrl &url)
{
    constexpr qsizetype maxRemembered = 10'000;
    for (const QString &domain : siteDomains(url)) {
        if (m_recordedSites.contains(domain))
            continue;
        insertSavedSite(domain);
        if (m_recordedSites.size() >= maxRemembered)
            m_recordedSites.clear();
        m_recordedSites.insert(domain);
    }
}

void IconCache::insertSavedSite(const QString &domain)
{
    m_database.execute(u"INSERT INTO icon_sites (domain) VALUES (?) ON CONFLICT (domain) DO NOTHING"_s, {domain});
}

bool IconCache::isSavedSite(const QString &domain)
{
    return m_database.selectOne(u"SELECT 1 FROM icon_sites WHERE domain = ?"_s, {domain}).has_value();
}

void IconCache::addSitesOfEarlierSaves()
{
    const QString done = u"icon sites recorded"_s;
    if (m_database.selectOne(u"SELECT 1 FROM server_settings WHERE name = ?"_s, {done}))
        return;
    m_database.transaction(
        [&] {
            // Not remembered: the transaction may yet roll back.
            for (const Database::Row &row : m_database.select(u"SELECT DISTINCT url FROM websites"_s)) {
                for (const QString &domain : siteDomains(QUrl(row.at(0).toString())))
                    insertSavedSite(domain);
            }
            m_database.execute(u"INSERT INTO server_settings (name, value) VALUES (?, '1') ON CONFLICT (name) DO NOTHING"_s, {done});
        },
        Database::Lock::Schema);
}
