#include "api/requestpipeline.h"
#include "support/stubserver.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>


using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const QJsonObject kUserJson{{u"id"_s, 7}, {u"email"_s, u"ada@example.org"_s}};
const QJsonObject kAuthAnswer{{u"token"_s, u"fresh"_s}, {u"user"_s, kUserJson}};
const QString kSessionEnded = u"Your session ended. Please sign in again."_s;

enum StoredToken { NoToken, EmptyToken, SessionToken, BrokenToken };

QByteArray compact(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

void storeToken(Preferences &preferences, StoredToken token)
{
    if (token == NoToken)
        return;
    const QString text = token == EmptyToken ? QString() : token == BrokenToken ? u"session\r\nX-Injected: 1"_s : u"session-token"_s;
    preferences.setText(Preferences::kJWTToken, text);
    preferences.setData(Preferences::kCurrentUser, compact(kUserJson));
}

// QCoro::waitFor needs a default-constructible result.
template<typename T>
QCoro::Task<std::optional<T>> optionally(QCoro::Task<T> task)
{
    co_return co_await std::move(task);
}
}

// Lets QCOMPARE show both errors when they differ.
char *toString(const RequestError &error)
{
    return QTest::toString(u"%1 %2 \"%3\""_s.arg(error.domain).arg(error.code).arg(error.message));
}

class RequestPipelineTest : public QObject
{
    Q_OBJECT

    template<typename Response>
    static QCoro::Task<RequestResult<Response>> start(AppViewModel &model, const QString &endpoint, const QByteArray &method,
                                                      std::optional<QJsonObject> body = std::nullopt)
    {
        return model.performRequest<Response>(endpoint, method, std::move(body));
    }

    template<typename Response>
    static RequestResult<Response> finish(QCoro::Task<RequestResult<Response>> task)
    {
        return *QCoro::waitFor(optionally(std::move(task)));
    }

    template<typename Response = AuthResponse>
    static RequestResult<Response> perform(AppViewModel &model, const QString &endpoint, const QByteArray &method = "GET",
                                           std::optional<QJsonObject> body = std::nullopt)
    {
        return finish(start<Response>(model, endpoint, method, std::move(body)));
    }

private Q_SLOTS:
    void failedAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("storedToken");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("sessionEnds");

        const QString api = u"API"_s;
        const QString decoding = u"Decoding"_s;
        QTest::newRow("500 with HTML") << 500 << "<html><body>Oops</body></html>"_ba << int(SessionToken) << api << 500
                                       << u"Request failed (500)"_s << false;
        QTest::newRow("404 with error") << 404 << R"({"error":"Website not found"})"_ba << int(SessionToken) << api << 404
                                        << u"Website not found"_s << false;
        QTest::newRow("400 with error of another type") << 400 << R"({"error":12})"_ba << int(SessionToken) << api << 400
                                                        << u"Request failed (400)"_s << false;
        QTest::newRow("409 without error") << 409 << R"({"message":"taken"})"_ba << int(NoToken) << api << 409
                                           << u"Request failed (409)"_s << false;
        QTest::newRow("422 with an array") << 422 << R"(["bad"])"_ba << int(NoToken) << api << 422 << u"Request failed (422)"_s
                                           << false;
        QTest::newRow("503 with empty body") << 503 << QByteArray() << int(SessionToken) << api << 503
                                             << u"Request failed (503)"_s << false;
        // A 304 answer has no body by definition, so its error text is never read.
        QTest::newRow("304 with error") << 304 << R"({"error":"moved on"})"_ba << int(SessionToken) << api << 304
                                        << u"Request failed (304)"_s << false;
        QTest::newRow("407 with error") << 407 << R"({"error":"proxy"})"_ba << int(SessionToken) << api << 407
                                        << u"proxy"_s << false;
        QTest::newRow("302 without a location") << 302 << QByteArray() << int(SessionToken) << api << 302
                                                << u"Request failed (302)"_s << false;
        QTest::newRow("401 without token, with error") << 401 << R"({"error":"Invalid email or password"})"_ba << int(NoToken)
                                                       << api << 401 << u"Invalid email or password"_s << false;
        QTest::newRow("401 without token or error") << 401 << "denied"_ba << int(NoToken) << api << 401
                                                    << u"Request failed (401)"_s << false;
        QTest::newRow("401 with token") << 401 << R"({"error":"Token expired"})"_ba << int(SessionToken) << api << 401
                                        << u"Unauthorized"_s << true;
        QTest::newRow("401 with empty token") << 401 << QByteArray() << int(EmptyToken) << api << 401 << u"Unauthorized"_s
                                              << true;
        QTest::newRow("204 with empty body") << 204 << QByteArray() << int(SessionToken) << decoding << 0
                                             << u"The server's answer could not be read (the answer is empty)."_s << false;
        QTest::newRow("200 not JSON") << 200 << "<html>"_ba << int(SessionToken) << decoding << 0
                                      << u"The server's answer could not be read (not JSON"_s << false;
        QTest::newRow("200 truncated JSON") << 200 << R"({"token":"t","user":{)"_ba << int(SessionToken) << decoding << 0
                                            << u"The server's answer could not be read (not JSON"_s << false;
        QTest::newRow("200 array") << 200 << compact(QJsonArray{kAuthAnswer}) << int(SessionToken) << decoding << 0
                                   << u"The server's answer could not be read (expected an object)."_s << false;
        QTest::newRow("200 missing key") << 200 << R"({"token":"t"})"_ba << int(SessionToken) << decoding << 0
                                         << u"The server's answer could not be read (user: missing)."_s << false;
        QTest::newRow("200 wrong type") << 200 << R"({"token":5,"user":{"id":1,"email":"a"}})"_ba << int(SessionToken) << decoding
                                        << 0 << u"The server's answer could not be read (token: expected a string)."_s << false;
        QTest::newRow("200 wrong nested type") << 200 << R"({"token":"t","user":{"id":"1","email":"a"}})"_ba << int(SessionToken)
                                               << decoding << 0
                                               << u"The server's answer could not be read (user: id: expected an integer)."_s
                                               << false;
    }

    void failedAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, storedToken);
        QFETCH(QString, domain);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(bool, sessionEnds);

        StubServer server;
        server.on("POST", u"/api/auth/login"_s, StubServer::text(status, body, "application/json"));
        TestEnvironment environment;
        storeToken(*environment.preferences(), StoredToken(storedToken));
        const auto model = environment.makeViewModel(server.baseUrl());
        const bool wasSignedIn = model->isAuthenticated();

        const auto result = perform(*model, u"/auth/login"_s, "POST", QJsonObject{{u"email"_s, u"a@b.c"_s}});

        QVERIFY(!result);
        QCOMPARE(result.error().domain, domain);
        QCOMPARE(result.error().code, code);
        QVERIFY2(result.error().message.startsWith(message), qPrintable(result.error().message));
        QCOMPARE(server.requestsTo(u"/api/auth/login"_s).size(), 1);
        if (sessionEnds) {
            QVERIFY(!model->isAuthenticated());
            QCOMPARE(model->authError(), kSessionEnded);
            QVERIFY(!environment.preferences()->contains(Preferences::kJWTToken));
            QVERIFY(!environment.preferences()->contains(Preferences::kCurrentUser));
        } else {
            QCOMPARE(model->isAuthenticated(), wasSignedIn);
            QVERIFY(!model->authError());
            QCOMPARE(environment.preferences()->contains(Preferences::kJWTToken), storedToken != NoToken);
        }
    }

    void successfulAnswersDecode_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("200") << 200 << compact(kAuthAnswer);
        QTest::newRow("201 with extra keys")
            << 201 << R"({"token":"fresh","extra":[1,2],"user":{"id":7,"email":"ada@example.org","plan":"pro"}})"_ba;
        QTest::newRow("299 with a null optional")
            << 299 << R"({"token":"fresh","user":{"id":7,"email":"ada@example.org","createdAt":null}})"_ba;
    }

    void successfulAnswersDecode()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);

        StubServer server;
        server.on("POST", u"/api/auth/login"_s, StubServer::text(status, body, "application/json"));
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());

        const auto result = perform(*model, u"/auth/login"_s, "POST", QJsonObject());

        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        QCOMPARE(result.value().token, u"fresh"_s);
        QCOMPARE(result.value().user, (User{.id = 7, .email = u"ada@example.org"_s}));
    }

    void unfinishedRequestsFailAsUnreachable_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("delivery");

        QTest::newRow("connection refused") << false << int(StubServer::Delivery::Whole);
        QTest::newRow("no answer") << true << int(StubServer::Delivery::Never);
        QTest::newRow("answer stops halfway") << true << int(StubServer::Delivery::Stalled);
    }

    void unfinishedRequestsFailAsUnreachable()
    {
        QFETCH(bool, listening);
        QFETCH(int, delivery);

        StubServer server;
        StubServer::Response answer = StubServer::json(200, QJsonObject{{u"deletedId"_s, 1}});
        answer.delivery = StubServer::Delivery(delivery);
        server.on("DELETE", u"/api/websites/1"_s, answer);
        TestEnvironment environment;
        storeToken(*environment.preferences(), SessionToken);
        environment.setRequestTimeout(300ms);
        const QString portal = listening ? server.baseUrl() : StubServer::refusingBaseUrl();
        const auto model = environment.makeViewModel(portal);

        QElapsedTimer elapsed;
        elapsed.start();
        const auto result = perform<DeleteWebsiteResponse>(*model, u"/websites/1"_s, "DELETE");

        QVERIFY(!result);
        QCOMPARE(result.error(), (RequestError{.domain = u"API"_s, .code = -2, .message = u"Server is unreachable (%1)."_s.arg(portal)}));
        QCOMPARE_LT(elapsed.elapsed(), 3000);
        QCOMPARE(server.requestsTo(u"/api/websites/1"_s).size(), listening ? 1 : 0);
        QVERIFY(model->isAuthenticated());
        QVERIFY(!model->authError());
        QCOMPARE(environment.preferences()->text(Preferences::kJWTToken), u"session-token"_s);
    }

    void invalidAddressSendsNothing()
    {
        StubServer server;
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());

        const auto result = perform(*model, u"/web sites/<1>"_s);

        QVERIFY(!result);
        QCOMPARE(result.error(), (RequestError{.domain = u"API"_s, .code = -1, .message = u"Invalid API URL"_s}));
        QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(100));
        QVERIFY(server.requests().isEmpty());
    }

    void answerWithoutHttpIsInvalid()
    {
        // A file address completes without any HTTP status.
        TestEnvironment environment;
        QVERIFY(QDir().mkpath(environment.path(u"portal/api"_s)));
        QFile file(environment.path(u"portal/api/answer"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(compact(kAuthAnswer));
        file.close();
        const auto model = environment.makeViewModel(QUrl::fromLocalFile(environment.path(u"portal"_s)).toString());

        const auto result = perform(*model, u"/answer"_s);

        QVERIFY(!result);
        QCOMPARE(result.error(), (RequestError{.domain = u"API"_s, .code = -3, .message = u"Invalid server response."_s}));
    }

    void requestCarriesHeadersAndBody_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("storedToken");

        const QJsonObject noBody;
        QTest::newRow("GET without token") << "GET"_ba << u"/websites/12"_s << noBody << int(NoToken);
        QTest::newRow("GET with empty token") << "GET"_ba << u"/websites/12"_s << noBody << int(EmptyToken);
        QTest::newRow("DELETE with token") << "DELETE"_ba << u"/websites/12"_s << noBody << int(SessionToken);
        QTest::newRow("POST text") << "POST"_ba << u"/auth/login"_s
                                   << QJsonObject{{u"email"_s, u"Ada@Example.org"_s}, {u"password"_s, u"  six  "_s}} << int(NoToken);
        QTest::newRow("PUT with token") << "PUT"_ba << u"/websites/12"_s << QJsonObject{{u"title"_s, u"Ünïcode \"quoted\""_s}}
                                        << int(SessionToken);
        QTest::newRow("PATCH boolean") << "PATCH"_ba << u"/websites/12/pin"_s << QJsonObject{{u"isPinned"_s, true}}
                                       << int(SessionToken);
        QTest::newRow("token with a line break") << "GET"_ba << u"/websites/12"_s << noBody << int(BrokenToken);
    }

    void requestCarriesHeadersAndBody()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, endpoint);
        QFETCH(QJsonObject, body);
        QFETCH(int, storedToken);

        StubServer server;
        server.on(method, "/api"_L1 + endpoint, StubServer::json(200, QJsonObject{{u"deletedId"_s, 12}}));
        TestEnvironment environment;
        storeToken(*environment.preferences(), StoredToken(storedToken));
        const auto model = environment.makeViewModel(server.baseUrl());

        const auto result = perform<DeleteWebsiteResponse>(*model, endpoint, method,
                                                           body.isEmpty() ? std::nullopt : std::optional(body));

        QVERIFY(result);
        QCOMPARE(result.value().deletedId, 12);
        const QList<StubServer::Request> requests = server.requestsTo("/api"_L1 + endpoint);
        QCOMPARE(requests.size(), 1);
        const StubServer::Request &received = requests.first();
        QCOMPARE(received.method, method);
        QCOMPARE(received.target, "/api"_L1 + endpoint);
        QCOMPARE(received.header("Content-Type"), "application/json"_ba);
        QCOMPARE(received.hasHeader("Authorization"), storedToken == SessionToken);
        if (storedToken == SessionToken)
            QCOMPARE(received.header("Authorization"), "Bearer session-token"_ba);
        QCOMPARE(received.body, body.isEmpty() ? QByteArray() : compact(body));
        QVERIFY(!received.hasHeader("X-Injected"));
    }

    void requestsInFlightAreIndependent()
    {
        StubServer server;
        StubServer::Response slow = StubServer::json(200, QJsonObject{{u"deletedId"_s, 1}});
        slow.delay = 400ms;
        server.on("DELETE", u"/api/websites/1"_s, slow);
        server.on("DELETE", u"/api/websites/2"_s, StubServer::json(200, QJsonObject{{u"deletedId"_s, 2}}));
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());

        // The token is read as each request is built.
        model->defaults().setText(Preferences::kJWTToken, u"first"_s);
        auto first = start<DeleteWebsiteResponse>(*model, u"/websites/1"_s, "DELETE");
        model->defaults().setText(Preferences::kJWTToken, u"second"_s);
        auto second = start<DeleteWebsiteResponse>(*model, u"/websites/2"_s, "DELETE");

        QCOMPARE(finish(std::move(second)).value().deletedId, 2);
        QVERIFY(!first.isReady());
        QCOMPARE(finish(std::move(first)).value().deletedId, 1);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(0).header("Authorization"), "Bearer first"_ba);
        QCOMPARE(server.requests().at(1).header("Authorization"), "Bearer second"_ba);
    }

    void sessionEndsBeforeTheCallerHearsOfIt()
    {
        StubServer server;
        server.on("DELETE", u"/api/websites/1"_s, StubServer::json(401, QJsonObject{{u"error"_s, u"expired"_s}}));
        TestEnvironment environment;
        storeToken(*environment.preferences(), SessionToken);
        const auto model = environment.makeViewModel(server.baseUrl());
        QStringList events;
        connect(model.get(), &AppViewModel::isAuthenticatedChanged, this, [&] { events.append(u"signed out"_s); });
        connect(model.get(), &AppViewModel::authErrorChanged, this, [&] { events.append(model->authError().value_or(u"none"_s)); });

        const auto result = perform<DeleteWebsiteResponse>(*model, u"/websites/1"_s, "DELETE");

        QCOMPARE(result.error(), RequestError::unauthorized());
        QCOMPARE(events, (QStringList{u"signed out"_s, kSessionEnded}));
    }

    void lateRefusalLeavesANewerSessionAlone()
    {
        StubServer server;
        StubServer::Response refused = StubServer::json(401, QJsonObject{{u"error"_s, u"expired"_s}});
        refused.delay = 300ms;
        server.on("DELETE", u"/api/websites/1"_s, refused);
        TestEnvironment environment;
        storeToken(*environment.preferences(), SessionToken);
        const auto model = environment.makeViewModel(server.baseUrl());

        auto pending = start<DeleteWebsiteResponse>(*model, u"/websites/1"_s, "DELETE");
        // The user signed in again while the old request was out.
        model->defaults().setText(Preferences::kJWTToken, u"newer-session"_s);
        const auto result = finish(std::move(pending));

        QCOMPARE(result.error(), RequestError::failedStatus(401, u"expired"_s));
        QVERIFY(model->isAuthenticated());
        QVERIFY(!model->authError());
        QCOMPARE(model->defaults().text(Preferences::kJWTToken), u"newer-session"_s);
    }

    void largeAnswerIsDecodedLikeASmallOne()
    {
        // Big enough to be parsed and decoded on a worker thread; the main-thread cost of that is
        // measured by the library benchmark.
        QJsonArray websites;
        const QString content(20'000, u'\n');
        for (int id = 1; id <= 40; ++id) {
            const SavedWebsite website{.id = id, .url = u"https://site%1.test"_s.arg(id), .title = u"Site"_s, .content = content};
            websites.append(website.toJson());
        }
        StubServer server;
        server.on("GET", u"/api/websites"_s, StubServer::json(200, QJsonObject{{u"websites"_s, websites}}));
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());

        const auto result = perform<WebsitesResponse>(*model, u"/websites"_s);
        QVERIFY(result);
        QCOMPARE(SavedWebsite::listToJson(result.value().websites), websites);
    }

    void modelGoneWhileWaiting()
    {
        StubServer server;
        StubServer::Response slow = StubServer::json(200, QJsonObject{{u"deletedId"_s, 1}});
        slow.delay = 100ms;
        server.on("DELETE", u"/api/websites/1"_s, slow);
        TestEnvironment environment;
        auto model = environment.makeViewModel(server.baseUrl());

        auto pending = start<DeleteWebsiteResponse>(*model, u"/websites/1"_s, "DELETE");
        QVERIFY(QSignalSpy(&server, &StubServer::requestReceived).wait());
        model.reset();
        QTest::qWait(300);
        QVERIFY(!pending.isReady());
    }
};

QTEST_GUILESS_MAIN(RequestPipelineTest)
#include "requestpipelinetest.moc"
