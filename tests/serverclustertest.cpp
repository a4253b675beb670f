#include "rawhttpclient.h"
#include "serverprocess.h"
#include "testsite.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray credentials(const QString &email, const QString &password)
{
    return json({{"email"_L1, email}, {"password"_L1, password}});
}
}

// Two corvane-server processes on one database, as behind a load balancer: whatever one of them
// counts, revokes or caches holds on the other at once.
class ServerClusterTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_first;
    std::unique_ptr<ServerProcess> m_second;
    std::unique_ptr<RawHttpClient> m_one;
    std::unique_ptr<RawHttpClient> m_two;

    QString registerAccount(const QString &email)
    {
        return m_one->request("POST", u"/api/auth/register"_s, credentials(email, u"right-pass"_s)).json().value("token"_L1).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QStringList options{u"--allow-private-icon-hosts"_s};
        m_first = std::make_unique<ServerProcess>(options);
        QVERIFY2(m_first->start(), qPrintable(m_first->errorString()));
        m_second = std::make_unique<ServerProcess>(options + m_first->sharingArguments());
        QVERIFY2(m_second->start(), qPrintable(m_second->errorString()));
        m_one = std::make_unique<RawHttpClient>(m_first->baseUrl());
        m_two = std::make_unique<RawHttpClient>(m_second->baseUrl());
    }

    void signOutHoldsEverywhere()
    {
        const QString token = registerAccount(u"out@example.com"_s);
        QCOMPARE(m_two->request("GET", u"/api/websites"_s, {}, token).status, 200);
        QCOMPARE(m_one->request("POST", u"/api/auth/logout"_s, {}, token).status, 204);
        QCOMPARE(m_two->request("GET", u"/api/websites"_s, {}, token).status, 401);
    }

    void signInFailuresCountEverywhere()
    {
        registerAccount(u"guessed@example.com"_s);
        for (int index = 0; index < 10; ++index) {
            RawHttpClient &client = index % 2 ? *m_one : *m_two;
            QCOMPARE(client.request("POST", u"/api/auth/login"_s, credentials(u"guessed@example.com"_s, u"wrong"_s)).status, 401);
        }
        QCOMPARE(m_one->request("POST", u"/api/auth/login"_s, credentials(u"guessed@example.com"_s, u"right-pass"_s)).status, 429);
        QCOMPARE(m_two->request("POST", u"/api/auth/login"_s, credentials(u"guessed@example.com"_s, u"right-pass"_s)).status, 429);
    }

    void resetCodesAndTheirBudgetHoldEverywhere()
    {
        registerAccount(u"reset@example.com"_s);
        const QByteArray forgot = json({{"email"_L1, "reset@example.com"_L1}});
        QCOMPARE(m_one->request("POST", u"/api/auth/forgot-password"_s, forgot).status, 200);
        QCOMPARE(m_two->request("POST", u"/api/auth/forgot-password"_s, forgot).status, 200);
        const QString replaced = m_second->latestResetCode(u"reset@example.com"_s);
        QVERIFY(!replaced.isEmpty());
        QCOMPARE(m_one->request("POST", u"/api/auth/forgot-password"_s, forgot).status, 200);
        QCOMPARE(m_two->request("POST", u"/api/auth/forgot-password"_s, forgot).status, 429);

        auto attempt = [](RawHttpClient &client, const QString &code) {
            return client.request("POST", u"/api/auth/reset-password"_s,
                                  json({{"email"_L1, "reset@example.com"_L1}, {"code"_L1, code}, {"newPassword"_L1, "after12"_L1}}))
                .status;
        };
        // The first server mailed the live code; the second checks it with the shared key.
        const QString live = m_first->latestResetCode(u"reset@example.com"_s);
        if (live == replaced)
            QSKIP("the new code happens to equal the old one");
        QCOMPARE(attempt(*m_two, replaced), 400);
        QCOMPARE(attempt(*m_two, live), 200);
        QCOMPARE(m_one->request("POST", u"/api/auth/login"_s, credentials(u"reset@example.com"_s, u"after12"_s)).status, 200);
    }

    void iconCacheIsShared()
    {
        auto site = std::make_unique<TestSite>();
        QImage image(48, 48, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        site->setPage(u"/favicon.ico"_s, TestSite::image(png));
        const QString path = u"/api/icon?domain=localhost:%1&sz=32"_s.arg(site->port());
        QCOMPARE(m_one->request("GET", path).status, 200);
        site.reset();
        const HttpAnswer cached = m_two->request("GET", path);
        QCOMPARE(cached.status, 200);
        QCOMPARE(QImage::fromData(cached.body, "PNG").size(), QSize(32, 32));
    }

    void anotherSecretIsRefused()
    {
        QStringList arguments = m_first->sharingArguments();
        arguments.removeLast();
        arguments.append(QDir(m_first->dataDirectory()).filePath(u"other.key"_s));
        ServerProcess stranger(arguments);
        QVERIFY(!stranger.start());
    }
};

QTEST_GUILESS_MAIN(ServerClusterTest)
#include "serverclustertest.moc"
