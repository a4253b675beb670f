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
