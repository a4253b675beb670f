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
    for (const QString &domain : siteDomains(url))
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
            for (const Database::Row &row : m_database.select(u"SELECT DISTINCT url FROM websites"_s))
                addSavedSite(QUrl(row.at(0).toString()));
            m_database.execute(u"INSERT INTO server_settings (name, value) VALUES (?, '1') ON CONFLICT (name) DO NOTHING"_s, {done});
        },
        Database::Lock::Schema);
}
