#include "resetcodestore.h"

#include "crypto.h"
#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

ResetCodeStore::ResetCodeStore(Database &database, std::chrono::seconds lifetime, int allowedWrongTries)
    : m_database(database)
    , m_lifetime(lifetime)
    , m_allowedWrongTries(allowedWrongTries)
{
}

QString ResetCodeStore::issue(qint64 userId)
{
    const QString code = u"%1"_s.arg(Crypto::randomBelow(1000000), 6, 10, QLatin1Char('0'));
    const QByteArray salt = Crypto::randomBytes(16).toHex();
    const qint64 expires = Timestamps::nowMs() + std::chrono::duration_cast<std::chrono::milliseconds>(m_lifetime).count();
    m_database.transaction([&] {
        m_database.execute(u"DELETE FROM reset_codes WHERE user_id = ?"_s, {userId});
        m_database.execute(
            u"INSERT INTO reset_codes (user_id, code_hash, salt, expires_ms, failed_attempts) VALUES (?, ?, ?, ?, 0)"_s,
            {userId, QString::fromLatin1(Crypto::digest(code.toLatin1(), salt)), QString::fromLatin1(salt), expires});
    });
    return code;
}

ResetCodeStore::Check ResetCodeStore::consume(qint64 userId, const QString &code, const std::function<void()> &whenAccepted)
{
    return m_database.transaction([&] {
        const auto row = m_database.selectOne(
            u"SELECT code_hash, salt, expires_ms, failed_attempts FROM reset_codes WHERE user_id = ?"_s, {userId});
        if (!row)
            return Check::Missing;
        if (row->at(3).toInt() >= m_allowedWrongTries)
            return Check::Exhausted;
        if (row->at(2).toLongLong() <= Timestamps::nowMs())
            return Check::Expired;
        const QByteArray expected = row->at(0).toByteArray();
        if (!Crypto::equalInConstantTime(Crypto::digest(code.toUtf8(), row->at(1).toByteArray()), expected)) {
            m_database.execute(u"UPDATE reset_codes SET failed_attempts = failed_attempts + 1 WHERE user_id = ?"_s, {userId});
            return Check::Wrong;
        }
        m_database.execute(u"DELETE FROM reset_codes WHERE user_id = ?"_s, {userId});
        whenAccepted();
        return Check::Accepted;
    });
}
