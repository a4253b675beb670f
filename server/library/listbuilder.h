#pragma once

#include <QByteArray>
#include <QFuture>
#include <QString>
#include <QThreadPool>
#include <QThreadStorage>

#include <optional>

class Database;

// Reads and serialises account libraries on worker threads, each with a database connection of
// its own, so that building one large list never holds up the thread serving everyone else.
class ListBuilder
{
public:
    ListBuilder(QString databaseSpec, int workers);

    // The JSON body of the account's list; empty when the database failed (already logged).
    QFuture<std::optional<QByteArray>> build(qint64 userId);

private:
    std::optional<QByteArray> buildOnThisThread(qint64 userId);

    QString m_databaseSpec;
    // Declared before the pool: the pool's threads must end (closing their connections) first.
    QThreadStorage<Database *> m_connections;
    QThreadPool m_pool;
};
