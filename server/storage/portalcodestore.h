#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

class Database;

// One-time codes that stand for a session in a portal address, where a token would land in browser
// history and proxy logs: random, kept only as a digest keyed with the server's secret, valid once
// and briefly.
class PortalCodeStore
{
public:
    PortalCodeStore(Database &database, QByteArray secret, std::chrono::seconds lifetime);

    QString issue(qint64 userId);
    // The account of a live code, which is used up by this; empty for an unknown, used or expired one.
    std::optional<qint64> redeem(const QString &code);
    void removeExpired();

private:
    QString digest(const QString &code) const;

    Database &m_database;
    QByteArray m_secret;
    std::chrono::seconds m_lifetime;
};
