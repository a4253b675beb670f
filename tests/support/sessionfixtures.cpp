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
#include <QTest>
#include <QtEndian>

#include <lz4.h>

using namespace Qt::StringLiterals;

namespace
{
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
    const QString connection = u"fixture-"_s + path;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        database.setDatabaseName(path);
        QVERIFY2(database.open(), qPrintable(database.lastError().text()));
        QSqlQuery query(database);
        QVERIFY(query.exec(u"PRAGMA journal_mode="_s + journalMode));
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
        tabArray.append(
            QJsonObject{{u"entries"_s, QJsonArray{QJsonObject{{u"url"_s, tab.url}, {u"title"_s, tab.title}}}}, {u"index"_s, 1}});
    }
    const QJsonObject window{{u"tabs"_s, tabArray}, {u"selected"_s, selectedTab + 1}};
    return QJsonDocument(QJsonObject{{u"windows"_s, QJsonArray{window}}, {u"selectedWindow"_s, 1}}).toJson(QJsonDocument::Compact);
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
        QDir().mkpath(root + u'/' + profiles.at(index));
        profilesIni += u"[Profile%1]\nName=%2\nIsRelative=1\nPath=%2\n%3\n"_s.arg(index)
                           .arg(profiles.at(index), index == 0 ? u"Default=1\n"_s : QString())
                           .toUtf8();
    }
    writeFile(root + u"/profiles.ini"_s, profilesIni);
    writeFile(root + u"/installs.ini"_s, u"[3B6073811A6ABF12]\nDefault=%1\nLocked=1\n"_s.arg(installDefault).toUtf8());
}

void SessionFixtures::writeFirefoxHistory(const QString &profileDirectory, const QList<Visit> &visits)
{
    writeHistory(profileDirectory + u"/places.sqlite"_s, u"WAL"_s,
                 u"CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT, last_visit_date INTEGER)"_s,
                 u"INSERT INTO moz_places (url, title, last_visit_date) VALUES (?, ?, ?)"_s, visits,
                 [](const QDateTime &time) { return time.toMSecsSinceEpoch() * 1000; });
}

void SessionFixtures::writeChromiumHistory(const QString &profileDirectory, const QList<Visit> &visits)
{
    writeHistory(profileDirectory + u"/History"_s, u"DELETE"_s,
                 u"CREATE TABLE urls (id INTEGER PRIMARY KEY, url TEXT, title TEXT, last_visit_time INTEGER)"_s,
                 u"INSERT INTO urls (url, title, last_visit_time) VALUES (?, ?, ?)"_s, visits,
                 [](const QDateTime &time) { return (time.toMSecsSinceEpoch() / 1000 + 11644473600) * 1000000; });
}

SessionFixtures::SnssWriter::SnssWriter()
    : m_bytes(QByteArray("SNSS") + int32(3))
{ }

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

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::navigation(qint32 tab, qint32 index, const QString &url, const QString &title)
{
    const QByteArray urlBytes = url.toUtf8();
    const QByteArray titleBytes(reinterpret_cast<const char *>(title.utf16()), title.size() * 2);
    const QByteArray pickle = int32(tab) + int32(index) + int32(qint32(urlBytes.size())) + padded(urlBytes) + int32(qint32(title.size()))
        + padded(titleBytes) + int32(0);
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

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::activeTab(qint32 window, qint32 tab, const QString &url, const QString &title)
{
    return tabInWindow(window, tab, 0)
        .navigation(tab, 0, url, title)
        .selectedNavigation(tab, 0)
        .selectedTab(window, 0)
        .activeWindow(window);
}

SessionFixtures::SnssWriter &SessionFixtures::SnssWriter::raw(const QByteArray &bytes)
{
    m_bytes += bytes;
    return *this;
}
