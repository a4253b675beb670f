#include "support/stubserver.h"
#include "support/testenvironment.h"

#include "account/authenticationcard.h"
#include "api/backendclient.h"
#include "platform/savedialog.h"
#include "update/updatecheck.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const QJsonObject kUserJson{{u"id"_s, 7}, {u"email"_s, u"ada@example.org"_s}};

// QCoro::waitFor needs a default-constructible result.
template<typename T>
QCoro::Task<std::optional<T>> optionally(QCoro::Task<T> task)
{
    co_return co_await std::move(task);
}
}

// What an attacker could get out of the client: the token or the password on another server.
class ClientHardeningTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void redirectsStayOnTheBackend_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sameOrigin");

        QTest::newRow("302 of the library elsewhere") << "GET"_ba << u"/websites"_s << 302 << false;
        QTest::newRow("307 of the sign-in elsewhere") << "POST"_ba << u"/auth/login"_s << 307 << false;
        QTest::newRow("302 on the same server") << "GET"_ba << u"/websites"_s << 302 << true;
        QTest::newRow("307 on the same server") << "POST"_ba << u"/auth/login"_s << 307 << true;
    }

    void redirectsStayOnTheBackend()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, endpoint);
        QFETCH(int, status);
        QFETCH(bool, sameOrigin);

        StubServer backend;
        StubServer elsewhere;
        StubServer &target = sameOrigin ? backend : elsewhere;
        const QString moved = u"/api/moved"_s;
        const QByteArray location = (target.baseUrl() + moved).toUtf8();
        backend.on(method, u"/api"_s + endpoint, {.status = status, .headers = {{"Location", location}}});
        // Any answer will do: it only has to be a complete one.
        target.on(method, moved, StubServer::json(200, QJsonObject{{u"message"_s, u"ok"_s}}));

        BackendClient client(backend.baseUrl(), 5s);
        client.setToken(u"secret-token"_s);
        const QJsonObject body{{u"email"_s, u"ada@example.org"_s}, {u"password"_s, u"hunter2"_s}};
        const auto result = QCoro::waitFor(
            optionally(client.request<SimpleMessageResponse>(endpoint, method, method == "POST" ? std::optional(body) : std::nullopt)));

        QVERIFY(result.has_value());
        if (!sameOrigin) {
            QVERIFY(elsewhere.requests().isEmpty());
            QVERIFY(!*result);
            QCOMPARE(result->error().code, RequestError::kUnreachable);
            return;
        }
        QVERIFY(*result);
        QCOMPARE(backend.requestsTo(moved).size(), 1);
        QCOMPARE(backend.requestsTo(moved).first().header("Authorization"), "Bearer secret-token"_ba);
    }

    void versionCheckDoesNotFollowARedirectElsewhere()
    {
        StubServer backend;
        StubServer elsewhere;
        backend.on("GET", u"/api/version"_s,
                   {.status = 302, .headers = {{"Location", (elsewhere.baseUrl() + u"/api/version"_s).toUtf8()}}});
        elsewhere.on("GET", u"/api/version"_s, StubServer::json(200, QJsonObject{{u"latestVersion"_s, u"9.0.0"_s}}));
        TestEnvironment environment;
        const auto model = environment.makeViewModel(backend.baseUrl());

        model->updateCheck()->checkForUpdates();
        QTRY_VERIFY(!model->updateCheck()->isCheckingUpdate());
        QVERIFY(elsewhere.requests().isEmpty());
        QVERIFY(!model->updateCheck()->hasUpdateAvailable());
    }

    void typedNameGetsTheSuffix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("bare name") << u"/home/ada/list"_s << u"/home/ada/list.json"_s;
        QTest::newRow("trailing dot") << u"/home/ada/list."_s << u"/home/ada/list.json"_s;
        QTest::newRow("dotted folder") << u"/home/ada.d/list"_s << u"/home/ada.d/list.json"_s;
        QTest::newRow("own suffix kept") << u"/home/ada/list.txt"_s << u"/home/ada/list.txt"_s;
        QTest::newRow("already json") << u"/home/ada/list.json"_s << u"/home/ada/list.json"_s;
    }

    void typedNameGetsTheSuffix()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(withDefaultSuffix(typed, u"json"_s), saved);
    }

    // A token whose user cannot be read is no session: left behind, it would make a mistyped
    // password at the next sign-in look like an expired session.
    void orphanedTokenDoesNotOutliveItsUser()
    {
        StubServer backend;
        backend.on("POST", u"/api/auth/login"_s, StubServer::json(401, QJsonObject{{u"error"_s, u"Incorrect email or password."_s}}));
        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            preferences->setText(Preferences::kJWTToken, u"orphan"_s);
            preferences->setData(Preferences::kCurrentUser, "{not json"_ba);
        }
        const auto model = environment.makeViewModel(backend.baseUrl());
        QVERIFY(!model->isAuthenticated());
        QVERIFY(!environment.preferences()->contains(Preferences::kJWTToken));

        model->account()->setEmailInput(u"ada@example.org"_s);
        model->account()->setPasswordInput(u"wrong password"_s);
        model->account()->submitAuth();
        QTRY_VERIFY(!model->account()->isAuthLoading());
        QCOMPARE(model->account()->authError(), std::optional(u"Incorrect email or password."_s));
        QVERIFY(!backend.requests().first().hasHeader("Authorization"));
    }
};

QTEST_MAIN(ClientHardeningTest)
#include "clienthardeningtest.moc"
