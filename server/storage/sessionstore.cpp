#include "sessionstore.h"

#include "crypto.h"
#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

namespace
{
constexpr int tokenBytes = 32;

QString tokenDigest(const QString &token)
{
    return QString::fromLatin1(Crypto::digest(token.toLatin1()));
}
}

SessionStore::SessionStore(Database &database, std::chrono::seconds lifetime)
    : m_database(database)
    , m_lifetime(lifetime)
{ }

QString SessionStore::issue(qint64 userId)
{
    QString token
        = QString::fromLatin1(Crypto::randomBytes(tokenBytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    const qint64 now = Timestamps::nowMs();
    const qint64 expires = now + std::chrono::duration_cast<std::chrono::milliseconds>(m_lifetime).count();
    m_database.execute(u"INSERT INTO sessions (token_hash, user_id, created_ms, expires_ms) VALUES (?, ?, ?, ?)"_s,
                       {tokenDigest(token), userId, now, expires});
    return token;
}

std::optional<SessionStore::Owner> SessionStore::ownerOf(const QString &token)
{
    if (token.isEmpty())
        return std::nullopt;
    const QString digest = tokenDigest(token);
    const auto row = m_database.selectOne(u"SELECT s.user_id, s.expires_ms, u.library_version FROM sessions s "
                                          "JOIN users u ON u.id = s.user_id WHERE s.token_hash = ?"_s,
                                          {digest});
    if (!row)
        return std::nullopt;
    if (row->at(1).toLongLong() <= Timestamps::nowMs()) {
        m_database.execute(u"DELETE FROM sessions WHERE token_hash = ?"_s, {digest});
        return std::nullopt;
    }
    return Owner{row->at(0).toLongLong(), row->at(2).toLongLong()};
}

void SessionStore::revoke(const QString &token)
{
    m_database.execute(u"DELETE FROM sessions WHERE token_hash = ?"_s, {tokenDigest(token)});
}

void SessionStore::revokeAllExcept(qint64 userId, const QString &keptToken)
{
    m_database.execute(u"DELETE FROM sessions WHERE user_id = ? AND token_hash <> ?"_s, {userId, tokenDigest(keptToken)});
}

void SessionStore::revokeAll(qint64 userId)
{
    m_database.execute(u"DELETE FROM sessions WHERE user_id = ?"_s, {userId});
}

void SessionStore::removeExpired()
{
    m_database.execute(u"DELETE FROM sessions WHERE expires_ms <= ?"_s, {Timestamps::nowMs()});
}
