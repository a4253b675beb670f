#pragma once

#include <QString>

#include <chrono>

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
    // An accepted code is used up; a wrong one counts against the code.
    Check consume(qint64 userId, const QString &code);

private:
    Database &m_database;
    std::chrono::seconds m_lifetime;
    int m_allowedWrongTries;
};
