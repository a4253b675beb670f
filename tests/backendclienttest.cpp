#include "backendclient.h"
#include "support/stubserver.h"
#include "support/testdata.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
// Long enough for a loaded machine; the tests of a silent server shorten it.
constexpr auto kRequestTimeout = 5s;
// Small, so an answer past it is cheap to send.
constexpr qsizetype kAnswerSizeLimit = 64 * 1024;

enum Portal {
    StubPortal,
    RefusingPortal,
    FilePortal,
    InvalidPortal
};

enum Token {
    NoToken,
    EmptyToken,
    SessionToken,
    NewerToken,
    BrokenToken
};

std::optional<QString> tokenText(int token)
{
    const std::array<std::optional<QString>, 5> texts{std::nullopt, QString(), u"session-token"_s, u"newer-session"_s,
                                                      u"session\r\nX-Injected: 1"_s};
    return texts.at(token);
}

// QCoro::waitFor needs a default-constructible result.
template<typename T> QCoro::Task<std::optional<T>> optionally(QCoro::Task<T> task)
{
    co_return co_await std::move(task);
}

template<typename Response> RequestResult<Response> finish(QCoro::Task<RequestResult<Response>> task)
{
    return *QCoro::waitFor(optionally(std::move(task)));
}
}

class BackendClientTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every way a request fails and its error; a 401 ends only a session that is still the one sent.
    void failures_data()
    {
        QTest::addColumn<int>("portal");
        QTest::addColumn<int>("delivery");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("tokenSent");
        QTest::addColumn<int>("tokenOnAnswer");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");

        const int whole = int(StubServer::Delivery::Whole);
        const auto row
            = [&](const char *name, int status, const QByteArray &body, const QString &domain, int code, const QString &message) {
                  QTest::newRow(name) << int(StubPortal) << whole << status << body << int(SessionToken) << int(SessionToken) << domain
                                      << code << message;
              };
        const QString api = u"API"_s;
        row("500 with HTML", 500, "<html><body>Oops</body></html>"_ba, api, 500, u"Request failed (500)"_s);
        row("404 with error", 404, R"({"error":"Website not found"})"_ba, api, 404, u"Website not found"_s);
        row("409 without error", 409, R"({"message":"taken"})"_ba, api, 409, u"Request failed (409)"_s);
        // A 304 answer has no body by definition, so its error text is never read.
        row("304 with error", 304, R"({"error":"moved on"})"_ba, api, 304, u"Request failed (304)"_s);
        row("407 with error", 407, R"({"error":"proxy"})"_ba, api, 407, u"proxy"_s);
        row("302 without a location", 302, QByteArray(), api, 302, u"Request failed (302)"_s);

        const QString decoding = u"Decoding"_s;
        const QString unreadable = u"The server's answer could not be read ("_s;
        row("204 with empty body", 204, QByteArray(), decoding, 0, unreadable + u"the answer is empty)."_s);
        row("200 not JSON", 200, "<html>"_ba, decoding, 0, unreadable + u"not JSON"_s);
        row("200 array", 200, R"([{"token":"t","user":{"id":1,"email":"a"}}])"_ba, decoding, 0, unreadable + u"expected an object)."_s);
        row("200 missing key", 200, R"({"token":"t"})"_ba, decoding, 0, unreadable + u"user: missing)."_s);
        row("200 wrong nested type", 200, R"({"token":"t","user":{"id":"1","email":"a"}})"_ba, decoding, 0,
            unreadable + u"user: id: expected an integer)."_s);

        // Valid, but longer than the limit: refused on its declared length alone (half of it never
        // comes), or as it grows past it, and never taken for a refused session.
        const QByteArray overlarge = R"({"token":"t","user":{"id":1,"email":"a"}})"_ba.leftJustified(kAnswerSizeLimit + 1, ' ');
        const QString tooLarge = unreadable + u"the answer is larger than 65536 bytes)."_s;
        QTest::newRow("200 declared past the limit") << int(StubPortal) << int(StubServer::Delivery::Stalled) << 200 << overlarge
                                                     << int(SessionToken) << int(SessionToken) << decoding << 0 << tooLarge;
        QTest::newRow("401 chunked past the limit") << int(StubPortal) << int(StubServer::Delivery::Chunked) << 401 << overlarge
                                                    << int(SessionToken) << int(SessionToken) << decoding << 0 << tooLarge;

        const auto refusal = [&](const char *name, const QByteArray &body, int sent, int onAnswer, const QString &message) {
            QTest::newRow(name) << int(StubPortal) << whole << 401 << body << sent << onAnswer << api << 401 << message;
        };
        const QByteArray expired = R"({"error":"expired"})"_ba;
        refusal("401 without token, with error", R"({"error":"Invalid email or password"})"_ba, NoToken, NoToken,
                u"Invalid email or password"_s);
        refusal("401 with token", expired, SessionToken, SessionToken, u"Unauthorized"_s);
        refusal("401 with empty token", QByteArray(), EmptyToken, EmptyToken, u"Unauthorized"_s);
        refusal("401 after a new sign-in", expired, SessionToken, NewerToken, u"expired"_s);
        refusal("401 after a first sign-in", expired, NoToken, SessionToken, u"expired"_s);

        const auto unanswered = [&](const char *name, int portal, StubServer::Delivery delivery, int code, const QString &message) {
            QTest::newRow(name) << portal << int(delivery) << 200 << "{}"_ba << int(SessionToken) << int(SessionToken) << api << code
                                << message;
        };
        const QString unreachable = u"Server is unreachable (<portal>)."_s;
        unanswered("connection refused", RefusingPortal, StubServer::Delivery::Whole, -2, unreachable);
        unanswered("no answer", StubPortal, StubServer::Delivery::Never, -2, unreachable);
        unanswered("answer stops halfway", StubPortal, StubServer::Delivery::Stalled, -2, unreachable);
        unanswered("invalid address", InvalidPortal, StubServer::Delivery::Whole, -1, u"Invalid API URL"_s);
        // A file address completes without any HTTP status.
        unanswered("file address", FilePortal, StubServer::Delivery::Whole, -3, u"Invalid server response."_s);
    }

    void failures()
    {
        QFETCH(int, portal);
        QFETCH(int, delivery);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, tokenSent);
        QFETCH(int, tokenOnAnswer);
        QFETCH(QString, domain);
        QFETCH(int, code);
        QFETCH(QString, message);

        StubServer server;
        StubServer::Response answer = StubServer::text(status, body, "application/json");
        answer.delivery = StubServer::Delivery(delivery);
        server.on("GET", u"/api/session"_s, answer);
        QTemporaryDir files;
        writeFile(files.filePath(u"api/session"_s), R"({"token":"t"})");
        const std::array<QString, 4> portals{server.baseUrl(), StubServer::refusingBaseUrl(), QUrl::fromLocalFile(files.path()).toString(),
                                             u"https://portal .test"_s};
        BackendClient client(portals.at(portal), 300ms, kAnswerSizeLimit);
        client.setToken(tokenText(tokenSent));
        QStringList events;
        connect(&client, &BackendClient::sessionRejected, this, [&events] { events.append(u"rejected"_s); });

        QElapsedTimer elapsed;
        elapsed.start();
        auto pending = client.request<AuthResponse>(u"/session"_s, "GET");
        client.setToken(tokenText(tokenOnAnswer));
        const auto result = finish(std::move(pending));
        events.append(u"answered"_s);

        QVERIFY(!result);
        QCOMPARE(result.error().domain, domain);
        QCOMPARE(result.error().code, code);
        message.replace(u"<portal>"_s, portals.at(portal));
        QVERIFY2(result.error().message.startsWith(message), qPrintable(result.error().message));
        QCOMPARE_LT(elapsed.elapsed(), 3000);
        QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(50));
        QCOMPARE(server.requests().size(), portal == StubPortal ? 1 : 0);
        // The session has ended by the time the caller hears of it.
        const QStringList expected = message == "Unauthorized"_L1 ? QStringList{u"rejected"_s, u"answered"_s} : QStringList{u"answered"_s};
        QCOMPARE(events, expected);
    }

    // Any status from 200 to 299 is a success.
    void requestCarriesHeadersAndBody_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("token");
        QTest::addColumn<int>("status");

        const QJsonObject noBody;
        QTest::newRow("GET without token") << "GET"_ba << u"/websites/12"_s << noBody << int(NoToken) << 200;
        QTest::newRow("GET with empty token") << "GET"_ba << u"/websites/12"_s << noBody << int(EmptyToken) << 200;
        QTest::newRow("DELETE with token") << "DELETE"_ba << u"/websites/12"_s << noBody << int(SessionToken) << 201;
        QTest::newRow("POST text") << "POST"_ba << u"/auth/login"_s
                                   << QJsonObject{{u"email"_s, u"Ada@Example.org"_s}, {u"password"_s, u"  six  "_s}} << int(NoToken) << 299;
        QTest::newRow("PUT with token") << "PUT"_ba << u"/websites/12"_s << QJsonObject{{u"title"_s, u"Ünïcode \"quoted\""_s}}
                                        << int(SessionToken) << 200;
        QTest::newRow("token with a line break") << "GET"_ba << u"/websites/12"_s << noBody << int(BrokenToken) << 200;
    }

    void requestCarriesHeadersAndBody()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, endpoint);
        QFETCH(QJsonObject, body);
        QFETCH(int, token);
        QFETCH(int, status);

        StubServer server;
        server.on(method, "/api"_L1 + endpoint, StubServer::text(status, R"({"deletedId":12,"extra":[1]})"_ba, "application/json"));
        BackendClient client(server.baseUrl(), kRequestTimeout);
        client.setToken(tokenText(token));

        const auto result
            = finish(client.request<DeleteWebsiteResponse>(endpoint, method, body.isEmpty() ? std::nullopt : std::optional(body)));

        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        QCOMPARE(result.value().deletedId, 12);
        const QList<StubServer::Request> requests = server.requestsTo("/api"_L1 + endpoint);
        QCOMPARE(requests.size(), 1);
        const StubServer::Request &received = requests.first();
        QCOMPARE(received.method, method);
        QCOMPARE(received.header("Content-Type"), "application/json"_ba);
        QCOMPARE(received.header("Authorization"), token == SessionToken ? "Bearer session-token"_ba : QByteArray());
        QCOMPARE(received.body, body.isEmpty() ? QByteArray() : QJsonDocument(body).toJson(QJsonDocument::Compact));
        QVERIFY(!received.hasHeader("X-Injected"));
    }

    // The token and the sign-in password must never reach another server through a redirect.
    void redirectsStayOnTheBackend_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sameOrigin");
        QTest::newRow("302 elsewhere") << "GET"_ba << 302 << false;
        QTest::newRow("307 elsewhere") << "POST"_ba << 307 << false;
        QTest::newRow("302 on the backend") << "GET"_ba << 302 << true;
    }

    void redirectsStayOnTheBackend()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, status);
        QFETCH(bool, sameOrigin);
        StubServer backend;
        StubServer elsewhere;
        StubServer &target = sameOrigin ? backend : elsewhere;
        backend.on(method, u"/api/login"_s, {.status = status, .headers = {{"Location", (target.baseUrl() + u"/moved"_s).toUtf8()}}});
        target.on(method, u"/moved"_s, StubServer::json(200, QJsonObject{{u"message"_s, u"ok"_s}}));
        BackendClient client(backend.baseUrl(), kRequestTimeout);
        client.setToken(tokenText(SessionToken));

        const auto result = finish(client.request<SimpleMessageResponse>(u"/login"_s, method, QJsonObject{{u"password"_s, u"pw"_s}}));
        QCOMPARE(bool(result), sameOrigin);
        QCOMPARE(elsewhere.requests().size(), 0);
        if (!sameOrigin)
            QCOMPARE(result.error().code, RequestError::kUnreachable);
        else
            QCOMPARE(backend.requestsTo(u"/moved"_s).first().header("Authorization"), "Bearer session-token"_ba);
    }

    void requestsInFlightAreIndependent()
    {
        StubServer server;
        StubServer::Response slow = StubServer::json(200, QJsonObject{{u"deletedId"_s, 1}});
        slow.delay = 400ms;
        server.on("DELETE", u"/api/websites/1"_s, slow);
        server.on("DELETE", u"/api/websites/2"_s, StubServer::json(200, QJsonObject{{u"deletedId"_s, 2}}));
        auto client = std::make_unique<BackendClient>(server.baseUrl(), kRequestTimeout);

        // The token is read as each request is built.
        client->setToken(u"first"_s);
        auto first = client->request<DeleteWebsiteResponse>(u"/websites/1"_s, "DELETE");
        client->setToken(u"second"_s);
        auto second = client->request<DeleteWebsiteResponse>(u"/websites/2"_s, "DELETE");

        QCOMPARE(finish(std::move(second)).value().deletedId, 2);
        QVERIFY(!first.isReady());
        QCOMPARE(finish(std::move(first)).value().deletedId, 1);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(0).header("Authorization"), "Bearer first"_ba);
        QCOMPARE(server.requests().at(1).header("Authorization"), "Bearer second"_ba);

        // A request whose client goes away while it waits never finishes.
        auto orphaned = client->request<DeleteWebsiteResponse>(u"/websites/1"_s, "DELETE");
        QVERIFY(QSignalSpy(&server, &StubServer::requestReceived).wait());
        client.reset();
        QTest::qWait(600);
        QVERIFY(!orphaned.isReady());
    }

    void largeAnswerIsDecodedLikeASmallOne()
    {
        // Big enough to be parsed and decoded on a worker thread.
        QJsonArray websites;
        const QString content(20'000, u'\n');
        for (int id = 1; id <= 40; ++id)
            websites.append(
                SavedWebsite{.id = id, .url = u"https://site%1.test"_s.arg(id), .title = u"Site"_s, .content = content}.toJson());
        StubServer server;
        const StubServer::Response answer = StubServer::json(200, QJsonObject{{u"websites"_s, websites}});
        server.on("GET", u"/api/websites"_s, answer);
        // An answer exactly as large as the limit is still taken.
        BackendClient client(server.baseUrl(), kRequestTimeout, answer.body.size());

        const auto result = finish(client.request<WebsitesResponse>(u"/websites"_s, "GET"));

        QVERIFY(result);
        QCOMPARE(SavedWebsite::listToJson(result.value().websites), websites);
    }
};

QTEST_GUILESS_MAIN(BackendClientTest)
#include "backendclienttest.moc"
