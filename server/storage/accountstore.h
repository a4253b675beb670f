#pragma once

#include "records.h"

#include <QByteArray>
#include <QString>

#include <optional>

class Database;

struct Account {
    qint64 id = 0;
    QString email;
    QByteArray passwordHash;
    qint64 createdMs = 0;

    [[nodiscard]] User toUser() const;
};

// Accounts, found by e-mail address regardless of letter case; the address keeps the case it was
// registered with.
class AccountStore
{
public:
    explicit AccountStore(Database &database);

    std::optional<Account> findByEmail(const QString &email);
    std::optional<Account> findById(qint64 id);
    // Empty when the address is taken.
    std::optional<Account> create(const QString &email, const QByteArray &passwordHash);
    void setPasswordHash(qint64 id, const QByteArray &passwordHash);

    static QString emailKey(const QString &email);

private:
    std::optional<Account> findOne(const QString &sql, const QVariant &value);

    Database &m_database;
};
