#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

class Database;

// Six-digit password-reset codes, one live code per account. A code is kept only as a digest keyed
// with the server's secret and a salt, and expires after its lifetime. How many wrong tries an
// address gets is the rate limiter's business, not the code's: a new code buys no new guesses.
class ResetCodeStore
{
public:
    enum class Check {
        Accepted,
        Wrong,
        Expired,
        Missing
    };

    ResetCodeStore(Database &database, QByteArray secret, std::chrono::seconds lifetime);

    // A fresh code that replaces any earlier one of the account.
    QString issue(qint64 userId);
    // An accepted code is used up, and whenAccepted runs in the same transaction: if it fails,
    // the code stays usable.
    Check consume(qint64 userId, const QString &code, const std::function<void()> &whenAccepted);

private:
    QByteArray digest(const QString &code, const QByteArray &salt) const;

    Database &m_database;
    QByteArray m_secret;
    std::chrono::seconds m_lifetime;
};
