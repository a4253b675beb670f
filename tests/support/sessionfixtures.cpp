#include "sessionfixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtEndian>
#include <QTest>

#include <lz4.h>

namespace {
QByteArray int32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<qint32>(value, bytes.data());
    return bytes;
}

QByteArray padded(QByteArray bytes)
{
    while (bytes.size() % 4 != 0)
        bytes.append('\0');
    return bytes;
}

void writeHistory(const QString &path, const QString &journalMode, const QString &schema, const QString &insert,
                  const QList<SessionFixtures::Visit> &visits, qint64 (*visitTime)(const QDateTime &))
{
    QDir().mkpath(QFileInfo(path).path());
    const QString connection = QStringLiteral("fixture-") + path;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        database.setDatabaseName(path);
        QVERIFY2(database.open(), qPrintable(database.lastError().text()));
        QSqlQuery query(database);
        QVERIFY(query.exec(QStringLiteral("PRAGMA journal_mode=") + journalMode));
        QVERIFY(query.exec(schema));
        QVERIFY(database.transaction());
        for (const SessionFixtures::Visit &visit : visits) {
            query.prepare(insert);
            query.addBindValue(visit.url);
            query.addBindValue(visit.title);
            query.addBindValue(visitTime(visit.visited));
            QVERIFY(query.exec());
        }
        QVERIFY(database.commit());
    }
    QSqlDatabase::removeDatabase(connection);
}
}

QByteArray SessionFixtures::mozLz4(const QByteArray &data)
{
    const int bound = LZ4_compressBound(int(data.size()));
    QByteArray block(bound, Qt::Uninitialized);
    block.truncate(LZ4_compress_default(data.constData(), block.data(), int(data.size()), bound));
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(quint32(data.size()), size.data());
    return QByteArray("mozLz40\0", 8) + size + block;
}

QByteArray SessionFixtures::firefoxSessionJson(const QList<SessionTab> &tabs, qsizetype selectedTab)
{
    QJsonArray tabArray;
    for (const SessionTab &tab : tabs) {
        tabArray.append(QJsonObject{
            {QStringLiteral("entries"), QJsonArray{QJsonObject{{QStringLiteral("url"), tab.url}, {QStringLiteral("title"), tab.title}}}},
            {QStringLiteral("index"), 1}});
    }
    const QJsonObject window{{QStringLiteral("tabs"), tabArray}, {QStringLiteral("selected"), selectedTab + 1}};
    return QJsonDocument(QJsonObject{{QStringLiteral("windows"), QJsonArray{window}}, {QStringLiteral("selectedWindow"), 1}})
        .toJson(QJsonDocument::Compact);
}

void SessionFixtures::writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

void SessionFixtures::setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

void SessionFixtures::writeFirefoxProfiles(const QString &root, const QStringList &profiles, const QString &installDefault)
{
    QByteArray profilesIni;
    for (qsizetype index = 0; index < profiles.size(); ++index) {
        QDir().mkpath(root + QLatin1Char('/') + profiles.at(index));
        profilesIni += QStringLiteral("[Profile%1]\nName=%2\nIsRelative=1\nPath=%2\n%3\n")
                           .arg(index)
                           .arg(profiles.at(index), index == 0 ? QStringLiteral("Default=1\n") : QString())
                           .toUtf8();
    }
    writeFile(root + QLatin1StringView("/profiles.ini"), profilesIni);
    writeFile(root + QLatin1StringView("/installs.ini"),
              QStringLiteral("[3B6073811A6ABF12]\nDefault=%1\nLocked=1\n").arg(installDefault).toUtf8());
}

void SessionFixtures::writeFirefoxHistory(const QString &profileDirectory, const QList<Visit> &visits)
{
    writeHistory(profileDirectory + QLatin1StringView("/places.sqlite"), QStringLiteral("WAL"),
                 QStringLiteral("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT, last_visit_date INTEGER)"),
                 QStringLiteral("INSERT INTO moz_places (url, title, last_visit_date) VALUES (?, ?, ?)"), visits,
                 [](const QDateTime &time) { return time.toMSecsSinceEpoch() * 1000; });
}

void SessionFixtures::writeChromiumHistory(const QString &profileDirectory, const QList<Visit> &visits)
{
    writeHistory(profileDirectory + QLatin1StringView("/History"), QStringLiteral("DELETE"),
                 QStringLiteral("CREATE TABLE urls (id INTEGER PRIMARY KEY, url TEXT, title TEXT, last_visit_time INTEGER)"),
                 QStringLiteral("INSERT INTO urls (url, title, last_visit_time) VALUES (?, ?, ?)"), visits,
                 [](const QDateTime &time) { return (time.toMSecsSinceEpoch() / 1000 + 11644473600) * 1000000; });
}

SessionFixtures::SnssWriter::SnssWriter()
    : m_bytes(QByteArray("SNSS") + int32(3))
{
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::command(quint8 id, const QByteArray &payload)
{
    QByteArray size(2, '\0');
    qToLittleEndian<quint16>(quint16(payload.size() + 1), size.data());
    m_bytes += size + char(id) + payload;
    return *this;
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::tabInWindow(qint32 window, qint32 tab, qint32 index)
{
    command(0, int32(window) + int32(tab));
    return command(2, int32(tab) + int32(index));
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::navigation(qint32 tab, qint32 index, const QString &url,
                                                                     const QString &title)
{
    const QByteArray urlBytes = url.toUtf8();
    const QByteArray titleBytes(reinterpret_cast<const char *>(title.utf16()), title.size() * 2);
    const QByteArray pickle = int32(tab) + int32(index) + int32(qint32(urlBytes.size())) + padded(urlBytes)
        + int32(qint32(title.size())) + padded(titleBytes) + int32(0);
    return command(6, int32(qint32(pickle.size())) + pickle);
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::selectedNavigation(qint32 tab, qint32 index)
{
    return command(7, int32(tab) + int32(index));
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::selectedTab(qint32 window, qint32 index)
{
    return command(8, int32(window) + int32(index));
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::activeWindow(qint32 window)
{
    return command(20, int32(window));
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::tabClosed(qint32 tab)
{
    return command(16, int32(tab) + QByteArray(12, '\0'));
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::raw(const QByteArray &bytes)
{
    m_bytes += bytes;
    return *this;
}
