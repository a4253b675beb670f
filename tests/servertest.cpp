#include "rawhttpclient.h"
#include "serverprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>

using namespace Qt::StringLiterals;

// The server's own rules, exercised over HTTP against real corvane-server processes: one shared by
// the cases that need no options of their own, each with its own accounts.
class ServerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_server;
    // On the shared server's database, as behind a load balancer.
    std::unique_ptr<ServerProcess> m_peer;
    std::unique_ptr<ApiClient> m_api;

    // One client's connections to the shared server and its peer.
    std::pair<ApiClient, ApiClient> bothServers(const QByteArray &client) const
    {
        return {ApiClient(m_server->baseUrl(), client), ApiClient(m_peer->baseUrl(), client)};
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QStringList options{u"--latest-version"_s, u"1.2.3"_s,    u"--access-log"_s, u"--portal-code-lifetime"_s, u"1"_s,
                                  u"--trusted-proxy"_s,  u"127.0.0.1"_s};
        m_server = std::make_unique<ServerProcess>(options);
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        m_peer = std::make_unique<ServerProcess>(options + m_server->sharingArguments());
        QVERIFY2(m_peer->start(), qPrintable(m_peer->errorString()));
        m_api = std::make_unique<ApiClient>(m_server->baseUrl());
    }

    // An account's sessions: each its own token, stored as a digest, ended alone.
    void accountsAndTokens()
    {
        ApiClient &api = *m_api;
        const QString first = api.registerAccount(u"Mixed.Case@Example.com"_s);
        const HttpAnswer login = api.login(u"MIXED.CASE@example.com"_s, u"secret1"_s);
        QCOMPARE(login.status, 200);
        QCOMPARE(login.json().value("user"_L1).toObject().value("email"_L1).toString(), u"Mixed.Case@Example.com"_s);
        const QString second = login.json().value("token"_L1).toString();
        // Each sign-in its own token: 32 random bytes in base64url.
        QVERIFY(first != second);
        QVERIFY(QRegularExpression(u"^[A-Za-z0-9_-]{43}$"_s).match(first).hasMatch());
        QCOMPARE(api.list(first).status, 200);
        QCOMPARE(api.list(second).status, 200);

        // A wrong password and an unknown address look alike (each a 401 in serverabusetest), and
        // a taken address in other capitals is refused there too.
        QCOMPARE(api.login(u"nobody@example.com"_s, u"secret1"_s).body, api.login(u"mixed.case@example.com"_s, u"wrong!"_s).body);

        // The database (with its write-ahead log) holds digests only, never the token itself.
        const QDir data(m_server->dataDirectory());
        for (const QString &name : data.entryList({u"corvane.sqlite*"_s}, QDir::Files)) {
            QFile file(data.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(!bytes.contains(first.toLatin1()) && !bytes.contains(second.toLatin1()));
        }

        // Signing out ends only that token.
        QCOMPARE(api.request("POST", u"/api/auth/logout"_s, {}, first).status, 204);
        QCOMPARE(api.list(first).status, 401);
        QCOMPARE(api.list(second).status, 200);

        // A password change keeps the caller's session and ends the others.
        const QString elsewhere = api.signIn(u"mixed.case@example.com"_s, u"secret1"_s);
        const HttpAnswer changed = api.request("POST", u"/api/auth/change-password"_s,
                                               jsonBody({{"currentPassword"_L1, "secret1"_L1}, {"newPassword"_L1, "after12"_L1}}), second);
        QCOMPARE(changed.status, 200);
        QCOMPARE(api.list(second).status, 200);
        QCOMPARE(api.list(elsewhere).status, 401);
        QVERIFY(api.signIn(u"mixed.case@example.com"_s, u"secret1"_s).isEmpty());
        QVERIFY(!api.signIn(u"mixed.case@example.com"_s, u"after12"_s).isEmpty());
    }

    void websiteOperationsAnswerTheStoredRecord()
    {
        ApiClient &api = *m_api;
        const QString token = api.registerAccount(u"ops@example.com"_s);
        const HttpAnswer answer = api.add(token, u"https://ops.example/x"_s, u"Ops"_s);
        QCOMPARE(answer.status, 201);
        const QJsonObject created = answer.json().value("website"_L1).toObject();
        QCOMPARE(created.value("url"_L1).toString(), u"https://ops.example/x"_s);
        const qint64 id = created.value("id"_L1).toInteger();
        const QString path = u"/api/websites/%1"_s.arg(id);
        // Another account sees none of it, its refusals tell a stranger's id from no id at all, and
        // they leave the website as it was: the owner's list is first read after them, so from the
        // database rather than a cache that only the owner's own changes renew.
        const QString stranger = api.registerAccount(u"stranger@example.com"_s);
        QCOMPARE(api.websites(stranger).size(), 0);
        QCOMPARE(api.request("DELETE", u"/api/websites/%1"_s.arg(id + 1000), {}, stranger).body,
                 api.request("DELETE", path, {}, stranger).body);
        QCOMPARE(api.request("PUT", path, jsonBody({{"title"_L1, "Taken"_L1}}), stranger).status, 404);
        QCOMPARE(api.pin(stranger, id).status, 404);
        QCOMPARE(api.websites(token), QJsonArray{created});

        const HttpAnswer renamed = api.request("PUT", path, jsonBody({{"title"_L1, "  Renamed  "_L1}}), token);
        QCOMPARE(renamed.status, 200);
        QCOMPARE(renamed.json().value("website"_L1).toObject().value("title"_L1).toString(), u"Renamed"_s);
        QCOMPARE(api.pin(token, id).json().value("website"_L1).toObject().value("isPinned"_L1), QJsonValue(true));

        const HttpAnswer deleted = api.request("DELETE", path, {}, token);
        QCOMPARE(deleted.status, 200);
        QCOMPARE(deleted.json().value("deletedId"_L1).toInteger(), id);
        QCOMPARE(api.request("DELETE", path, {}, token).status, 404);
        // Ids are never reused, so a client's cache keyed by id cannot mix up two websites.
        QVERIFY(api.addId(token, u"https://n.example"_s, u"N"_s) > id);
    }

    // Pinned first, then createdAt descending, then id descending among equal times; served from
    // a cache while nothing changes, so every kind of change must show.
    void listOrderFollowsEveryChange()
    {
        ApiClient &api = *m_api;
        const QString token = api.registerAccount(u"order@example.com"_s);
        auto titles = [&] {
            QStringList result;
            for (const auto &website : api.websites(token))
                result.append(website[u"title"_s].toString() + (website[u"isPinned"_s].toBool() ? u"*"_s : QString()));
            return result.join(u' ');
        };
        QList<qint64> ids;
        for (int index = 0; index < 6; ++index) {
            ids.append(api.addId(token, u"https://%1.example"_s.arg(index), u"W%1"_s.arg(index)));
            if (index % 2)
                QTest::qWait(3); // some share a millisecond, some do not
        }
        QCOMPARE(titles(), u"W5 W4 W3 W2 W1 W0"_s);
        for (qint64 id : {ids.at(1), ids.at(4)})
            QCOMPARE(api.pin(token, id).status, 200);
        QCOMPARE(titles(), u"W4* W1* W5 W3 W2 W0"_s);

        const HttpAnswer first = api.list(token);
        static const QRegularExpression timestamp(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"_s);
        for (const auto &website : first.json().value("websites"_L1).toArray()) {
            QVERIFY(timestamp.match(website[u"createdAt"_s].toString()).hasMatch());
            QVERIFY(timestamp.match(website[u"updatedAt"_s].toString()).hasMatch());
        }
        // Nothing changed, nothing differs: the client then has nothing to rewrite.
        QCOMPARE(api.list(token).body, first.body);

        api.request("PUT", u"/api/websites/%1"_s.arg(ids.at(5)), jsonBody({{"title"_L1, "Five"_L1}}), token);
        QCOMPARE(titles(), u"W4* W1* Five W3 W2 W0"_s);
        // Another account's changes leave this list alone.
        api.add(api.registerAccount(u"other@example.com"_s), u"https://3.example"_s, u"Theirs"_s);
        QCOMPARE(titles(), u"W4* W1* Five W3 W2 W0"_s);
        api.request("DELETE", u"/api/websites/%1"_s.arg(ids.at(4)), {}, token);
        QCOMPARE(titles(), u"W1* Five W3 W2 W0"_s);
    }

    void resetCodeIsMailedAndWorksOnce()
    {
        ApiClient &api = *m_api;
        const QString session = api.registerAccount(u"Reset@Example.com"_s, u"before1"_s);
        const qsizetype mailed = m_server->outboxMessages().size();
        const HttpAnswer sent = api.forgot(u"reset@example.com"_s);
        QCOMPARE(sent.status, 200);
        // Nobody learns from the answer whether an address has an account.
        const HttpAnswer ghost = api.forgot(u"ghost@example.com"_s);
        QCOMPARE(ghost.status, sent.status);
        QCOMPARE(ghost.body, sent.body);
        QCOMPARE(m_server->outboxMessages().size(), mailed + 1);
        const QString code = m_server->latestResetCode(u"reset@example.com"_s);
        QVERIFY(QRegularExpression(u"^\\d{6}$"_s).match(code).hasMatch());
        // Mailed to the address as registered, into a file only the server's user reads; neither the
        // session token nor the code reaches the log.
        QTRY_VERIFY(m_server->standardOutput().contains(u"mail to Reset@Example.com"_s));
        QVERIFY(!m_server->standardOutput().contains(session));
        QVERIFY(!m_server->standardOutput().contains(code));
        const QFileInfo message(m_server->outboxMessages().last());
        QCOMPARE(message.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
                 QFile::Permissions());

        QCOMPARE(api.reset(u"reset@example.com"_s, code).status, 200);
        QVERIFY(!api.signIn(u"reset@example.com"_s, u"after12"_s).isEmpty());
        QVERIFY(api.signIn(u"reset@example.com"_s, u"before1"_s).isEmpty());
        // Sessions opened with the old password end.
        QCOMPARE(api.list(session).status, 401);
        QCOMPARE(api.reset(u"reset@example.com"_s, code).status, 400);
    }

    // Codes, sessions and the counts behind limits last their lifetimes (shortened here).
    void codesSessionsAndLimitsExpire()
    {
        ServerProcess server({u"--reset-code-lifetime"_s, u"1"_s, u"--session-lifetime"_s, u"1"_s, u"--limit-window"_s, u"1"_s});
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ApiClient api(server.baseUrl());
        const QString email = u"codes@example.com"_s;
        const QString session = api.registerAccount(email, u"before1"_s);
        QCOMPARE(api.list(session).status, 200);
        for (int index = 0; index < 3; ++index)
            QCOMPARE(api.forgot(email).status, 200);
        QCOMPARE(api.forgot(email).status, 429);
        const QString expired = server.latestResetCode(email);
        QTest::qWait(1300);
        QCOMPARE(api.reset(email, expired).status, 400);
        QCOMPARE(api.list(session).status, 401);
        QCOMPARE(api.forgot(email).status, 200);
        QCOMPARE(api.list(api.signIn(email, u"before1"_s)).status, 200);
    }

    // Killed while several clients save at once: every save that was answered is there after the restart.
    void acknowledgedSavesSurviveAKillUnderLoad()
    {
        ServerProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const QFileInfo key(QDir(server.dataDirectory()).filePath(u"server.key"_s));
        QVERIFY(key.exists());
        QCOMPARE(key.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner), QFile::Permissions());
        const QString token = ApiClient(server.baseUrl()).registerAccount(u"keep@example.com"_s);
        std::atomic<bool> killed = false;
        std::atomic<int> saved = 0;
        const auto saveUntilKilled = [&server, &token, &killed, &saved](int client) {
            ApiClient api(server.baseUrl());
            QList<qint64> acknowledged;
            for (int index = 0; !killed; ++index) {
                const qint64 id = api.addId(token, u"https://k.example/%1/%2"_s.arg(client).arg(index), u"K"_s);
                if (id > 0) {
                    acknowledged.append(id);
                    ++saved;
                }
            }
            return acknowledged;
        };
        std::vector<std::future<QList<qint64>>> clients;
        clients.reserve(6);
        for (int client = 0; client < 6; ++client)
            clients.push_back(std::async(std::launch::async, saveUntilKilled, client));
        QTRY_VERIFY_WITH_TIMEOUT(saved >= 30, 20000);
        server.stop();
        killed = true;
        QList<qint64> acknowledged;
        for (auto &client : clients)
            acknowledged += client.get();
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QList<qint64> stored;
        for (const auto &website : ApiClient(server.baseUrl()).websites(token))
            stored.append(website.toObject().value("id"_L1).toInteger());
        for (const qint64 id : std::as_const(acknowledged))
            QVERIFY2(stored.contains(id), qPrintable(u"website %1 was acknowledged but lost"_s.arg(id)));
        server.stop();
        // The database alone, with another key, is refused rather than silently failing every code.
        QVERIFY(QFile::remove(key.filePath()));
        QVERIFY(!server.start());
    }

    // Store work runs off the thread that serves HTTP: a slow database holds up only its own requests.
    void slowStoreDoesNotHoldUpOtherConnections()
    {
        ServerProcess server({u"--test-store-delay-ms"_s, u"1500"_s});
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        auto forgot
            = std::async(std::launch::async, [url = server.baseUrl()] { return ApiClient(url).forgot(u"slow@example.com"_s).status; });
        QTest::qWait(200);
        QElapsedTimer quick;
        quick.start();
        QCOMPARE(ApiClient(server.baseUrl()).request("GET", u"/api/version"_s).status, 200);
        QVERIFY2(quick.elapsed() < 1000, qPrintable(u"/api/version took %1 ms"_s.arg(quick.elapsed())));
        QCOMPARE(forgot.get(), 200);
    }

    // Direct TLS with a certificate made for this test: an encrypted round trip; a plain request and
    // a handshake that never comes are dropped, the latter within the request time-out.
    void tlsRoundTrip()
    {
        QTemporaryDir folder;
        const QString certificate = folder.filePath(u"cert.pem"_s);
        const QString key = folder.filePath(u"key.pem"_s);
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s,
                       u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-days"_s, u"1"_s, u"-keyout"_s,
                       key, u"-out"_s, certificate});
        if (!openssl.waitForFinished() || openssl.exitCode() != 0)
            QSKIP("openssl cannot make a test certificate");
        ServerProcess server({u"--tls-cert"_s, certificate, u"--tls-key"_s, key, u"--request-timeout"_s, u"1"_s});
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        QSslSocket socket;
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.setCaCertificates(QSslCertificate::fromPath(certificate));
        socket.setSslConfiguration(trusting);
        socket.connectToHostEncrypted(u"127.0.0.1"_s, quint16(server.baseUrl().port()));
        QVERIFY2(socket.waitForEncrypted(5000), qPrintable(socket.errorString()));
        socket.write("GET /api/version HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        QByteArray answer;
        while (socket.waitForReadyRead(5000))
            answer += socket.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 200 ") && answer.contains("latestVersion"), answer.constData());

        QUrl plain = server.baseUrl();
        plain.setScheme(u"http"_s);
        QCOMPARE(RawHttpClient(plain).sendRaw("GET /api/version HTTP/1.1\r\nHost: x\r\n\r\n", 1, 3000).size(), 0);
        QTcpSocket silent;
        silent.connectToHost(QHostAddress::LocalHost, quint16(server.baseUrl().port()));
        QVERIFY(silent.waitForConnected(5000));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(silent.state() == QAbstractSocket::UnconnectedState || silent.waitForDisconnected(5000));
        QVERIFY(timer.elapsed() < 3000);
    }

    // The account page opens with the session's token, or with a one-time code traded, once and
    // briefly, for a cookie scripts cannot read, so that no secret stays in the address.
    void versionAndPortalPages()
    {
        ApiClient &api = *m_api;
        const HttpAnswer version = api.request("GET", u"/api/version"_s);
        QCOMPARE(version.status, 200);
        QCOMPARE(version.json(), QJsonObject({{"latestVersion"_L1, "1.2.3"_L1}}));

        const QString token = api.registerAccount(u"<b>portal</b>@example.com"_s);
        const HttpAnswer account = api.request("GET", u"/account?token="_s + QString::fromLatin1(QUrl::toPercentEncoding(token)));
        QCOMPARE(account.status, 200);
        QVERIFY(account.header("content-type").startsWith("text/html"));
        QVERIFY(account.body.contains("&lt;b&gt;portal&lt;/b&gt;@example.com"));
        QVERIFY(!account.body.contains("<b>portal"));
        // Nothing from elsewhere, and no inline styles or scripts: the style sheet is its own file.
        const QByteArray policy = account.header("content-security-policy");
        QVERIFY(policy.contains("default-src 'none'"));
        QVERIFY(!policy.contains("unsafe-inline") && !policy.contains("*") && !policy.contains("http"));
        QVERIFY(!account.body.contains("<style"));
        QCOMPARE(api.request("GET", u"/portal.css"_s).status, 200);
        QCOMPARE(api.request("GET", u"/account?token=forged"_s).status, 401);

        const auto codeFor
            = [&api, &token] { return api.request("POST", u"/api/auth/portal-code"_s, {}, token).json().value("code"_L1).toString(); };
        const auto open = [&api](const QString &code, const QByteArray &headers = {}) {
            return api.sendRaw("GET /account?code=" + code.toLatin1() + " HTTP/1.1\r\nHost: x\r\n" + headers + "Connection: close\r\n\r\n")
                .value(0);
        };
        const QString code = codeFor();
        QVERIFY(code.size() >= 32);
        const HttpAnswer opened = open(code);
        QCOMPARE(opened.status, 303);
        QCOMPARE(opened.header("location"), "/account");
        const QByteArray cookie = opened.header("set-cookie");
        QVERIFY(cookie.contains("; HttpOnly") && cookie.contains("; SameSite=Strict") && !cookie.contains("Secure"));
        const QByteArray page = api.sendRaw("GET /account HTTP/1.1\r\nHost: x\r\nCookie: a=b; " + cookie.first(cookie.indexOf(';'))
                                            + "\r\nConnection: close\r\n\r\n")
                                    .value(0)
                                    .body;
        QVERIFY(page.contains("&lt;b&gt;portal&lt;/b&gt;@example.com"));
        QVERIFY(open(codeFor(), "X-Forwarded-Proto: https\r\n").header("set-cookie").contains("; Secure"));
        const QString late = codeFor();
        QTest::qWait(1100);
        QCOMPARE(open(late).status, 401);

        // One access-log line per request, without the query that carried the token or the code.
        QTRY_VERIFY(m_server->standardOutput().contains(u"GET /account 401 "_s));
        for (const QString &secret : {u"forged"_s, token, code})
            QVERIFY(!m_server->standardOutput().contains(secret));
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
            QVERIFY(!ApiClient(server->baseUrl()).registerAccount(u"together%1@example.com"_s.arg(server->baseUrl().port())).isEmpty());
        }
    }

    // Sign-outs, failed sign-ins and reset codes through one server hold on its peer at once.
    void stateHoldsOnEveryServer()
    {
        auto [one, two] = bothServers("198.51.100.20");
        const QString token = one.registerAccount(u"out@example.com"_s);
        QCOMPARE(two.list(token).status, 200);
        QCOMPARE(one.request("POST", u"/api/auth/logout"_s, {}, token).status, 204);
        QCOMPARE(two.list(token).status, 401);

        one.registerAccount(u"guessed@example.com"_s);
        for (int index = 0; index < 10; ++index)
            QCOMPARE((index % 2 ? one : two).login(u"guessed@example.com"_s, u"wrong"_s).status, 401);
        QCOMPARE(one.login(u"guessed@example.com"_s, u"secret1"_s).status, 429);
        QCOMPARE(two.login(u"guessed@example.com"_s, u"secret1"_s).status, 429);

        const QString email = u"reset-both@example.com"_s;
        one.registerAccount(email);
        QCOMPARE(one.forgot(email).status, 200);
        QCOMPARE(two.forgot(email).status, 200);
        const QString replaced = m_peer->latestResetCode(email);
        QVERIFY(!replaced.isEmpty());
        QCOMPARE(one.forgot(email).status, 200);
        QCOMPARE(two.forgot(email).status, 429);
        // Whoever spends an address's requests leaves its owner theirs.
        QCOMPARE(ApiClient(m_server->baseUrl(), "198.51.100.23").forgot(email).status, 200);

        // The first server mailed the live code; the second checks it with the shared key.
        const QString live = m_server->latestResetCode(email);
        if (live == replaced)
            QSKIP("the new code happens to equal the old one");
        QCOMPARE(two.reset(email, replaced).status, 400);
        QCOMPARE(two.reset(email, live).status, 200);
        QCOMPARE(one.login(email, u"after12"_s).status, 200);
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "servertest.moc"
