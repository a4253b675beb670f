#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class Database;

// The key that reset codes and rate-limit buckets are stored under. It lives in a file (0600)
// outside the database, so that a copy of the database alone does not give away a pending code.
namespace ServerSecret
{
// Reads the key from path, creating the file with a fresh key when it does not exist yet.
std::optional<QByteArray> loadOrCreate(const QString &path, QString *error);
// Records which key the database is used with, or refuses a different one: servers sharing a
// database must share the key file too, or codes issued by one would fail on the others.
bool matchesDatabase(const QByteArray &secret, Database &database, QString *error);
}
