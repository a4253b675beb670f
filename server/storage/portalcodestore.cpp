#include "portalcodestore.h"

#include "crypto.h"
#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

namespace
{
constexpr int codeBytes = 24;
}

PortalCodeStore::PortalCodeStore(Database &database, QByteArray secret, std::chrono::seconds lifetime)
    : m_database(database)
    , m_secret(std::move(secret))
    , m_lifetime(lifetime)
{ }

QString PortalCodeStore::digest(const QString &code) const
{
    return QString::fromLatin1(Crypto::digest(code.toLatin1(), m_secret));
}

QString PortalCodeStore::issue(qint64 userId)
{
    QString code
        = QString::fromLatin1(Crypto::randomBytes(codeBytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    const qint64 expires = Timestamps::nowMs() + std::chrono::duration_cast<std::chrono::milliseconds>(m_lifetime).count();
    m_database.execute(u"INSERT INTO portal_codes (code_hash, user_id, expires_ms) VALUES (?, ?, ?)"_s, {digest(code), userId, expires});
    return code;
}

std::optional<qint64> PortalCodeStore::redeem(const QString &code)
{
    // Deleting is what uses the code up: of two requests with it, only one gets the row back.
    const auto row = m_database.selectOne(u"DELETE FROM portal_codes WHERE code_hash = ? RETURNING user_id, expires_ms"_s, {digest(code)});
    if (!row || row->at(1).toLongLong() <= Timestamps::nowMs())
        return std::nullopt;
    return row->at(0).toLongLong();
}

void PortalCodeStore::removeExpired()
{
    m_database.execute(u"DELETE FROM portal_codes WHERE expires_ms <= ?"_s, {Timestamps::nowMs()});
}
