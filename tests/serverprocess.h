#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// A real corvane-server child process for end-to-end tests: listens on 127.0.0.1 on a port the
// system chooses, keeps its data in a temporary folder, and hashes passwords at the cheapest
// argon2id cost so tests stay fast. When CORVANE_TEST_POSTGRES names a PostgreSQL server
// (postgresql://user@host:port/maintenance-db, or ?host=<socket folder>), each instance gets a
// fresh database there instead of SQLite, dropped again when the instance goes.
class ServerProcess
{
public:
    // extraArguments go after the defaults, e.g. {"--reset-code-lifetime", "1"}.
    explicit ServerProcess(QStringList extraArguments = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // Starts the server and waits until it listens; a stopped server starts again on the same data.
    bool start() { return launch() && waitUntilListening(); }
    // The two halves of start(), so that several servers can start at once.
    bool launch();
    bool waitUntilListening();
    void stop();
    [[nodiscard]] const QString &errorString() const { return m_error; }

    // http://127.0.0.1:<port>, the value for CORVANE_PORTAL_URL.
    [[nodiscard]] QUrl baseUrl() const { return m_baseUrl; }
    [[nodiscard]] QString dataDirectory() const { return m_dataDirectory.path(); }
    // The --database and --secret-file values that let another server share this one's data.
    [[nodiscard]] QStringList sharingArguments() const;

    // Paths of the .eml files in the outbox, oldest first.
    [[nodiscard]] QStringList outboxMessages() const;
    // The six-digit code of the newest message to email (compared ignoring case), or empty.
    [[nodiscard]] QString latestResetCode(const QString &email) const;
    // What the server printed so far, its log included.
    QString standardOutput();

private:
    bool createPostgresDatabase();
    void dropPostgresDatabase();

    QStringList m_extraArguments;
    QTemporaryDir m_dataDirectory;
    std::unique_ptr<QProcess> m_process;
    QString m_postgresDatabase;
    QByteArray m_output;
    QUrl m_baseUrl;
    QString m_error;
};
