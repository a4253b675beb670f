#include "ratelimiter.h"

#include "crypto.h"
#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

RateLimiter::RateLimiter(Database &database, QByteArray secret)
    : m_database(database)
    , m_secret(std::move(secret))
{ }

QString RateLimiter::key(const QString &bucket) const
{
    return QString::fromLatin1(Crypto::digest(bucket.toUtf8(), m_secret));
}

qint64 RateLimiter::take(const QString &bucket, Rule rule)
{
    const qint64 now = Timestamps::nowMs();
    const qint64 windowMs = std::chrono::duration_cast<std::chrono::milliseconds>(rule.window).count();
    // One statement, so that concurrent hits from several processes cannot both see the old count.
    const auto row = m_database.selectOne(u"INSERT INTO rate_limits (bucket, window_ends_ms, hits) VALUES (?, ?, 1) "
                                          "ON CONFLICT (bucket) DO UPDATE SET "
                                          "hits = CASE WHEN rate_limits.window_ends_ms <= ? THEN 1 ELSE rate_limits.hits + 1 END, "
                                          "window_ends_ms = CASE WHEN rate_limits.window_ends_ms <= ? THEN excluded.window_ends_ms "
                                          "ELSE rate_limits.window_ends_ms END "
                                          "RETURNING hits, window_ends_ms"_s,
                                          {key(bucket), now + windowMs, now, now});
    if (!row)
        throw DatabaseError("counting a rate-limited hit returned nothing");
    if (row->at(0).toInt() <= rule.limit)
        return 0;
    return qMax<qint64>(1, (row->at(1).toLongLong() - now + 999) / 1000);
}

void RateLimiter::giveBack(const QString &bucket)
{
    m_database.execute(u"UPDATE rate_limits SET hits = hits - 1 WHERE bucket = ? AND hits > 0"_s, {key(bucket)});
}

void RateLimiter::removeExpired()
{
    m_database.execute(u"DELETE FROM rate_limits WHERE window_ends_ms <= ?"_s, {Timestamps::nowMs()});
}

QString RateLimiter::clientKey(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    if (isIPv4)
        return QHostAddress(ipv4).toString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8(0));
    return QHostAddress(bytes).toString() + u"/64"_s;
}
