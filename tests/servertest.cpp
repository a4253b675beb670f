#include "rawhttpclient.h"
#include "serverprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

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

QByteArray newWebsite(const QString &url, const QString &title)
{
    return json({{"url"_L1, url}, {"title"_L1, title}, {"screenshotUrl"_L1, ""_L1}, {"content"_L1, "page text"_L1}});
}

#ifdef Q_OS_LINUX
// Caps a process's address space a little above what it uses now, so a large allocation fails
// while small ones go on; lifted again when the object goes.
class AddressSpaceCap
{
public:
    AddressSpaceCap(pid_t pid, qint64 headroomBytes)
        : m_pid(pid)
    {
        QFile status(u"/proc/%1/status"_s.arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return;
        static const QRegularExpression size(u"VmSize:\\s*(\\d+) kB"_s);
        const auto match = size.match(QString::fromLatin1(status.readAll()));
        if (!match.hasMatch())
            return;
        const rlimit capped{rlim_t(match.captured(1).toLongLong() * 1024 + headroomBytes), RLIM_INFINITY};
        m_active = prlimit(m_pid, RLIMIT_AS, nullptr, &m_previous) == 0 && capped.rlim_cur < m_previous.rlim_cur
            && prlimit(m_pid, RLIMIT_AS, &capped, nullptr) == 0;
    }
    ~AddressSpaceCap()
    {
        if (m_active)
            prlimit(m_pid, RLIMIT_AS, &m_previous, nullptr);
    }
    AddressSpaceCap(const AddressSpaceCap &) = delete;
    AddressSpaceCap &operator=(const AddressSpaceCap &) = delete;

    [[nodiscard]] bool isActive() const { return m_active; }

private:
    pid_t m_pid;
    rlimit m_previous{};
    bool m_active = false;
};
#endif
}

// The server's own rules, exercised over HTTP against a real corvane-server process.
class ServerTest : public QObject
{
    Q_OBJECT

private:
    // Registers an account and answers its token.
    static QString registerAccount(RawHttpClient &client, const QString &email, const QString &password = u"secret1"_s)
    {
        const HttpAnswer answer = client.request("POST", u"/api/auth/register"_s, credentials(email, password));
        if (answer.status != 201)
            qWarning() << "registration failed" << answer.status << answer.body;
        return answer.json().value("token"_L1).toString();
    }

    static QString signIn(RawHttpClient &client, const QString &email, const QString &password)
    {
        return client.request("POST", u"/api/auth/login"_s, credentials(email, password)).json().value("token"_L1).toString();
    }

    static bool startServer(ServerProcess &server)
    {
        if (server.start())
            return true;
        qWarning("%s", qPrintable(server.errorString()));
        return false;
    }

private Q_SLOTS:
    void addressesAreCaseInsensitive()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        QVERIFY(!registerAccount(client, u"Mixed.Case@Example.com"_s).isEmpty());

        const HttpAnswer again = client.request("POST", u"/api/auth/register"_s, credentials(u"mixed.case@EXAMPLE.COM"_s, u"other1"_s));
        QCOMPARE(again.status, 409);
        QVERIFY(!again.error().isEmpty());

        const HttpAnswer login = client.request("POST", u"/api/auth/login"_s, credentials(u"MIXED.CASE@example.com"_s, u"secret1"_s));
        QCOMPARE(login.status, 200);
        QCOMPARE(login.json().value("user"_L1).toObject().value("email"_L1).toString(), u"Mixed.Case@Example.com"_s);
        QVERIFY(!login.json().value("token"_L1).toString().isEmpty());
    }

    void signInFailuresLookAlike()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        registerAccount(client, u"known@example.com"_s);

        const HttpAnswer wrongPassword = client.request("POST", u"/api/auth/login"_s, credentials(u"known@example.com"_s, u"wrong!"_s));
        const HttpAnswer unknownAddress = client.request("POST", u"/api/auth/login"_s, credentials(u"nobody@example.com"_s, u"secret1"_s));
        QCOMPARE(wrongPassword.status, 401);
        QCOMPARE(unknownAddress.status, 401);
        QVERIFY(!wrongPassword.error().isEmpty());
        QCOMPARE(unknownAddress.error(), wrongPassword.error());
    }

    void tokensAreDistinctAndOpaque()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString first = registerAccount(client, u"t@example.com"_s);
        const QString second = signIn(client, u"t@example.com"_s, u"secret1"_s);
        QVERIFY(first != second);
        // 32 random bytes in base64url.
        QCOMPARE(first.size(), 43);
        QVERIFY(QRegularExpression(u"^[A-Za-z0-9_-]+$"_s).match(first).hasMatch());
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, first).status, 200);
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, second).status, 200);
        // The database (with its write-ahead log) holds digests only, never the token itself.
        const QDir data(server.dataDirectory());
        for (const QString &name : data.entryList({u"corvane.sqlite*"_s}, QDir::Files)) {
            QFile file(data.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(!bytes.contains(first.toLatin1()));
            QVERIFY(!bytes.contains(second.toLatin1()));
        }
    }

    void websitesAreIsolatedPerAccount()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString alice = registerAccount(client, u"alice@example.com"_s);
        const QString bob = registerAccount(client, u"bob@example.com"_s);
        const HttpAnswer created = client.request("POST", u"/api/websites"_s, newWebsite(u"https://a.example"_s, u"A"_s), alice);
        QCOMPARE(created.status, 201);
        const qint64 id = created.json().value("website"_L1).toObject().value("id"_L1).toInteger();
        const QString path = u"/api/websites/%1"_s.arg(id);

        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, bob).json().value("websites"_L1).toArray().size(), 0);
        QCOMPARE(client.request("PUT", path, json({{"title"_L1, "mine now"_L1}}), bob).status, 404);
        QCOMPARE(client.request("PATCH", path + u"/pin"_s, json({{"isPinned"_L1, true}}), bob).status, 404);
        QCOMPARE(client.request("DELETE", path, {}, bob).status, 404);
        // An unknown id answers exactly like another account's id.
        QCOMPARE(client.request("DELETE", u"/api/websites/%1"_s.arg(id + 1000), {}, bob).body,
                 client.request("DELETE", path, {}, bob).body);

        const QJsonArray alices = client.request("GET", u"/api/websites"_s, {}, alice).json().value("websites"_L1).toArray();
        QCOMPARE(alices.size(), 1);
        QCOMPARE(alices.first().toObject(), created.json().value("website"_L1).toObject());
    }

    void websiteOperationsAnswerTheStoredRecord()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString token = registerAccount(client, u"ops@example.com"_s);
        const QJsonObject created = client.request("POST", u"/api/websites"_s, newWebsite(u"https://ops.example/x"_s, u"Ops"_s), token)
                                        .json().value("website"_L1).toObject();
        QCOMPARE(created.value("url"_L1).toString(), u"https://ops.example/x"_s);
        QCOMPARE(created.value("isPinned"_L1), QJsonValue(false));
        const QString path = u"/api/websites/%1"_s.arg(created.value("id"_L1).toInteger());

        const HttpAnswer renamed = client.request("PUT", path, json({{"title"_L1, "  Renamed  "_L1}}), token);
        QCOMPARE(renamed.status, 200);
        QCOMPARE(renamed.json().value("website"_L1).toObject().value("title"_L1).toString(), u"Renamed"_s);
        const HttpAnswer pinned = client.request("PATCH", path + u"/pin"_s, json({{"isPinned"_L1, true}}), token);
        QCOMPARE(pinned.json().value("website"_L1).toObject().value("isPinned"_L1), QJsonValue(true));
        QCOMPARE(pinned.json().value("website"_L1).toObject().value("createdAt"_L1), created.value("createdAt"_L1));

        const HttpAnswer deleted = client.request("DELETE", path, {}, token);
        QCOMPARE(deleted.status, 200);
        QCOMPARE(deleted.json().value("deletedId"_L1).toInteger(), created.value("id"_L1).toInteger());
        QCOMPARE(client.request("DELETE", path, {}, token).status, 404);
        // Ids are never reused, so a client's cache keyed by id cannot mix up two websites.
        const qint64 next = client.request("POST", u"/api/websites"_s, newWebsite(u"https://n.example"_s, u"N"_s), token)
                                .json().value("website"_L1).toObject().value("id"_L1).toInteger();
        QVERIFY(next > created.value("id"_L1).toInteger());
    }

    void listComesInLibraryOrderAndIsStable()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString token = registerAccount(client, u"order@example.com"_s);
        QList<qint64> ids;
        for (int index = 0; index < 6; ++index) {
            ids.append(client.request("POST", u"/api/websites"_s, newWebsite(u"https://%1.example"_s.arg(index), u"W%1"_s.arg(index)), token)
                           .json().value("website"_L1).toObject().value("id"_L1).toInteger());
            if (index % 2)
                QTest::qWait(3); // some share a millisecond, some do not
        }
        for (qint64 id : {ids.at(1), ids.at(4)})
            QCOMPARE(client.request("PATCH", u"/api/websites/%1/pin"_s.arg(id), json({{"isPinned"_L1, true}}), token).status, 200);

        const HttpAnswer first = client.request("GET", u"/api/websites"_s, {}, token);
        const QJsonArray websites = first.json().value("websites"_L1).toArray();
        QCOMPARE(websites.size(), 6);
        static const QRegularExpression timestamp(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"_s);
        for (qsizetype index = 0; index < websites.size(); ++index) {
            const QJsonObject website = websites.at(index).toObject();
            QVERIFY(timestamp.match(website.value("createdAt"_L1).toString()).hasMatch());
            QVERIFY(timestamp.match(website.value("updatedAt"_L1).toString()).hasMatch());
            if (index == 0)
                continue;
            // The client's order: pinned first, then createdAt descending as text, then id descending.
            const QJsonObject previous = websites.at(index - 1).toObject();
            const bool previousPinned = previous.value("isPinned"_L1).toBool();
            const bool pinned = website.value("isPinned"_L1).toBool();
            QVERIFY(previousPinned >= pinned);
            if (previousPinned != pinned)
                continue;
            const QString previousCreated = previous.value("createdAt"_L1).toString();
            const QString created = website.value("createdAt"_L1).toString();
            QVERIFY(previousCreated >= created);
            if (previousCreated == created)
                QVERIFY(previous.value("id"_L1).toInteger() > website.value("id"_L1).toInteger());
        }
        QCOMPARE(websites.at(0).toObject().value("id"_L1).toInteger(), ids.at(4));
        QCOMPARE(websites.at(1).toObject().value("id"_L1).toInteger(), ids.at(1));
        QCOMPARE(websites.at(2).toObject().value("id"_L1).toInteger(), ids.at(5));
        // Nothing changed, nothing differs: the client then has nothing to rewrite.
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, token).body, first.body);
    }

    // The list is served from a cache while nothing changes; every kind of change must show.
    void listReflectsEveryChange()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString token = registerAccount(client, u"cache@example.com"_s);
        const QString other = registerAccount(client, u"other@example.com"_s);
        auto titles = [&] {
            QStringList result;
            for (const QJsonValue &website : client.request("GET", u"/api/websites"_s, {}, token).json().value("websites"_L1).toArray())
                result.append(website.toObject().value("title"_L1).toString() + (website.toObject().value("isPinned"_L1).toBool() ? u"*"_s : QString()));
            return result;
        };
        QCOMPARE(titles(), QStringList());
        const qint64 first = client.request("POST", u"/api/websites"_s, newWebsite(u"https://1.example"_s, u"One"_s), token)
                                 .json().value("website"_L1).toObject().value("id"_L1).toInteger();
        QCOMPARE(titles(), QStringList({u"One"_s}));
        QTest::qWait(2);
        client.request("POST", u"/api/websites"_s, newWebsite(u"https://2.example"_s, u"Two"_s), token);
        QCOMPARE(titles(), QStringList({u"Two"_s, u"One"_s}));
        client.request("PUT", u"/api/websites/%1"_s.arg(first), json({{"title"_L1, "First"_L1}}), token);
        QCOMPARE(titles(), QStringList({u"Two"_s, u"First"_s}));
        client.request("PATCH", u"/api/websites/%1/pin"_s.arg(first), json({{"isPinned"_L1, true}}), token);
        QCOMPARE(titles(), QStringList({u"First*"_s, u"Two"_s}));
        // Another account's changes leave this list alone.
        client.request("POST", u"/api/websites"_s, newWebsite(u"https://3.example"_s, u"Theirs"_s), other);
        QCOMPARE(titles(), QStringList({u"First*"_s, u"Two"_s}));
        client.request("DELETE", u"/api/websites/%1"_s.arg(first), {}, token);
        QCOMPARE(titles(), QStringList({u"Two"_s}));
    }

    void expiredTokenIsRefused()
    {
        ServerProcess server({u"--session-lifetime"_s, u"1"_s});
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString token = registerAccount(client, u"short@example.com"_s);
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, token).status, 200);
        QTest::qWait(1200);
        const HttpAnswer expired = client.request("GET", u"/api/websites"_s, {}, token);
        QCOMPARE(expired.status, 401);
        QVERIFY(!expired.error().isEmpty());
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, signIn(client, u"short@example.com"_s, u"secret1"_s)).status, 200);
    }

    void passwordChangeKeepsTheCallersSession()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString caller = registerAccount(client, u"change@example.com"_s, u"before1"_s);
        const QString elsewhere = signIn(client, u"change@example.com"_s, u"before1"_s);

        const HttpAnswer wrongCurrent = client.request("POST", u"/api/auth/change-password"_s,
                                                       json({{"currentPassword"_L1, "nope!!"_L1}, {"newPassword"_L1, "after12"_L1}}), caller);
        // Not 401, which would sign the client out.
        QCOMPARE(wrongCurrent.status, 400);
        QVERIFY(!wrongCurrent.error().isEmpty());

        const HttpAnswer changed = client.request("POST", u"/api/auth/change-password"_s,
                                                  json({{"currentPassword"_L1, "before1"_L1}, {"newPassword"_L1, "after12"_L1}}), caller);
        QCOMPARE(changed.status, 200);
        QVERIFY(!changed.json().value("message"_L1).toString().isEmpty());
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, caller).status, 200);
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, elsewhere).status, 401);
        QVERIFY(signIn(client, u"change@example.com"_s, u"before1"_s).isEmpty());
        QVERIFY(!signIn(client, u"change@example.com"_s, u"after12"_s).isEmpty());
    }

    void resetCodeIsMailedAndWorksOnce()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString session = registerAccount(client, u"Reset@Example.com"_s, u"before1"_s);
        const HttpAnswer sent = client.request("POST", u"/api/auth/forgot-password"_s, json({{"email"_L1, "reset@example.com"_L1}}));
        QCOMPARE(sent.status, 200);
        QVERIFY(!sent.json().value("message"_L1).toString().isEmpty());
        QCOMPARE(server.outboxMessages().size(), 1);
        const QString code = server.latestResetCode(u"reset@example.com"_s);
        QVERIFY(QRegularExpression(u"^\\d{6}$"_s).match(code).hasMatch());
        QTRY_VERIFY(server.standardOutput().contains(u"mail to Reset@Example.com"_s));

        const QByteArray reset = json({{"email"_L1, "reset@example.com"_L1}, {"code"_L1, code}, {"newPassword"_L1, "after12"_L1}});
        const HttpAnswer done = client.request("POST", u"/api/auth/reset-password"_s, reset);
        QCOMPARE(done.status, 200);
        QVERIFY(!done.json().value("message"_L1).toString().isEmpty());
        QVERIFY(!signIn(client, u"reset@example.com"_s, u"after12"_s).isEmpty());
        QVERIFY(signIn(client, u"reset@example.com"_s, u"before1"_s).isEmpty());
        // Sessions opened with the old password end.
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, session).status, 401);
        QCOMPARE(client.request("POST", u"/api/auth/reset-password"_s, reset).status, 400);
    }

    void busyServerKeepsTheResetCode()
    {
#ifndef Q_OS_LINUX
        QSKIP("needs prlimit to make password hashing run out of memory");
#else
        // The real cost: each hash needs 64 MiB, far more than the cap below leaves.
        ServerProcess server({u"--password-hashing"_s, u"interactive"_s});
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        registerAccount(client, u"busy@example.com"_s, u"before1"_s);
        QCOMPARE(client.request("POST", u"/api/auth/forgot-password"_s, json({{"email"_L1, "busy@example.com"_L1}})).status, 200);
        const QByteArray reset = json({{"email"_L1, "busy@example.com"_L1},
                                       {"code"_L1, server.latestResetCode(u"busy@example.com"_s)},
                                       {"newPassword"_L1, "after12"_L1}});
        {
            const AddressSpaceCap cap(pid_t(server.processId()), 24 * 1024 * 1024);
            QVERIFY(cap.isActive());
            const HttpAnswer busy = client.request("POST", u"/api/auth/reset-password"_s, reset);
            QCOMPARE(busy.status, 503);
            QVERIFY(!busy.error().isEmpty());
        }
        // The code survived the failed attempt; the password changed only now.
        QCOMPARE(client.request("POST", u"/api/auth/reset-password"_s, reset).status, 200);
        QVERIFY(!signIn(client, u"busy@example.com"_s, u"after12"_s).isEmpty());
#endif
    }

    // Nobody learns from this endpoint whether an address has an account.
    void codeRequestAnswersAlikeForEveryAddress()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        registerAccount(client, u"known@example.com"_s);
        const HttpAnswer known = client.request("POST", u"/api/auth/forgot-password"_s, json({{"email"_L1, "known@example.com"_L1}}));
        const HttpAnswer unknown = client.request("POST", u"/api/auth/forgot-password"_s, json({{"email"_L1, "ghost@example.com"_L1}}));
        QCOMPARE(known.status, 200);
        QCOMPARE(unknown.status, known.status);
        QCOMPARE(unknown.body, known.body);
        QCOMPARE(server.outboxMessages().size(), 1);
        QVERIFY(server.latestResetCode(u"ghost@example.com"_s).isEmpty());
    }

    void resetCodeRefusals_data()
    {
        QTest::addColumn<int>("wrongTries");
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<int>("wrongTriesOnNewCode"); // -1: no new code
        QTest::addColumn<int>("status");

        QTest::newRow("four wrong tries leave it usable") << 4 << 0 << -1 << 200;
        QTest::newRow("five wrong tries spend the address's budget") << 5 << 0 << -1 << 429;
        QTest::newRow("expired") << 0 << 1300 << -1 << 400;
        QTest::newRow("a new request replaces it") << 0 << 0 << 0 << 400;
        QTest::newRow("a new code buys no new tries") << 3 << 0 << 2 << 429;
    }

    void resetCodeRefusals()
    {
        QFETCH(int, wrongTries);
        QFETCH(int, waitMs);
        QFETCH(int, wrongTriesOnNewCode);
        QFETCH(int, status);

        ServerProcess server({u"--reset-code-lifetime"_s, u"1"_s});
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        registerAccount(client, u"codes@example.com"_s, u"before1"_s);
        const QByteArray forgot = json({{"email"_L1, "codes@example.com"_L1}});
        QCOMPARE(client.request("POST", u"/api/auth/forgot-password"_s, forgot).status, 200);
        const QString code = server.latestResetCode(u"codes@example.com"_s);
        auto attempt = [&](const QString &guess) {
            return client.request("POST", u"/api/auth/reset-password"_s,
                                  json({{"email"_L1, "codes@example.com"_L1}, {"code"_L1, guess}, {"newPassword"_L1, "after12"_L1}}));
        };
        auto wrongGuesses = [&](const QString &right, int count) {
            const QString wrong = u"%1"_s.arg((right.toInt() + 1) % 1000000, 6, 10, QLatin1Char('0'));
            for (int index = 0; index < count; ++index) {
                const HttpAnswer refused = attempt(wrong);
                QCOMPARE(refused.status, 400);
                QVERIFY(!refused.error().isEmpty());
            }
        };
        wrongGuesses(code, wrongTries);
        if (waitMs)
            QTest::qWait(waitMs);
        QString finalCode = code;
        if (wrongTriesOnNewCode >= 0) {
            QCOMPARE(client.request("POST", u"/api/auth/forgot-password"_s, forgot).status, 200);
            QCOMPARE(server.outboxMessages().size(), 2);
            const QString newCode = server.latestResetCode(u"codes@example.com"_s);
            if (newCode == code)
                QSKIP("the new code happens to equal the old one");
            wrongGuesses(newCode, wrongTriesOnNewCode);
            if (wrongTriesOnNewCode > 0)
                finalCode = newCode;
        }

        const HttpAnswer final = attempt(finalCode);
        QCOMPARE(final.status, status);
        if (status == 429)
            QVERIFY(final.header("retry-after").toInt() > 0);
        QCOMPARE(signIn(client, u"codes@example.com"_s, status == 200 ? u"after12"_s : u"before1"_s).isEmpty(), false);
    }

    // Per address and per client; counted in a window (shortened here) that ends by itself.
    void codeRequestsAreLimited()
    {
        ServerProcess server({u"--limit-window"_s, u"3"_s});
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        auto ask = [&](const QString &email) {
            return client.request("POST", u"/api/auth/forgot-password"_s, json({{"email"_L1, email}}));
        };
        for (int index = 0; index < 3; ++index)
            QCOMPARE(ask(u"Same@example.com"_s).status, 200);
        const HttpAnswer refused = ask(u"same@EXAMPLE.com"_s);
        QCOMPARE(refused.status, 429);
        QVERIFY(!refused.error().isEmpty());
        const int retryAfter = refused.header("retry-after").toInt();
        QVERIFY2(retryAfter >= 1 && retryAfter <= 3, refused.header("retry-after").constData());
        // Other addresses from this client, up to the client's own budget of ten.
        for (int index = 0; index < 6; ++index)
            QCOMPARE(ask(u"other%1@example.com"_s.arg(index)).status, 200);
        QCOMPARE(ask(u"one-more@example.com"_s).status, 429);

        QTest::qWait(retryAfter * 1000 + 100);
        QCOMPARE(ask(u"same@example.com"_s).status, 200);
    }

    void signInIsThrottledBeforeHashing()
    {
        // The real hashing cost, so that a refusal which still hashed would show in its time.
        ServerProcess server({u"--limit-window"_s, u"120"_s, u"--password-hashing"_s, u"interactive"_s});
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        registerAccount(client, u"target@example.com"_s, u"right-pass"_s);
        for (int index = 0; index < 9; ++index)
            QVERIFY(signIn(client, u"target@example.com"_s, u"guess-%1"_s.arg(index)).isEmpty());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client.request("POST", u"/api/auth/login"_s, credentials(u"target@example.com"_s, u"guess-9"_s)).status, 401);
        const qint64 hashedMs = timer.restart();

        const HttpAnswer refused = client.request("POST", u"/api/auth/login"_s, credentials(u"TARGET@example.com"_s, u"right-pass"_s));
        const qint64 refusedMs = timer.elapsed();
        QCOMPARE(refused.status, 429);
        QVERIFY2(refusedMs * 2 < hashedMs, qPrintable(u"refused in %1 ms, a hash takes %2 ms"_s.arg(refusedMs).arg(hashedMs)));
        QVERIFY(!refused.error().isEmpty());
        const int retryAfter = refused.header("retry-after").toInt();
        QVERIFY(retryAfter >= 1 && retryAfter <= 120);
        // Another account is not held up by this address's failures.
        registerAccount(client, u"bystander@example.com"_s, u"right-pass"_s);
        QVERIFY(!signIn(client, u"bystander@example.com"_s, u"right-pass"_s).isEmpty());
    }

    void signOutEndsOnlyThatToken()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const QString leaving = registerAccount(client, u"leave@example.com"_s);
        const QString staying = signIn(client, u"leave@example.com"_s, u"secret1"_s);

        const HttpAnswer out = client.request("POST", u"/api/auth/logout"_s, {}, leaving);
        QCOMPARE(out.status, 204);
        QVERIFY(out.body.isEmpty());
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, leaving).status, 401);
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, staying).status, 200);
        // Idempotent, and harmless without a live token.
        QCOMPARE(client.request("POST", u"/api/auth/logout"_s, {}, leaving).status, 204);
        QCOMPARE(client.request("POST", u"/api/auth/logout"_s).status, 204);
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, staying).status, 200);
    }

    void resetCodesNeedTheSecretFile()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        const QFileInfo key(QDir(server.dataDirectory()).filePath(u"server.key"_s));
        QVERIFY(key.exists());
        QCOMPARE(key.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner), QFile::Permissions());
        server.stop();
        // The database alone, with another key, is refused rather than silently failing every code.
        QVERIFY(QFile::remove(key.filePath()));
        QVERIFY(!server.start());
    }

    void versionAndPortalPages()
    {
        ServerProcess server({u"--latest-version"_s, u"1.2.3"_s});
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        const HttpAnswer version = client.request("GET", u"/api/version"_s);
        QCOMPARE(version.status, 200);
        QCOMPARE(version.json(), QJsonObject({{"latestVersion"_L1, "1.2.3"_L1}}));

        const QString token = registerAccount(client, u"<b>portal</b>@example.com"_s);
        const HttpAnswer account = client.request("GET", u"/account?token="_s + QString::fromLatin1(QUrl::toPercentEncoding(token)));
        QCOMPARE(account.status, 200);
        QVERIFY(account.header("content-type").startsWith("text/html"));
        QVERIFY(account.body.contains("&lt;b&gt;portal&lt;/b&gt;@example.com"));
        QVERIFY(!account.body.contains("<b>portal"));
        // Nothing from elsewhere, and no inline styles or scripts: the style sheet is its own file.
        const QByteArray policy = account.header("content-security-policy");
        QVERIFY(policy.contains("default-src 'none'"));
        QVERIFY(!policy.contains("unsafe-inline") && !policy.contains("*") && !policy.contains("http"));
        QVERIFY(!account.body.contains("<style"));
        QCOMPARE(client.request("GET", u"/portal.css"_s).status, 200);
        QCOMPARE(client.request("GET", u"/account?token=forged"_s).status, 401);
        QCOMPARE(client.request("GET", u"/account"_s).status, 401);
        QCOMPARE(client.request("GET", u"/contact?token="_s + token).status, 200);
        QVERIFY(client.request("GET", u"/download"_s).body.contains("1.2.3"));
    }

    void dataSurvivesARestart()
    {
        ServerProcess server;
        QVERIFY(startServer(server));
        QString token;
        {
            RawHttpClient client(server.baseUrl());
            token = registerAccount(client, u"keep@example.com"_s);
            QCOMPARE(client.request("POST", u"/api/websites"_s, newWebsite(u"https://k.example"_s, u"K"_s), token).status, 201);
        }
        server.stop();
        QVERIFY(startServer(server));
        RawHttpClient client(server.baseUrl());
        QCOMPARE(client.request("GET", u"/api/websites"_s, {}, token).json().value("websites"_L1).toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "servertest.moc"
