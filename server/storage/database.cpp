#include "database.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace
{
// Keep each account's library version moving with its websites: SQLite needs a trigger per kind
// of change, PostgreSQL one function for all.
QStringList libraryVersionTriggers(Database::Dialect dialect)
{
    const QString bump = u"UPDATE users SET library_version = library_version + 1 WHERE id = %1.user_id;"_s;
    if (dialect == Database::Dialect::Sqlite) {
        return {u"CREATE TRIGGER websites_inserted AFTER INSERT ON websites BEGIN %1 END"_s.arg(bump.arg("NEW"_L1)),
                u"CREATE TRIGGER websites_updated AFTER UPDATE ON websites BEGIN %1 END"_s.arg(bump.arg("NEW"_L1)),
                u"CREATE TRIGGER websites_deleted AFTER DELETE ON websites BEGIN %1 END"_s.arg(bump.arg("OLD"_L1))};
    }
    return {u"CREATE FUNCTION bump_library_version() RETURNS trigger LANGUAGE plpgsql AS $body$ BEGIN "
            "IF TG_OP = 'DELETE' THEN %1 ELSE %2 END IF; RETURN NULL; END $body$"_s.arg(bump.arg("OLD"_L1), bump.arg("NEW"_L1)),
            u"CREATE TRIGGER websites_changed AFTER INSERT OR UPDATE OR DELETE ON websites "
            "FOR EACH ROW EXECUTE FUNCTION bump_library_version()"_s};
}

// Numbered schema steps; %1 stands for the auto-numbered primary key of the dialect, %2 for its
// binary column type.
QList<QStringList> migrations(Database::Dialect dialect)
{
    return {
        {
            u"CREATE TABLE users ("
            "id %1, email TEXT NOT NULL, email_key TEXT NOT NULL UNIQUE, "
            "password_hash TEXT NOT NULL, created_ms BIGINT NOT NULL)"_s,
            u"CREATE TABLE sessions ("
            "token_hash TEXT PRIMARY KEY, "
            "user_id BIGINT NOT NULL REFERENCES users(id) ON DELETE CASCADE, "
            "created_ms BIGINT NOT NULL, expires_ms BIGINT NOT NULL)"_s,
            u"CREATE INDEX sessions_user ON sessions(user_id)"_s,
            u"CREATE TABLE reset_codes ("
            "user_id BIGINT PRIMARY KEY REFERENCES users(id) ON DELETE CASCADE, "
            "code_hash TEXT NOT NULL, salt TEXT NOT NULL, expires_ms BIGINT NOT NULL, "
            "failed_attempts INTEGER NOT NULL DEFAULT 0)"_s,
            u"CREATE TABLE websites ("
            "id %1, user_id BIGINT NOT NULL REFERENCES users(id) ON DELETE CASCADE, "
            "url TEXT NOT NULL, title TEXT NOT NULL, screenshot_url TEXT, content TEXT, "
            "is_pinned INTEGER NOT NULL DEFAULT 0, "
            "created_ms BIGINT NOT NULL, updated_ms BIGINT NOT NULL)"_s,
            u"CREATE INDEX websites_library ON websites(user_id, is_pinned, created_ms, id)"_s,
        },
        {
            // Bumped with every change of an account's websites, so a cached list can be checked
            // against the database with one small query, whichever server process changed it.
            u"ALTER TABLE users ADD COLUMN library_version BIGINT NOT NULL DEFAULT 0"_s,
        },
        {
            // Limits, revoked tokens and fetched icons live here rather than in one process's
            // memory, so that several servers on one database enforce and share them alike.
            u"CREATE TABLE rate_limits ("
            "bucket TEXT PRIMARY KEY, window_ends_ms BIGINT NOT NULL, hits INTEGER NOT NULL)"_s,
            u"CREATE TABLE icons ("
            "domain TEXT PRIMARY KEY, png %2, expires_ms BIGINT NOT NULL)"_s,
            u"CREATE TABLE server_settings (name TEXT PRIMARY KEY, value TEXT NOT NULL)"_s,
            // Wrong tries now count per address over a time window, whichever code they were for.
            u"ALTER TABLE reset_codes DROP COLUMN failed_attempts"_s,
            // Codes issued before are keyed differently and could never match again.
            u"DELETE FROM reset_codes"_s,
        },
        {
            // Sites some account saved: only their icons are fetched for anonymous requests.
            u"CREATE TABLE icon_sites (domain TEXT PRIMARY KEY)"_s,
        },
        {
            // One-time codes that open the account page, kept only as keyed digests.
            u"CREATE TABLE portal_codes ("
            "code_hash TEXT PRIMARY KEY, "
            "user_id BIGINT NOT NULL REFERENCES users(id) ON DELETE CASCADE, "
            "expires_ms BIGINT NOT NULL)"_s,
        },
        // The library version moves inside each change of a website, so that the change is one
        // statement (one round trip) and its account's row is locked only at its very end.
        libraryVersionTriggers(dialect),
    };
}

// Any number that no other program on the database locks with: "corvane" in ASCII.
constexpr qint64 schemaLockKey = 0x636f7276616e65;

QString nextConnectionName()
{
    static QAtomicInt counter;
    return u"corvane-server-%1"_s.arg(counter.fetchAndAddRelaxed(1));
}

QString describe(const QSqlError &error)
{
    return error.text().isEmpty() ? u"unknown database error"_s : error.text();
}
}

Database::Database(const QSqlDatabase &connection, Dialect dialect)
    : m_connection(connection)
    , m_dialect(dialect)
{ }

Database::~Database()
{
    const QString name = m_connection.connectionName();
    m_statements.clear();
    m_direct = QSqlQuery();
    m_connection.close();
    m_connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

bool Database::isPostgres(const QString &spec)
{
    return spec.startsWith("postgresql://"_L1) || spec.startsWith("postgres://"_L1);
}

QSqlDatabase Database::connection(const QString &spec, const QString &connectionName)
{
    const bool postgres = isPostgres(spec);
    QSqlDatabase connection = QSqlDatabase::addDatabase(postgres ? u"QPSQL"_s : u"QSQLITE"_s, connectionName);
    if (!connection.isValid())
        return connection;
    if (postgres) {
        const QUrl url(spec);
        QUrlQuery options(url);
        // libpq takes a socket folder as host, which a URL cannot carry in its authority.
        connection.setHostName(options.hasQueryItem(u"host"_s) ? options.queryItemValue(u"host"_s) : url.host());
        options.removeAllQueryItems(u"host"_s);
        if (url.port() > 0)
            connection.setPort(url.port());
        connection.setUserName(url.userName());
        connection.setPassword(url.password());
        connection.setDatabaseName(url.path().mid(1));
        connection.setConnectOptions(options.query(QUrl::FullyDecoded).replace(u'&', u';'));
    } else {
        connection.setDatabaseName(spec.startsWith("sqlite:"_L1) ? spec.mid(7) : spec);
    }
    return connection;
}

std::unique_ptr<Database> Database::open(const QString &spec, QString *error)
{
    const bool postgres = isPostgres(spec);
    QSqlDatabase connection = Database::connection(spec, nextConnectionName());
    if (!connection.isValid()) {
        *error = u"the Qt SQL driver for %1 is not installed"_s.arg(postgres ? "PostgreSQL"_L1 : "SQLite"_L1);
        return nullptr;
    }
    if (!connection.open()) {
        *error = describe(connection.lastError());
        const QString name = connection.connectionName();
        connection = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return nullptr;
    }
    std::unique_ptr<Database> database(new Database(connection, postgres ? Dialect::Postgres : Dialect::Sqlite));
    // The Database holds the only handle now, so its destructor can remove the connection.
    connection = QSqlDatabase();
    try {
        if (!postgres) {
            // First, so that servers starting together wait for each other from here on.
            database->execute(u"PRAGMA busy_timeout = 5000"_s);
            // WAL lets readers and the writer overlap; NORMAL syncs at checkpoints only,
            // which WAL keeps crash-safe.
            database->enterWalMode();
            database->execute(u"PRAGMA synchronous = NORMAL"_s);
            database->execute(u"PRAGMA foreign_keys = ON"_s);
        }
        if (!database->migrate(error))
            return nullptr;
    } catch (const DatabaseError &failure) {
        *error = QString::fromUtf8(failure.what());
        return nullptr;
    }
    return database;
}

void Database::enterWalMode()
{
    // Switching takes a lock that SQLite does not wait for: a server starting beside another that
    // is switching the same new file tries again for as long as the busy time-out.
    constexpr int attempts = 50;
    for (int attempt = 1;; ++attempt) {
        try {
            select(u"PRAGMA journal_mode = WAL"_s);
            return;
        } catch (const DatabaseError &) {
            if (attempt == attempts)
                throw;
            QThread::msleep(100);
        }
    }
}

int Database::schemaVersion()
{
    if (m_dialect == Dialect::Sqlite)
        return selectOne(u"PRAGMA user_version"_s)->value(0).toInt();
    execute(u"CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"_s);
    const auto row = selectOne(u"SELECT MAX(version) FROM schema_version"_s);
    return row ? row->value(0).toInt() : 0;
}

void Database::setSchemaVersion(int version)
{
    // PRAGMA takes no bound values; the number comes from this file, not from outside.
    if (m_dialect == Dialect::Sqlite)
        execute(u"PRAGMA user_version = %1"_s.arg(version));
    else
        execute(u"INSERT INTO schema_version (version) VALUES (?)"_s, {version});
}

bool Database::migrate(QString *error)
{
    const QString primaryKey
        = m_dialect == Dialect::Sqlite ? u"INTEGER PRIMARY KEY AUTOINCREMENT"_s : u"BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"_s;
    const QString binary = m_dialect == Dialect::Sqlite ? u"BLOB"_s : u"BYTEA"_s;
    const QList<QStringList> steps = migrations(m_dialect);
    // Each step reads the version again under the schema lock: of servers starting together on an
    // empty database, only the first may create the tables.
    int current = 0;
    bool stepped = true;
    while (stepped) {
        stepped = transaction(
            [&] {
                current = schemaVersion();
                if (current >= steps.size())
                    return false;
                for (const QString &statement : steps.at(current))
                    execute(QString(statement).replace("%1"_L1, primaryKey).replace("%2"_L1, binary));
                setSchemaVersion(current + 1);
                return true;
            },
            Lock::Schema);
    }
    if (current > steps.size()) {
        *error = u"the database has schema version %1, newer than this server (%2)"_s.arg(current).arg(steps.size());
        return false;
    }
    // Schema statements must not stay cached: their tables may be rebuilt by a later step.
    m_statements.clear();
    return true;
}

QSqlQuery &Database::run(const QString &sql, const QVariantList &values)
{
    // PostgreSQL cannot prepare schema statements; those (and everything else without values)
    // run directly.
    if (values.isEmpty()) {
        m_direct = QSqlQuery(m_connection);
        m_direct.setForwardOnly(true);
        if (!m_direct.exec(sql))
            throw DatabaseError(u"\"%1\" failed: %2"_s.arg(sql, describe(m_direct.lastError())).toStdString());
        return m_direct;
    }
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        QSqlQuery query(m_connection);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw DatabaseError(u"cannot prepare \"%1\": %2"_s.arg(sql, describe(query.lastError())).toStdString());
        found = m_statements.insert(sql, query);
    }
    QSqlQuery &query = *found;
    for (qsizetype index = 0; index < values.size(); ++index)
        query.bindValue(int(index), values.at(index));
    if (!query.exec())
        throw DatabaseError(u"\"%1\" failed: %2"_s.arg(sql, describe(query.lastError())).toStdString());
    return query;
}

QList<Database::Row> Database::select(const QString &sql, const QVariantList &values)
{
    QSqlQuery &query = run(sql, values);
    QList<Row> rows;
    const int columns = query.record().count();
    while (query.next()) {
        Row row;
        row.reserve(columns);
        for (int column = 0; column < columns; ++column)
            row.append(query.value(column));
        rows.append(std::move(row));
    }
    // An open cursor would keep an SQLite read transaction alive and stall WAL checkpoints.
    query.finish();
    return rows;
}

std::optional<Database::Row> Database::selectOne(const QString &sql, const QVariantList &values)
{
    QList<Row> rows = select(sql, values);
    if (rows.isEmpty())
        return std::nullopt;
    return std::move(rows.first());
}

int Database::execute(const QString &sql, const QVariantList &values)
{
    QSqlQuery &query = run(sql, values);
    const int affected = query.numRowsAffected();
    query.finish();
    return affected;
}

void Database::begin(Lock lock)
{
    // SQLite takes its write lock at once instead of at the first write, waiting (busy time-out)
    // for any other writer: a read lock upgraded later would fail at once when another store
    // thread wrote meanwhile. PostgreSQL holds an advisory lock until the transaction ends.
    if (m_dialect == Dialect::Sqlite) {
        execute(u"BEGIN IMMEDIATE"_s);
        return;
    }
    if (!m_connection.transaction())
        throw DatabaseError(u"cannot begin a transaction: %1"_s.arg(describe(m_connection.lastError())).toStdString());
    if (lock == Lock::Schema)
        select(u"SELECT pg_advisory_xact_lock(%1)"_s.arg(schemaLockKey));
}

void Database::commit()
{
    if (!m_connection.commit())
        throw DatabaseError(u"cannot commit: %1"_s.arg(describe(m_connection.lastError())).toStdString());
}

void Database::rollback()
{
    m_connection.rollback();
}
