#pragma once

#include <QString>

#include <chrono>
#include <optional>

class Database;

// Bearer tokens: 32 random bytes, handed out once and kept only as a digest, each with an expiry.
class SessionStore
{
public:
    SessionStore(Database &database, std::chrono::seconds lifetime);

    struct Owner {
        qint64 userId;
        // Changes whenever the account's list changes: the schema's triggers move it within each
        // statement that changes a website.
        qint64 libraryVersion;
    };

    QString issue(qint64 userId);
    // Whom a live token belongs to; an expired token is removed on the way. The library version
    // comes in the same statement, so that an unchanged list costs no second trip to the store.
    std::optional<Owner> ownerOf(const QString &token);
    // Ends one token; ending an unknown or already ended token changes nothing.
    void revoke(const QString &token);
    void revokeAllExcept(qint64 userId, const QString &keptToken);
    void revokeAll(qint64 userId);
    void removeExpired();

private:
    Database &m_database;
    std::chrono::seconds m_lifetime;
};
