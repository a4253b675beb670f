#pragma once

#include <QString>

#include <chrono>
#include <functional>

class Database;

// Six-digit password-reset codes, one live code per account. A code is kept only as a salted
// digest, expires after its lifetime and dies after a number of wrong tries.
class ResetCodeStore
{
public:
    enum class Check { Accepted, Wrong, Expired, Exhausted, Missing };

    ResetCodeStore(Database &database, std::chrono::seconds lifetime, int allowedWrongTries = 5);

    // A fresh code that replaces any earlier one of the account.
    QString issue(qint64 userId);
    // An accepted code is used up, and whenAccepted runs in the same transaction: if it fails,
    // the code stays usable. A wrong code counts against the code.
    Check consume(qint64 userId, const QString &code, const std::function<void()> &whenAccepted);

private:
    Database &m_database;
    std::chrono::seconds m_lifetime;
    int m_allowedWrongTries;
};
