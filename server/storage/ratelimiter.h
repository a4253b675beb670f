#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <chrono>

class Database;

// Fixed-window counters kept in the database, so that a limit spent through one server process is
// spent for every process on the same database. Bucket names are stored only as keyed digests:
// the table does not list which addresses were tried.
class RateLimiter
{
public:
    struct Rule {
        int limit = 0;
        std::chrono::seconds window{0};
    };

    RateLimiter(Database &database, QByteArray secret);

    // Counts one hit against the bucket. Answers 0 when the hit is within the limit, otherwise
    // the seconds until the window ends (the refused hit counts too, which changes nothing).
    qint64 take(const QString &bucket, Rule rule);
    // Gives back a hit taken for an attempt that turned out fine.
    void giveBack(const QString &bucket);
    void removeExpired();

    // The part of a client address that names one client: IPv6 hosts get a whole /64 each.
    static QString clientKey(const QHostAddress &address);

private:
    QString key(const QString &bucket) const;

    Database &m_database;
    QByteArray m_secret;
};
