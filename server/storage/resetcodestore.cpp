#include "resetcodestore.h"

#include "crypto.h"
#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

ResetCodeStore::ResetCodeStore(Database &database, QByteArray secret, std::chrono::seconds lifetime)
    : m_database(database)
    , m_secret(std::move(secret))
    , m_lifetime(lifetime)
{ }

QByteArray ResetCodeStore::digest(const QString &code, const QByteArray &salt) const
{
    return Crypto::digest(salt + ':' + code.toUtf8(), m_secret);
}

QString ResetCodeStore::issue(qint64 userId)
{
    QString code = u"%1"_s.arg(Crypto::randomBelow(1000000), 6, 10, QLatin1Char('0'));
    const QByteArray salt = Crypto::randomBytes(16).toHex();
    const qint64 expires = Timestamps::nowMs() + std::chrono::duration_cast<std::chrono::milliseconds>(m_lifetime).count();
    m_database.transaction([&] {
        m_database.execute(u"DELETE FROM reset_codes WHERE user_id = ?"_s, {userId});
        m_database.execute(u"INSERT INTO reset_codes (user_id, code_hash, salt, expires_ms) VALUES (?, ?, ?, ?)"_s,
                           {userId, QString::fromLatin1(digest(code, salt)), QString::fromLatin1(salt), expires});
    });
    return code;
}

ResetCodeStore::Check ResetCodeStore::consume(qint64 userId, const QString &code, const std::function<void()> &whenAccepted)
{
    return m_database.transaction([&] {
        const auto row = m_database.selectOne(u"SELECT code_hash, salt, expires_ms FROM reset_codes WHERE user_id = ?"_s, {userId});
        if (!row)
            return Check::Missing;
        if (row->at(2).toLongLong() <= Timestamps::nowMs())
            return Check::Expired;
        if (!Crypto::equalInConstantTime(digest(code, row->at(1).toByteArray()), row->at(0).toByteArray()))
            return Check::Wrong;
        m_database.execute(u"DELETE FROM reset_codes WHERE user_id = ?"_s, {userId});
        whenAccepted();
        return Check::Accepted;
    });
}
