#include "rawhttpclient.h"
#include "serverprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
enum class Caller { Nobody, Owner, Forged };

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray website(const QJsonValue &url, const QJsonValue &title)
{
    return json({{"url"_L1, url}, {"title"_L1, title}, {"screenshotUrl"_L1, ""_L1}, {"content"_L1, ""_L1}});
}

QByteArray repeated(char c, qsizetype count)
{
    return QByteArray(count, c);
}
}

Q_DECLARE_METATYPE(Caller)

namespace
{
// Kept out of the test class: moc does not need to read the literals.
void addHostileRequestRows()
{
    const QByteArray ownerLogin = json({{"email"_L1, "owner@example.com"_L1}, {"password"_L1, "owner-pass"_L1}});
    auto row = [](const char *name, QByteArray method, QString path, QByteArray body, Caller caller, int status) {
        QTest::newRow(name) << method << path << body << caller << status;
    };
    // Registration and sign-in.
    row("register: broken JSON", "POST", u"/api/auth/register"_s, R"({"email":"x@y.z","password":)", Caller::Nobody, 400);
    row("register: array body", "POST", u"/api/auth/register"_s, "[]", Caller::Nobody, 400);
    row("register: string body", "POST", u"/api/auth/register"_s, R"("owner@example.com")", Caller::Nobody, 400);
    row("register: empty body", "POST", u"/api/auth/register"_s, "", Caller::Nobody, 400);
    row("register: email is a number", "POST", u"/api/auth/register"_s, R"({"email":5,"password":"secret1"})", Caller::Nobody, 400);
    row("register: email is null", "POST", u"/api/auth/register"_s, R"({"email":null,"password":"secret1"})", Caller::Nobody, 400);
    row("register: password missing", "POST", u"/api/auth/register"_s, R"({"email":"new@example.com"})", Caller::Nobody, 400);
    row("register: password is true", "POST", u"/api/auth/register"_s, R"({"email":"new@example.com","password":true})", Caller::Nobody, 400);
    row("register: not an address", "POST", u"/api/auth/register"_s, R"({"email":"not-an-address","password":"secret1"})", Caller::Nobody, 400);
    row("register: address with a line break", "POST", u"/api/auth/register"_s, R"({"email":"a@b.c\r\nBcc: x@y.z","password":"secret1"})", Caller::Nobody, 400);
    row("register: short password", "POST", u"/api/auth/register"_s, R"({"email":"new@example.com","password":"12345"})", Caller::Nobody, 400);
    row("register: huge address", "POST", u"/api/auth/register"_s, json({{"email"_L1, QString(300, u'a') + u"@example.com"_s}, {"password"_L1, "secret1"_L1}}), Caller::Nobody, 400);
    row("register: huge password", "POST", u"/api/auth/register"_s, json({{"email"_L1, "new@example.com"_L1}, {"password"_L1, QString(5000, u'p')}}), Caller::Nobody, 400);
    row("register: taken address in capitals", "POST", u"/api/auth/register"_s, R"({"email":"OWNER@EXAMPLE.COM","password":"secret1"})", Caller::Nobody, 409);
    row("login: unknown address", "POST", u"/api/auth/login"_s, R"({"email":"ghost@example.com","password":"owner-pass"})", Caller::Nobody, 401);
    row("login: wrong password", "POST", u"/api/auth/login"_s, R"({"email":"owner@example.com","password":"guess"})", Caller::Nobody, 401);
    row("login: SQL in both fields", "POST", u"/api/auth/login"_s, R"({"email":"owner@example.com' OR '1'='1","password":"' OR '1'='1' --"})", Caller::Nobody, 401);
    row("login: SQL comment after address", "POST", u"/api/auth/login"_s, R"({"email":"owner@example.com'--","password":"x"})", Caller::Nobody, 401);
    row("login: password is an object", "POST", u"/api/auth/login"_s, R"({"email":"owner@example.com","password":{"$ne":""}})", Caller::Nobody, 400);
    row("login: deeply nested", "POST", u"/api/auth/login"_s, repeated('[', 5000) + repeated(']', 5000), Caller::Nobody, 400);
    row("login: truncated JSON", "POST", u"/api/auth/login"_s, ownerLogin.first(ownerLogin.size() - 3), Caller::Nobody, 400);
    // Password reset and change.
    row("forgot: address is a list", "POST", u"/api/auth/forgot-password"_s, R"({"email":["owner@example.com"]})", Caller::Nobody, 400);
    row("reset: unknown address", "POST", u"/api/auth/reset-password"_s, R"({"email":"ghost@example.com","code":"123456","newPassword":"secret1"})", Caller::Nobody, 400);
    row("reset: new password missing", "POST", u"/api/auth/reset-password"_s, R"({"email":"owner@example.com","code":"123456"})", Caller::Nobody, 400);
    row("reset: code is a number", "POST", u"/api/auth/reset-password"_s, R"({"email":"owner@example.com","code":123456,"newPassword":"secret1"})", Caller::Nobody, 400);
    row("change: no token", "POST", u"/api/auth/change-password"_s, R"({"currentPassword":"owner-pass","newPassword":"secret1"})", Caller::Nobody, 401);
    row("change: forged token", "POST", u"/api/auth/change-password"_s, R"({"currentPassword":"owner-pass","newPassword":"secret1"})", Caller::Forged, 401);
    row("change: wrong current password", "POST", u"/api/auth/change-password"_s, R"({"currentPassword":"guess!","newPassword":"secret1"})", Caller::Owner, 400);
    row("change: short new password", "POST", u"/api/auth/change-password"_s, R"({"currentPassword":"owner-pass","newPassword":"123"})", Caller::Owner, 400);
    // Websites: tokens.
    row("list: no token", "GET", u"/api/websites"_s, "", Caller::Nobody, 401);
    row("list: forged token", "GET", u"/api/websites"_s, "", Caller::Forged, 401);
    row("create: no token", "POST", u"/api/websites"_s, website(u"https://x.example"_s, u"X"_s), Caller::Nobody, 401);
    row("delete: forged token", "DELETE", u"/api/websites/{own}"_s, "", Caller::Forged, 401);
    // Websites: bodies.
    row("create: title is a number", "POST", u"/api/websites"_s, website(u"https://x.example"_s, 5), Caller::Owner, 400);
    row("create: url is null", "POST", u"/api/websites"_s, website(QJsonValue::Null, u"X"_s), Caller::Owner, 400);
    row("create: url missing", "POST", u"/api/websites"_s, R"({"title":"X"})", Caller::Owner, 400);
    row("create: blank title", "POST", u"/api/websites"_s, website(u"https://x.example"_s, u"   "_s), Caller::Owner, 400);
    row("create: screenshotUrl is false", "POST", u"/api/websites"_s, R"({"url":"https://x.example","title":"X","screenshotUrl":false})", Caller::Owner, 400);
    row("create: huge url", "POST", u"/api/websites"_s, website(u"https://x.example/"_s + QString(9000, u'x'), u"X"_s), Caller::Owner, 400);
    row("create: huge content", "POST", u"/api/websites"_s, json({{"url"_L1, "https://x.example"_L1}, {"title"_L1, "X"_L1}, {"content"_L1, QString(1'000'001, u'c')}}), Caller::Owner, 400);
    row("create: body beyond the limit", "POST", u"/api/websites"_s, json({{"url"_L1, "https://x.example"_L1}, {"title"_L1, "X"_L1}, {"content"_L1, QString(5'000'000, u'c')}}), Caller::Owner, 413);
    row("rename: title is a number", "PUT", u"/api/websites/{own}"_s, R"({"title":5})", Caller::Owner, 400);
    row("rename: empty title", "PUT", u"/api/websites/{own}"_s, R"({"title":""})", Caller::Owner, 400);
    row("pin: flag as text", "PATCH", u"/api/websites/{own}/pin"_s, R"({"isPinned":"true"})", Caller::Owner, 400);
    row("pin: flag as number", "PATCH", u"/api/websites/{own}/pin"_s, R"({"isPinned":1})", Caller::Owner, 400);
    row("pin: flag missing", "PATCH", u"/api/websites/{own}/pin"_s, "{}", Caller::Owner, 400);
    // Websites: ids.
    row("rename: another account's website", "PUT", u"/api/websites/{other}"_s, R"({"title":"taken"})", Caller::Owner, 404);
    row("pin: another account's website", "PATCH", u"/api/websites/{other}/pin"_s, R"({"isPinned":true})", Caller::Owner, 404);
    row("delete: another account's website", "DELETE", u"/api/websites/{other}"_s, "", Caller::Owner, 404);
    row("delete: negative id", "DELETE", u"/api/websites/-1"_s, "", Caller::Owner, 404);
    row("delete: zero id", "DELETE", u"/api/websites/0"_s, "", Caller::Owner, 404);
    row("delete: non-numeric id", "DELETE", u"/api/websites/abc"_s, "", Caller::Owner, 404);
    row("delete: id beyond 64 bits", "DELETE", u"/api/websites/99999999999999999999"_s, "", Caller::Owner, 404);
    row("rename: id in exponent form", "PUT", u"/api/websites/1e3"_s, R"({"title":"x"})", Caller::Owner, 404);
    row("delete: SQL in the id", "DELETE", u"/api/websites/1%20OR%201=1"_s, "", Caller::Owner, 404);
    row("delete: id with a plus sign", "DELETE", u"/api/websites/+1"_s, "", Caller::Owner, 404);
    // Site icons.
    row("icon: no domain", "GET", u"/api/icon"_s, "", Caller::Nobody, 400);
    row("icon: a whole address", "GET", u"/api/icon?domain=https%3A%2F%2Fexample.com%2F"_s, "", Caller::Nobody, 400);
    row("icon: size not a number", "GET", u"/api/icon?domain=example.com&sz=big"_s, "", Caller::Nobody, 400);
    row("icon: negative size", "GET", u"/api/icon?domain=example.com&sz=-5"_s, "", Caller::Nobody, 400);
    row("icon: port out of range", "GET", u"/api/icon?domain=example.com:99999"_s, "", Caller::Nobody, 400);
    row("icon: this very server", "GET", u"/api/icon?domain=127.0.0.1"_s, "", Caller::Nobody, 403);
    row("icon: a name for this machine", "GET", u"/api/icon?domain=LocalHost"_s, "", Caller::Nobody, 403);
    row("icon: ssh port", "GET", u"/api/icon?domain=example.com:22"_s, "", Caller::Nobody, 403);
    row("icon: cloud metadata", "GET", u"/api/icon?domain=169.254.169.254"_s, "", Caller::Nobody, 403);
    row("icon: decimal loopback", "GET", u"/api/icon?domain=2130706433"_s, "", Caller::Nobody, 403);
    row("icon: posted", "POST", u"/api/icon?domain=example.com"_s, "{}", Caller::Nobody, 405);
    // Routes and methods.
    row("unknown route", "GET", u"/api/nothing-here"_s, "", Caller::Owner, 404);
    row("trailing slash", "GET", u"/api/websites/"_s, "", Caller::Owner, 404);
    row("path traversal", "GET", u"/api/../etc/passwd"_s, "", Caller::Nobody, 404);
    row("delete the whole collection", "DELETE", u"/api/websites"_s, "", Caller::Owner, 405);
    row("patch without pin", "PATCH", u"/api/websites/{own}"_s, R"({"isPinned":true})", Caller::Owner, 405);
    row("post to version", "POST", u"/api/version"_s, "{}", Caller::Nobody, 405);
    row("get the login route", "GET", u"/api/auth/login"_s, "", Caller::Nobody, 405);
    row("WebDAV method", "PROPFIND", u"/api/websites"_s, "", Caller::Owner, 405);
    row("OPTIONS", "OPTIONS", u"/api/websites"_s, "", Caller::Owner, 405);
}

void addMalformedHttpRows()
{
    const QByteArray post = "POST /api/websites HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer {token}\r\n";
    QTest::newRow("truncated body") << post + "Content-Length: 100\r\n\r\n{\"url\":\"https://" << 408;
    QTest::newRow("stops inside the headers") << "GET /api/websites HTTP/1.1\r\nHost: x\r\nAuthor"_ba << 408;
    QTest::newRow("declared body beyond the limit") << post + "Content-Length: 999999999999\r\n\r\n{" << 413;
    QTest::newRow("Content-Length not a number") << post + "Content-Length: twelve\r\n\r\n{}" << 400;
    QTest::newRow("not HTTP at all") << "HELLO THERE\r\n\r\n"_ba << 400;
    QTest::newRow("binary noise") << QByteArray("\x00\x01\x02\xff\xfe\r\n\r\n", 9) << 400;
    QTest::newRow("made-up method") << "BREW /api/websites HTTP/1.1\r\nHost: x\r\n\r\n"_ba << 405;
    QTest::newRow("lower-case method") << "get /api/websites HTTP/1.1\r\nHost: x\r\n\r\n"_ba << 400;
    QTest::newRow("HTTP/2 preface") << "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"_ba << 400;
    QTest::newRow("invalid chunk size") << post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n" << 408;
    QTest::newRow("both Content-Length and Transfer-Encoding")
        << "GET /api/version HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"_ba << 400;
    QTest::newRow("NUL in a header value") << "GET /api/websites HTTP/1.1\r\nHost: x\r\nX-Note: a\0b\r\n\r\n"_ba << 400;
    QTest::newRow("headers beyond the limit") << "GET /api/websites HTTP/1.1\r\nX-Padding: "_ba + repeated('p', 20000) + "\r\n\r\n" << 431;
    QTest::newRow("chunked body beyond the limit")
        << post + "Transfer-Encoding: chunked\r\n\r\n" + QByteArray::number(5'000'000, 16) + "\r\n" + repeated('x', 5'000'000) + "\r\n0\r\n\r\n"
        << 413;
}
}

// Malformed and hostile requests: each must get the right status and an error text, and leave the
// server serving and every stored account and website as it was.
class ServerAbuseTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<RawHttpClient> m_client;
    QString m_ownerToken;
    QString m_otherToken;
    qint64 m_ownWebsite = 0;
    qint64 m_otherWebsite = 0;
    QByteArray m_snapshot;

    QString tokenFor(Caller caller) const
    {
        switch (caller) {
        case Caller::Nobody:
            return {};
        case Caller::Owner:
            return m_ownerToken;
        case Caller::Forged:
            return u"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"_s;
        }
        return {};
    }

    // Everything a request could have changed, as the owners see it.
    QByteArray snapshot()
    {
        QByteArray state;
        for (const QString &token : {m_ownerToken, m_otherToken})
            state += m_client->request("GET", u"/api/websites"_s, {}, token).body + '\n';
        for (const auto &[email, password] : {std::pair{"owner@example.com"_L1, "owner-pass"_L1}, std::pair{"other@example.com"_L1, "other-pass"_L1}})
            state += QByteArray::number(m_client->request("POST", u"/api/auth/login"_s, json({{"email"_L1, email}, {"password"_L1, password}})).status);
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
        m_server = std::make_unique<ServerProcess>(QStringList{u"--request-timeout"_s, u"1"_s});
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        m_client = std::make_unique<RawHttpClient>(m_server->baseUrl());
        m_ownerToken = m_client->request("POST", u"/api/auth/register"_s, json({{"email"_L1, "owner@example.com"_L1}, {"password"_L1, "owner-pass"_L1}}))
                           .json().value("token"_L1).toString();
        m_otherToken = m_client->request("POST", u"/api/auth/register"_s, json({{"email"_L1, "other@example.com"_L1}, {"password"_L1, "other-pass"_L1}}))
                           .json().value("token"_L1).toString();
        QVERIFY(!m_ownerToken.isEmpty() && !m_otherToken.isEmpty());
        for (int index = 0; index < 3; ++index) {
            m_ownWebsite = m_client->request("POST", u"/api/websites"_s, website(u"https://own.example/%1"_s.arg(index), u"Own %1"_s.arg(index)), m_ownerToken)
                               .json().value("website"_L1).toObject().value("id"_L1).toInteger();
        }
        m_client->request("PATCH", u"/api/websites/%1/pin"_s.arg(m_ownWebsite), json({{"isPinned"_L1, true}}), m_ownerToken);
        m_otherWebsite = m_client->request("POST", u"/api/websites"_s, website(u"https://other.example"_s, u"Other"_s), m_otherToken)
                             .json().value("website"_L1).toObject().value("id"_L1).toInteger();
        QVERIFY(m_ownWebsite > 0 && m_otherWebsite > 0);
        m_snapshot = snapshot();
        QVERIFY(m_snapshot.endsWith("200200"));
    }

    void hostileRequests_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path"); // {own} and {other} stand for website ids
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Caller>("caller");
        QTest::addColumn<int>("status");
        addHostileRequestRows();
    }

    void hostileRequests()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(Caller, caller);
        QFETCH(int, status);

        path.replace(u"{own}"_s, QString::number(m_ownWebsite)).replace(u"{other}"_s, QString::number(m_otherWebsite));
        verifyUnharmed(m_client->request(method, path, body, tokenFor(caller)), status);
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
        const QList<HttpAnswer> answers =
            m_client->sendRaw("GET /api/version HTTP/1.1\r\nHost: x\r\n\r\n\x01\x02 NOT HTTP\r\n\r\n"_ba, 2);
        QCOMPARE(answers.size(), 2);
        QCOMPARE(answers.at(0).status, 200);
        verifyUnharmed(answers.at(1), 400);
    }
};

QTEST_GUILESS_MAIN(ServerAbuseTest)
#include "serverabusetest.moc"
