#include "rawhttpclient.h"
#include "serverprocess.h"
#include "support/testdata.h"
#include "testsite.h"

#include <QFile>
#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

// Two corvane-server processes on one database, as behind a load balancer: whatever one of them
// counts, revokes or caches holds on the other at once.
class ServerClusterTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_first;
    std::unique_ptr<ServerProcess> m_second;
    std::unique_ptr<ApiClient> m_one;
    std::unique_ptr<ApiClient> m_two;

private Q_SLOTS:
    void initTestCase()
    {
        const QStringList options{u"--allow-private-icon-hosts"_s};
        m_first = std::make_unique<ServerProcess>(options);
        QVERIFY2(m_first->start(), qPrintable(m_first->errorString()));
        m_second = std::make_unique<ServerProcess>(options + m_first->sharingArguments());
        QVERIFY2(m_second->start(), qPrintable(m_second->errorString()));
        m_one = std::make_unique<ApiClient>(m_first->baseUrl());
        m_two = std::make_unique<ApiClient>(m_second->baseUrl());
    }

    // Each sets up the schema of the empty database unless they take turns.
    void serversStartTogetherOnAnEmptyDatabase()
    {
        // The database is empty and the key file not written yet: both are made by whoever comes first.
        ServerProcess first;
        QVERIFY2(first.launch(), qPrintable(first.errorString()));
        std::vector<std::unique_ptr<ServerProcess>> others;
        for (int index = 0; index < 2; ++index) {
            others.push_back(std::make_unique<ServerProcess>(first.sharingArguments()));
            QVERIFY2(others.back()->launch(), qPrintable(others.back()->errorString()));
        }
        QVERIFY2(first.waitUntilListening(), qPrintable(first.errorString()));
        for (const auto &server : others) {
            QVERIFY2(server->waitUntilListening(), qPrintable(server->errorString()));
            QVERIFY(!ApiClient(server->baseUrl()).registerAccount(u"together%1@example.com"_s.arg(server->processId())).isEmpty());
        }
    }

    void signOutHoldsEverywhere()
    {
        const QString token = m_one->registerAccount(u"out@example.com"_s);
        QCOMPARE(m_two->list(token).status, 200);
        QCOMPARE(m_one->request("POST", u"/api/auth/logout"_s, {}, token).status, 204);
        QCOMPARE(m_two->list(token).status, 401);
    }

    void signInFailuresCountEverywhere()
    {
        m_one->registerAccount(u"guessed@example.com"_s);
        for (int index = 0; index < 10; ++index)
            QCOMPARE((index % 2 ? m_one : m_two)->login(u"guessed@example.com"_s, u"wrong"_s).status, 401);
        QCOMPARE(m_one->login(u"guessed@example.com"_s, u"secret1"_s).status, 429);
        QCOMPARE(m_two->login(u"guessed@example.com"_s, u"secret1"_s).status, 429);
    }

    void resetCodesAndTheirBudgetHoldEverywhere()
    {
        const QString email = u"reset@example.com"_s;
        m_one->registerAccount(email);
        QCOMPARE(m_one->forgot(email).status, 200);
        QCOMPARE(m_two->forgot(email).status, 200);
        const QString replaced = m_second->latestResetCode(email);
        QVERIFY(!replaced.isEmpty());
        QCOMPARE(m_one->forgot(email).status, 200);
        QCOMPARE(m_two->forgot(email).status, 429);

        // The first server mailed the live code; the second checks it with the shared key.
        const QString live = m_first->latestResetCode(email);
        if (live == replaced)
            QSKIP("the new code happens to equal the old one");
        QCOMPARE(m_two->reset(email, replaced).status, 400);
        QCOMPARE(m_two->reset(email, live).status, 200);
        QCOMPARE(m_one->login(email, u"after12"_s).status, 200);
    }

    void iconCacheIsShared()
    {
        auto site = std::make_unique<TestSite>();
        site->setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(48, Qt::red), "image/png"));
        const QString domain = u"localhost:%1"_s.arg(site->port());
        const QString token = m_one->registerAccount(u"icons@example.com"_s);
        QCOMPARE(m_one->add(token, u"http://%1/"_s.arg(domain), u"Site"_s).status, 201);
        const QString path = u"/api/icon?domain=%1&sz=32"_s.arg(domain);
        QCOMPARE(m_one->request("GET", path).status, 200);
        site.reset();
        const HttpAnswer cached = m_two->request("GET", path);
        QCOMPARE(cached.status, 200);
        QCOMPARE(QImage::fromData(cached.body, "PNG").size(), QSize(32, 32));
    }
};

QTEST_GUILESS_MAIN(ServerClusterTest)
#include "serverclustertest.moc"
