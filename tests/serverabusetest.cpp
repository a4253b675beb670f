#include "database.h"
#include "rawhttpclient.h"
#include "serverprocess.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
enum class Caller {
    Nobody,
    Owner,
    Forged
};

// What a guesser tries to find out: a password at sign-in, a reset code, or the current password
// behind a stolen session.
enum class Guess {
    Password,
    ResetCode,
    CurrentPassword
};

QByteArray website(const QJsonValue &url, const QJsonValue &title)
{
    return jsonBody({{"url"_L1, url}, {"title"_L1, title}, {"screenshotUrl"_L1, ""_L1}, {"content"_L1, ""_L1}});
}
}

Q_DECLARE_METATYPE(Caller)
Q_DECLARE_METATYPE(Guess)

namespace
{
// Kept out of the test class: moc does not need to read the literals.
void addHostileRequestRows()
{
    auto withContent
        = [](qsizetype size) { return R"({"url":"https://x.example","title":"X","content":")" + QByteArray(size, 'c') + "\"}"; };
    using enum Caller;
    // "METHOD path" below /api/, where {own} and {other} stand for website ids.
    auto row = [](const char *name, const char *request, const QByteArray &body, Caller caller, int status) {
        QTest::newRow(name) << QByteArray(request) << body << caller << status;
    };
    // Every authenticated route refuses a request without a live session, whatever its body.
    const std::pair<const char *, QByteArray> authenticated[] = {
        {"GET websites", {}},
        {"POST websites", website(u"https://x.example"_s, u"X"_s)},
        {"PUT websites/{own}", R"({"title":"taken"})"},
        {"DELETE websites/{own}", {}},
        {"PATCH websites/{own}/pin", R"({"isPinned":false})"},
        {"POST auth/change-password", R"({"currentPassword":"owner-pass","newPassword":"secret1"})"},
        {"POST auth/portal-code", {}},
    };
    for (const auto &[request, body] : authenticated) {
        QTest::addRow("%s: no token", request) << QByteArray(request) << body << Nobody << 401;
        QTest::addRow("%s: forged token", request) << QByteArray(request) << body << Forged << 401;
    }
    // Registration and sign-in.
    row("register: broken JSON", "POST auth/register", R"({"email":"x@y.z","password":)", Nobody, 400);
    row("register: not an address", "POST auth/register", R"({"email":"not-an-address","password":"secret1"})", Nobody, 400);
    row("register: line break in address", "POST auth/register", R"({"email":"a@b.c\r\nBcc: x@y.z","password":"secret1"})", Nobody, 400);
    row("register: short password", "POST auth/register", R"({"email":"new@example.com","password":"12345"})", Nobody, 400);
    row("register: huge address", "POST auth/register", R"({"email":")" + QByteArray(300, 'a') + R"(@example.com","password":"secret1"})",
        Nobody, 400);
    row("register: huge password", "POST auth/register", R"({"email":"new@example.com","password":")" + QByteArray(5000, 'p') + "\"}",
        Nobody, 400);
    row("register: taken address in capitals", "POST auth/register", R"({"email":"OWNER@EXAMPLE.COM","password":"secret1"})", Nobody, 409);
    row("login: password is an object", "POST auth/login", R"({"email":"owner@example.com","password":{"$ne":""}})", Nobody, 400);
    row("login: deeply nested", "POST auth/login", QByteArray(5000, '[') + QByteArray(5000, ']'), Nobody, 400);
    // Password reset and change.
    row("forgot: address is a list", "POST auth/forgot-password", R"({"email":["owner@example.com"]})", Nobody, 400);
    row("reset: unknown address", "POST auth/reset-password", R"({"email":"ghost@example.com","code":"123456","newPassword":"secret1"})",
        Nobody, 400);
    // Not 401, which would sign the client out.
    row("change: wrong current password", "POST auth/change-password", R"({"currentPassword":"guess!","newPassword":"secret1"})", Owner,
        400);
    row("change: short new password", "POST auth/change-password", R"({"currentPassword":"owner-pass","newPassword":"123"})", Owner, 400);
    // Websites: bodies.
    row("create: title is a number", "POST websites", website(u"https://x.example"_s, 5), Owner, 400);
    row("create: url missing", "POST websites", R"({"title":"X"})", Owner, 400);
    row("create: blank title", "POST websites", website(u"https://x.example"_s, u"   "_s), Owner, 400);
    row("create: screenshotUrl is false", "POST websites", R"({"url":"https://x.example","title":"X","screenshotUrl":false})", Owner, 400);
    row("create: huge url", "POST websites", website(u"https://x.example/"_s + QString(9000, u'x'), u"X"_s), Owner, 400);
    row("create: huge content", "POST websites", withContent(1'000'001), Owner, 400);
    row("create: body beyond the limit", "POST websites", withContent(5'000'000), Owner, 413);
    row("rename: empty title", "PUT websites/{own}", R"({"title":""})", Owner, 400);
    row("pin: flag as text", "PATCH websites/{own}/pin", R"({"isPinned":"true"})", Owner, 400);
    row("pin: flag missing", "PATCH websites/{own}/pin", "{}", Owner, 400);
    // Websites: ids.
    row("delete: another account's website", "DELETE websites/{other}", "", Owner, 404);
    row("delete: id beyond 64 bits", "DELETE websites/99999999999999999999", "", Owner, 404);
    row("delete: id with a plus sign", "DELETE websites/+1", "", Owner, 404);
    // Site icons.
    row("icon: no domain", "GET icon", "", Nobody, 400);
    row("icon: a whole address", "GET icon?domain=https%3A%2F%2Fexample.com%2F", "", Nobody, 400);
    row("icon: size not a number", "GET icon?domain=example.com&sz=big", "", Nobody, 400);
    row("icon: negative size", "GET icon?domain=example.com&sz=-5", "", Nobody, 400);
    row("icon: port out of range", "GET icon?domain=example.com:99999", "", Nobody, 400);
    row("icon: this very server", "GET icon?domain=127.0.0.1", "", Nobody, 403);
    row("icon: a name for this machine", "GET icon?domain=LocalHost", "", Nobody, 403);
    row("icon: ssh port", "GET icon?domain=example.com:22", "", Nobody, 403);
    row("icon: decimal loopback", "GET icon?domain=2130706433", "", Nobody, 403);
    row("icon: a path", "GET icon?domain=example.com%2Ffavicon.ico", "", Nobody, 400);
    row("icon: a user", "GET icon?domain=me%40example.com", "", Nobody, 400);
    // Routes and methods.
    row("path traversal", "GET ../etc/passwd", "", Nobody, 404);
    row("delete the whole collection", "DELETE websites", "", Owner, 405);
    row("patch without pin", "PATCH websites/{own}", R"({"isPinned":true})", Owner, 405);
}

void addMalformedHttpRows()
{
    const QByteArray post = "POST /api/websites HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer {token}\r\n";
    QTest::newRow("truncated body") << post + "Content-Length: 100\r\n\r\n{\"url\":\"https://" << 408;
    QTest::newRow("stops inside the headers") << "GET /api/websites HTTP/1.1\r\nHost: x\r\nAuthor"_ba << 408;
    QTest::newRow("declared body beyond the limit") << post + "Content-Length: 999999999999\r\n\r\n{" << 413;
    QTest::newRow("Content-Length not a number") << post + "Content-Length: twelve\r\n\r\n{}" << 400;
    QTest::newRow("binary noise") << QByteArray("\x00\x01\x02\xff\xfe\r\n\r\n", 9) << 400;
    QTest::newRow("made-up method") << "BREW /api/websites HTTP/1.1\r\nHost: x\r\n\r\n"_ba << 405;
    QTest::newRow("lower-case method") << "get /api/websites HTTP/1.1\r\nHost: x\r\n\r\n"_ba << 400;
    QTest::newRow("HTTP/2 preface") << "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"_ba << 400;
    QTest::newRow("invalid chunk size") << post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n" << 408;
    QTest::newRow("both Content-Length and Transfer-Encoding")
        << "GET /api/version HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"_ba << 400;
    QTest::newRow("NUL in a header value") << "GET /api/websites HTTP/1.1\r\nHost: x\r\nX-Note: a\0b\r\n\r\n"_ba << 400;
    QTest::newRow("headers beyond the limit") << "GET /api/websites HTTP/1.1\r\nX-Padding: "_ba + QByteArray(20000, 'p') + "\r\n\r\n"
                                              << 431;
    QTest::newRow("chunked body beyond the limit") << post + "Transfer-Encoding: chunked\r\n\r\n" + QByteArray::number(5'000'000, 16)
            + "\r\n" + QByteArray(5'000'000, 'x')
            + "\r\n0\r\n\r\n" << 413;
}
}

// Malformed and hostile requests: each must get the right status and an error text, and leave the
// server serving and every stored account and website as it was.
class ServerAbuseTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<ApiClient> m_client;
    QString m_ownerToken;
    QString m_otherToken;
    qint64 m_ownWebsite = 0;
    qint64 m_otherWebsite = 0;
    QByteArray m_snapshot;
    std::unique_ptr<Database> m_database;
    // Numbers clients and accounts, so that each case has its own.
    int m_clients = 0;

    // A client behind the trusted proxy, known by the address the proxy forwards.
    ApiClient client(const QByteArray &forwardedFor) const { return ApiClient(m_server->baseUrl(), forwardedFor); }

    static HttpAnswer tryGuess(ApiClient &api, Guess guess, const QString &email, const QString &secret, const QString &token)
    {
        switch (guess) {
        case Guess::Password:
            return api.login(email, secret);
        case Guess::ResetCode:
            return api.reset(email, secret);
        case Guess::CurrentPassword:
            return api.request("POST", u"/api/auth/change-password"_s,
                               jsonBody({{"currentPassword"_L1, secret}, {"newPassword"_L1, "after12"_L1}}), token);
        }
        return {};
    }

    QString tokenFor(Caller caller) const
    {
        return caller == Caller::Owner ? m_ownerToken : caller == Caller::Forged ? QString(43, u'A') : QString();
    }

    // Everything a request could have changed: the stored websites and accounts as they are in the
    // database (an account's list as served may come from a cache that only its own changes renew),
    // and whether the owners still get in.
    QByteArray snapshot()
    {
        QByteArray state;
        state += m_database->selectOne(u"SELECT COUNT(*) FROM portal_codes"_s)->value(0).toByteArray();
        for (const char *table : {"websites", "users"}) {
            for (const Database::Row &row : m_database->select(u"SELECT * FROM %1 ORDER BY id"_s.arg(QLatin1StringView(table)))) {
                for (const QVariant &value : row)
                    state += value.toByteArray() + '|';
                state += '\n';
            }
        }
        for (const char *who : {"owner", "other"})
            state += QByteArray::number(m_client->login(u"%1@example.com"_s.arg(who), u"%1-pass"_s.arg(who)).status);
        return state;
    }

    void verifyUnharmed(const HttpAnswer &answer, int expectedStatus)
    {
        QCOMPARE(answer.status, expectedStatus);
        QVERIFY2(!answer.error().isEmpty(), answer.body.constData());
        QVERIFY(answer.header("content-type").startsWith("application/json"));
        QCOMPARE(m_client->request("GET", u"/api/version"_s).status, 200);
        QCOMPARE(snapshot(), m_snapshot);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A short request timeout lets the stalled-request cases finish quickly.
        // Clients other than the test itself come through the proxy 127.0.0.1 with X-Forwarded-For.
        m_server = std::make_unique<ServerProcess>(QStringList{u"--request-timeout"_s, u"1"_s, u"--trusted-proxy"_s, u"127.0.0.1"_s});
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QString error;
        m_database = Database::open(m_server->sharingArguments().at(1), &error);
        QVERIFY2(m_database, qPrintable(error));
        m_client = std::make_unique<ApiClient>(m_server->baseUrl());
        m_ownerToken = m_client->registerAccount(u"owner@example.com"_s, u"owner-pass"_s);
        m_otherToken = m_client->registerAccount(u"other@example.com"_s, u"other-pass"_s);
        QVERIFY(!m_ownerToken.isEmpty() && !m_otherToken.isEmpty());
        for (int index = 0; index < 3; ++index)
            m_ownWebsite = m_client->addId(m_ownerToken, u"https://own.example/%1"_s.arg(index), u"Title"_s);
        m_client->pin(m_ownerToken, m_ownWebsite);
        m_otherWebsite = m_client->addId(m_otherToken, u"https://other.example"_s, u"Title"_s);
        QVERIFY(m_ownWebsite > 0 && m_otherWebsite > 0);
        // Saved, so that their icons are fetched at all and the address policy is what refuses them.
        for (const char *site : {"127.0.0.1", "localhost"})
            QCOMPARE(m_client->add(m_otherToken, u"http://%1/"_s.arg(QLatin1StringView(site)), u"Site"_s).status, 201);
        m_snapshot = snapshot();
        QVERIFY(m_snapshot.endsWith("200200"));
    }

    void hostileRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Caller>("caller");
        QTest::addColumn<int>("status");
        addHostileRequestRows();
    }

    void hostileRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, body);
        QFETCH(Caller, caller);
        QFETCH(int, status);

        const qsizetype space = request.indexOf(' ');
        const QString path = u"/api/"_s + QString::fromLatin1(request.sliced(space + 1));
        const QString withIds
            = QString(path).replace(u"{own}"_s, QString::number(m_ownWebsite)).replace(u"{other}"_s, QString::number(m_otherWebsite));
        verifyUnharmed(m_client->request(request.first(space), withIds, body, tokenFor(caller)), status);
    }

    void malformedHttp_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        addMalformedHttpRows();
    }

    void malformedHttp()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);

        bytes.replace("{token}", m_ownerToken.toLatin1());
        verifyUnharmed(m_client->sendRaw(bytes).value(0), status);
    }

    // Bytes the HTTP parser rejects after a good request on the same connection.
    void garbageAfterAGoodRequest()
    {
        const QList<HttpAnswer> answers = m_client->sendRaw("GET /api/version HTTP/1.1\r\nHost: x\r\n\r\n\x01\x02 NOT HTTP\r\n\r\n"_ba, 2);
        QCOMPARE(answers.size(), 2);
        QCOMPARE(answers.at(0).status, 200);
        verifyUnharmed(answers.at(1), 400);
    }

    void forwardedClientAddresses_data()
    {
        QTest::addColumn<QByteArray>("forwarded");
        QTest::addColumn<QByteArray>("sameClient");
        QTest::addColumn<QByteArray>("otherClient");

        auto row = [](const char *name, const char *forwarded, const char *sameClient, const char *otherClient) {
            QTest::newRow(name) << QByteArray(forwarded) << QByteArray(sameClient) << QByteArray(otherClient);
        };
        row("IPv4 with port", "192.0.2.1:567", "192.0.2.1:568", "192.0.2.2:567");
        row("IPv6 with port", "[2001:db8:1::1]:443", "[2001:db8:1::2]:80", "[2001:db8:2::1]:443");
        row("bare IPv6", "2001:db8:3::1", "2001:db8:3::2", "2001:db8:4::1");
        row("the proxy's own entry counts", "192.0.2.9, 192.0.2.5:1", "192.0.2.5", "192.0.2.9, 192.0.2.6:1");
    }

    // Told apart by the limit on reset codes a client may ask for: ten a window.
    void forwardedClientAddresses()
    {
        QFETCH(QByteArray, forwarded);
        QFETCH(QByteArray, sameClient);
        QFETCH(QByteArray, otherClient);

        ApiClient api = client(forwarded);
        for (int index = 0; index < 10; ++index)
            QCOMPARE(api.forgot(u"nobody%1@example.com"_s.arg(++m_clients)).status, 200);
        QCOMPARE(client(sameClient).forgot(u"nobody%1@example.com"_s.arg(++m_clients)).status, 429);
        QCOMPARE(client(otherClient).forgot(u"nobody%1@example.com"_s.arg(++m_clients)).status, 200);
    }

    void guessingIsBounded_data()
    {
        QTest::addColumn<Guess>("guess");
        QTest::addColumn<int>("perClient");
        QTest::addColumn<int>("guessers");
        QTest::addColumn<int>("ownerStatus");

        QTest::newRow("sign-in, one guesser") << Guess::Password << 10 << 1 << 200;
        QTest::newRow("reset code, one guesser") << Guess::ResetCode << 5 << 1 << 200;
        QTest::newRow("current password, one guesser") << Guess::CurrentPassword << 10 << 1 << 200;
        QTest::newRow("passwords, 100 an hour from all") << Guess::Password << 10 << 10 << 429;
        QTest::newRow("reset codes, 30 a day from all") << Guess::ResetCode << 5 << 6 << 429;
    }

    // Each guesser spends the account's budget for their own client; all together, its ceiling.
    void guessingIsBounded()
    {
        QFETCH(Guess, guess);
        QFETCH(int, perClient);
        QFETCH(int, guessers);
        QFETCH(int, ownerStatus);

        const QString email = u"guessed%1@example.com"_s.arg(++m_clients);
        ApiClient owner = client("198.51.100.10:1111");
        const QString ownerToken = owner.registerAccount(email, u"owner-pass"_s);
        const QString right
            = guess == Guess::ResetCode && owner.forgot(email).status == 200 ? m_server->latestResetCode(email) : u"owner-pass"_s;
        const QString wrong = guess == Guess::ResetCode ? u"%1"_s.arg((right.toInt() + 1) % 1000000, 6, 10, QLatin1Char('0')) : u"wrong"_s;
        ApiClient guesser(m_server->baseUrl());
        QString stolenToken;
        for (int index = 0; index < guessers; ++index) {
            guesser = client("203.0.113." + QByteArray::number(++m_clients) + ":4242");
            stolenToken = guesser.signIn(email, u"owner-pass"_s);
            for (int attempt = 0; attempt < perClient; ++attempt)
                QCOMPARE(tryGuess(guesser, guess, email, wrong, stolenToken).status, guess == Guess::Password ? 401 : 400);
        }
        const HttpAnswer refused = tryGuess(guesser, guess, email, right, stolenToken);
        QCOMPARE(refused.status, 429);
        QVERIFY(refused.header("retry-after").toInt() > 0);
        // Refused right secrets used nothing up.
        QCOMPARE(tryGuess(owner, guess, email, right, ownerToken).status, ownerStatus);
        if (guess != Guess::Password)
            QVERIFY(!owner.signIn(email, ownerStatus == 200 ? u"after12"_s : u"owner-pass"_s).isEmpty());
    }

    // Ten new accounts a client and hour; refused registrations do not count.
    void registrationsArePerClient()
    {
        ApiClient spammer = client("198.51.100.30:5000");
        QCOMPARE(spammer.request("POST", u"/api/auth/register"_s, credentials(u"not-an-address"_s, u"secret1"_s)).status, 400);
        QCOMPARE(spammer.request("POST", u"/api/auth/register"_s, credentials(u"owner@example.com"_s, u"secret1"_s)).status, 409);
        for (int index = 0; index < 10; ++index)
            QVERIFY(!spammer.registerAccount(u"spam%1@example.com"_s.arg(index)).isEmpty());
        const HttpAnswer refused = spammer.request("POST", u"/api/auth/register"_s, credentials(u"spam10@example.com"_s, u"secret1"_s));
        QCOMPARE(refused.status, 429);
        QVERIFY(refused.header("retry-after").toInt() > 0);
        ApiClient other = client("198.51.100.31");
        QCOMPARE(other.login(u"spam10@example.com"_s, u"secret1"_s).status, 401);
        QVERIFY(!other.registerAccount(u"spam10@example.com"_s).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ServerAbuseTest)
#include "serverabusetest.moc"
