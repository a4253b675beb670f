#include "browserhistory.h"

#include "capturelog.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>

namespace
{
// Copying more than this on a poll would stall detection; such a history is left alone.
constexpr qint64 maximumCopiedBytes = 256 * 1024 * 1024;
constexpr qint64 recentVisitDays = 30;
// Chromium counts microseconds from 1601-01-01.
constexpr qint64 windowsEpochOffsetSeconds = 11644473600;

QString writeAheadLogOf(const QString &databaseFile)
{
    return databaseFile + QLatin1StringView("-wal");
}

QString uniqueConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("corvane-history-%1").arg(counter.fetch_add(1));
}

std::optional<QString> queryNewestUrl(const QString &databaseName, const QString &connectOptions, const QString &sql, const QString &title,
                                      qint64 oldestVisit)
{
    const QString connectionName = uniqueConnectionName();
    std::optional<QString> url;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        database.setDatabaseName(databaseName);
        // A busy database is no answer this tick, not a stall of detection.
        database.setConnectOptions(connectOptions + QLatin1StringView(";QSQLITE_BUSY_TIMEOUT=0"));
        if (database.open()) {
            QSqlQuery query(database);
            query.prepare(sql);
            query.addBindValue(title);
            query.addBindValue(oldestVisit);
            if (query.exec() && query.next())
                url = query.value(0).toString();
            else if (query.lastError().isValid())
                qCDebug(lcCapture) << "history query failed:" << query.lastError().text();
        } else {
            qCDebug(lcCapture) << "history not readable:" << database.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (url && url->isEmpty())
        return std::nullopt;
    return url;
}

std::optional<QString> firefoxNewestUrl(const QString &historyFile, const QString &title, qint64 oldestVisitMsecs)
{
    const QString writeAheadLog = writeAheadLogOf(historyFile);
    if (QFileInfo(historyFile).size() + QFileInfo(writeAheadLog).size() > maximumCopiedBytes) {
        qCDebug(lcCapture) << "history too large to copy:" << historyFile;
        return std::nullopt;
    }
    // mkdtemp makes the folder private to this user; it goes away with its copies on return.
    QTemporaryDir folder;
    if (!folder.isValid())
        return std::nullopt;
    const QString copy = folder.filePath(QStringLiteral("places.sqlite"));
    if (!QFile::copy(historyFile, copy))
        return std::nullopt;
    if (QFile::exists(writeAheadLog) && !QFile::copy(writeAheadLog, writeAheadLogOf(copy)))
        return std::nullopt;
    return queryNewestUrl(copy, QString(),
                          QStringLiteral("SELECT url FROM moz_places WHERE title = ? AND last_visit_date >= ? "
                                         "ORDER BY last_visit_date DESC LIMIT 1"),
                          title, oldestVisitMsecs * 1000);
}

std::optional<QString> chromiumNewestUrl(const QString &historyFile, const QString &title, qint64 oldestVisitMsecs)
{
    // Immutable: no lock is taken and nothing is written next to the browser's file.
    const QString uri = QUrl::fromLocalFile(historyFile).toString(QUrl::FullyEncoded) + QLatin1StringView("?immutable=1");
    return queryNewestUrl(uri, QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"),
                          QStringLiteral("SELECT url FROM urls WHERE title = ? AND last_visit_time >= ? "
                                         "ORDER BY last_visit_time DESC LIMIT 1"),
                          title, (oldestVisitMsecs / 1000 + windowsEpochOffsetSeconds) * 1000000);
}
}

std::optional<QString> BrowserHistory::newestUrlWithTitle(KnownBrowser::Kind kind, const QString &historyFile, const QString &title)
{
    const FileStamp database = FileStamp::of(historyFile);
    if (!database.exists() || title.isEmpty())
        return std::nullopt;
    const FileStamp writeAheadLog = FileStamp::of(writeAheadLogOf(historyFile));
    const auto found = m_entries.constFind(historyFile);
    if (found != m_entries.cend() && found->database == database && found->writeAheadLog == writeAheadLog && found->title == title) {
        return found->url;
    }

    const qint64 oldestVisitMsecs = QDateTime::currentMSecsSinceEpoch() - recentVisitDays * 24 * 3600 * 1000;
    std::optional<QString> url = kind == KnownBrowser::Kind::Firefox ? firefoxNewestUrl(historyFile, title, oldestVisitMsecs)
                                                                     : chromiumNewestUrl(historyFile, title, oldestVisitMsecs);
    m_entries.insert(historyFile, {database, writeAheadLog, title, url});
    return url;
}
