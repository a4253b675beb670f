#include "accountstore.h"

#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

namespace
{
const QString selectColumns = u"SELECT id, email, password_hash, created_ms FROM users "_s;
}

User Account::toUser() const
{
    return User{id, email, Timestamps::format(createdMs)};
}

AccountStore::AccountStore(Database &database)
    : m_database(database)
{ }

QString AccountStore::emailKey(const QString &email)
{
    return email.toLower();
}

std::optional<Account> AccountStore::findOne(const QString &sql, const QVariant &value)
{
    const auto row = m_database.selectOne(sql, {value});
    if (!row)
        return std::nullopt;
    return Account{row->at(0).toLongLong(), row->at(1).toString(), row->at(2).toByteArray(), row->at(3).toLongLong()};
}

std::optional<Account> AccountStore::findByEmail(const QString &email)
{
    return findOne(selectColumns + u"WHERE email_key = ?"_s, emailKey(email));
}

std::optional<Account> AccountStore::findById(qint64 id)
{
    return findOne(selectColumns + u"WHERE id = ?"_s, id);
}

std::optional<Account> AccountStore::create(const QString &email, const QByteArray &passwordHash)
{
    const qint64 now = Timestamps::nowMs();
    // ON CONFLICT settles a race between two registrations of one address without relying on
    // driver-specific constraint error codes.
    const auto row = m_database.selectOne(u"INSERT INTO users (email, email_key, password_hash, created_ms) VALUES (?, ?, ?, ?) "
                                          "ON CONFLICT (email_key) DO NOTHING RETURNING id"_s,
                                          {email, emailKey(email), QString::fromLatin1(passwordHash), now});
    if (!row)
        return std::nullopt;
    return Account{row->at(0).toLongLong(), email, passwordHash, now};
}

void AccountStore::setPasswordHash(qint64 id, const QByteArray &passwordHash)
{
    m_database.execute(u"UPDATE users SET password_hash = ? WHERE id = ?"_s, {QString::fromLatin1(passwordHash), id});
}
