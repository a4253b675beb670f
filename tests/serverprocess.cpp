#include "serverprocess.h"

#include "database.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace
{
constexpr int startTimeoutMs = 15000;

QString postgresServer()
{
    return qEnvironmentVariable("CORVANE_TEST_POSTGRES");
}

// Runs one statement on the maintenance database of the PostgreSQL server.
bool runOnPostgresServer(const QString &statement, QString *error)
{
    const QString name = u"serverprocess-admin"_s;
    bool ok = false;
    {
        QSqlDatabase admin = Database::connection(postgresServer(), name);
        if (admin.open()) {
            QSqlQuery query(admin);
            ok = query.exec(statement);
            if (!ok)
                *error = query.lastError().text();
        } else {
            *error = admin.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}
}

ServerProcess::ServerProcess(QStringList extraArguments)
    : m_extraArguments(std::move(extraArguments))
{ }

ServerProcess::~ServerProcess()
{
    stop();
    dropPostgresDatabase();
}

QStringList ServerProcess::sharingArguments() const
{
    QString database = QDir(dataDirectory()).filePath(u"corvane.sqlite"_s);
    if (!m_postgresDatabase.isEmpty()) {
        QUrl url(postgresServer());
        url.setPath(u"/"_s + m_postgresDatabase);
        database = url.toString();
    }
    return {u"--database"_s, database, u"--secret-file"_s, QDir(dataDirectory()).filePath(u"server.key"_s)};
}

bool ServerProcess::createPostgresDatabase()
{
    // A server given another's database (sharingArguments()) needs none of its own.
    if (postgresServer().isEmpty() || !m_postgresDatabase.isEmpty() || m_extraArguments.contains(u"--database"_s))
        return true;
    const QString name = u"corvane_test_"_s + QUuid::createUuid().toString(QUuid::Id128);
    if (!runOnPostgresServer(u"CREATE DATABASE %1"_s.arg(name), &m_error))
        return false;
    m_postgresDatabase = name;
    return true;
}

void ServerProcess::dropPostgresDatabase()
{
    if (m_postgresDatabase.isEmpty())
        return;
    QString ignored;
    runOnPostgresServer(u"DROP DATABASE IF EXISTS %1"_s.arg(m_postgresDatabase), &ignored);
    m_postgresDatabase.clear();
}

bool ServerProcess::launch()
{
    stop();
    if (!m_dataDirectory.isValid()) {
        m_error = u"no temporary folder: "_s + m_dataDirectory.errorString();
        return false;
    }
    if (!createPostgresDatabase())
        return false;
    QStringList arguments{u"--listen"_s,   u"127.0.0.1"_s,          u"--port"_s, u"0"_s, u"--data-dir"_s,
                          dataDirectory(), u"--password-hashing"_s, u"minimal"_s};
    if (!m_postgresDatabase.isEmpty())
        arguments += sharingArguments().first(2);
    arguments += m_extraArguments;

    m_output.clear();
    m_process = std::make_unique<QProcess>();
    // Log lines (standard error) are read along with the output.
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QStringLiteral(CORVANE_SERVER_EXECUTABLE), arguments);
    return true;
}

bool ServerProcess::waitUntilListening()
{
    static const QRegularExpression listening(u"listening on (https?://\\S+)"_s);
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() == QProcess::NotRunning || !m_process->waitForReadyRead(int(deadline.remainingTime())))
            break;
        m_output += m_process->readAllStandardOutput();
        const auto match = listening.match(QString::fromUtf8(m_output));
        if (match.hasMatch()) {
            m_baseUrl = QUrl(match.captured(1));
            return true;
        }
    }
    m_error = u"corvane-server did not start: "_s + QString::fromUtf8(m_output) + m_process->errorString();
    stop();
    return false;
}

void ServerProcess::stop()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished();
    m_output += m_process->readAllStandardOutput();
    m_process.reset();
}

QString ServerProcess::standardOutput()
{
    if (m_process)
        m_output += m_process->readAllStandardOutput();
    return QString::fromUtf8(m_output);
}

QStringList ServerProcess::outboxMessages() const
{
    const QDir outbox(QDir(dataDirectory()).filePath(u"outbox"_s));
    QStringList paths;
    // The server names messages so that name order is sending order.
    for (const QString &name : outbox.entryList({u"*.eml"_s}, QDir::Files, QDir::Name))
        paths.append(outbox.filePath(name));
    return paths;
}

QString ServerProcess::latestResetCode(const QString &email) const
{
    static const QRegularExpression code(u"\\b(\\d{6})\\b"_s);
    const QStringList messages = outboxMessages();
    for (auto it = messages.crbegin(); it != messages.crend(); ++it) {
        QFile file(*it);
        const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        const qsizetype headerEnd = text.indexOf(u"\r\n\r\n"_s);
        if (text.left(headerEnd).contains(u"\r\nTo: "_s + email + u"\r\n"_s, Qt::CaseInsensitive))
            return code.match(text.mid(headerEnd)).captured(1);
    }
    return {};
}
