#include "support/stubserver.h"
#include "support/testdata.h"
#include "support/testenvironment.h"

#include "authenticationcard.h"
#include "backendclient.h"
#include "browsercapture.h"
#include "library.h"
#include "passwordchangeform.h"
#include "portaladdress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QByteArray encode(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

const User kUser{.id = 42, .email = u"ada@example.org"_s, .createdAt = u"2024-05-01T10:00:00.000Z"_s};
const QString kSessionEnded = u"Your session ended. Please sign in again."_s;

// Three websites; in library order they are 2 (pinned), 3, 1.
const QList<SavedWebsite> kLibrary{
    {.id = 1, .url = u"https://a.test"_s, .title = u"old"_s, .createdAt = u"2024-01-01"_s},
    {.id = 2, .url = u"https://b.test"_s, .title = u"pinned"_s, .isPinned = true, .createdAt = u"2023-01-01"_s},
    {.id = 3, .url = u"https://c.test"_s, .title = u"new"_s, .createdAt = u"2024-06-01"_s},
};

// The object of the panel that holds a published text input.
QObject *holderOf(AppViewModel &model, const QByteArray &property)
{
    for (QObject *candidate : {static_cast<QObject *>(model.account()), static_cast<QObject *>(model.passwordChange()),
                               static_cast<QObject *>(model.library())}) {
        if (candidate->metaObject()->indexOfProperty(property) >= 0)
            return candidate;
    }
    return nullptr;
}
}

// The panel as a whole: start-up, session restore, sign-out and the flows between subsystems.
class AppViewModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sessionRestore_data()
    {
        QTest::addColumn<QVariant>("token");
        QTest::addColumn<QVariant>("user");
        QTest::addColumn<bool>("signedIn");

        const QVariant absent;
        const QVariant goodUser = encode(kUser.toJson());
        QTest::newRow("token and user") << QVariant(u"token-1"_s) << goodUser << true;
        QTest::newRow("token without user") << QVariant(u"token-1"_s) << absent << false;
        QTest::newRow("user lacks email") << QVariant(u"token-1"_s) << QVariant(encode(QJsonObject{{u"id"_s, 1}})) << false;
    }

    void sessionRestore()
    {
        QFETCH(QVariant, token);
        QFETCH(QVariant, user);
        QFETCH(bool, signedIn);

        TestEnvironment environment;
        {
            QSettings settings(environment.path(u"preferences.ini"_s), QSettings::IniFormat);
            if (token.isValid())
                settings.setValue(Preferences::kJWTToken, token);
            if (user.isValid())
                settings.setValue(Preferences::kCurrentUser, user);
        }
        const auto model = environment.makeViewModel();
        QCOMPARE(model->isAuthenticated(), signedIn);
        QCOMPARE(model->currentUser().has_value(), signedIn);
        if (signedIn)
            QCOMPARE(*model->currentUser(), kUser);
        // A token is kept only with the user it belongs to.
        QCOMPARE(environment.preferences()->text(Preferences::kJWTToken), signedIn ? std::optional(token.toString()) : std::nullopt);
    }

    void typedInputIsFiltered_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");

        QTest::newRow("code drops spaces and letters beyond ASCII") << "otpCodeInput"_ba << u""_s << u"12 3٤56"_s << u"12356"_s;
        QTest::newRow("new password keeps spaces") << "newPasswordInput"_ba << u""_s << u"a b ü"_s << u"a b "_s;
        QTest::newRow("current password") << "currentPasswordInput"_ba << u""_s << u"x😀y"_s << u"xy"_s;
        QTest::newRow("email drops CR LF and spaces") << "emailInput"_ba << u""_s << u" a\r\n@b "_s << u"a@b"_s;
        QTest::newRow("combining mark drops its base") << "emailInput"_ba << u""_s << u"e\u0301x@a.b"_s << u"x@a.b"_s;
        QTest::newRow("password drops emoji, keeps blanks") << "passwordInput"_ba << u""_s << u"p👍🏽 w\r\n\t"_s << u"p w\r\n\t"_s;
        QTest::newRow("search is not filtered") << "searchQuery"_ba << u""_s << u"Ünï code"_s << u"Ünï code"_s;
        // A text field bound to the property shows what was typed until it hears otherwise; every
        // input is stored the same way, so one of them stands for all.
        QTest::newRow("refused accent after an address") << "emailInput"_ba << u"abc"_s << u"abcé"_s << u"abc"_s;
    }

    void typedInputIsFiltered()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, kept);

        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        QObject *holder = holderOf(*model, property);
        QVERIFY(holder);
        QVERIFY(holder->setProperty(property, before));
        const QMetaProperty metaProperty = holder->metaObject()->property(holder->metaObject()->indexOfProperty(property));
        QSignalSpy changed(holder, metaProperty.notifySignal());
        QVERIFY(holder->setProperty(property, typed));
        QCOMPARE(holder->property(property).toString(), kept);
        QCOMPARE(changed.count(), 1);
        // Writing the filtered value back is not a change.
        QVERIFY(holder->setProperty(property, kept));
        QCOMPARE(changed.count(), 1);
    }

    void signOutClearsExactlyTheSession_data()
    {
        QTest::addColumn<bool>("rememberMe");
        QTest::newRow("remember me on") << true;
        QTest::newRow("remember me off") << false;
    }

    void signOutClearsExactlyTheSession()
    {
        QFETCH(bool, rememberMe);
        TestEnvironment environment;
        environment.storeSession(kUser);
        {
            const auto preferences = environment.preferences();
            preferences->setData(Preferences::kSavedWebsites, encode(SavedWebsite::listToJson(kLibrary)));
            preferences->setBool(Preferences::kRememberMe, rememberMe);
            // A remembered account goes through the same filters as typing.
            preferences->setText(Preferences::kRememberedEmail, u" ada@exämple.org "_s);
            preferences->setText(Preferences::kRememberedPassword, u"p👍🏽w"_s);
            preferences->setBool(Preferences::kBrowserPermission, true);
            preferences->setBool(Preferences::kShowHeaderEmail, false);
        }
        // Told of the sign-out, the backend never answers: signing out does not wait for it.
        StubServer server;
        server.on("POST", u"/api/auth/logout"_s, StubServer::silence());
        const auto model = environment.makeViewModel(server.baseUrl());
        // Restored from the copy an earlier version kept in the preferences, in library order.
        QTRY_COMPARE(idsOf(model->library()->websites()), (QList<qint64>{2, 3, 1}));
        model->setShowSettings(true);
        model->account()->setEmailInput(u"typed@example.org"_s);
        model->account()->switchAuthMode(AuthenticationCard::AuthMode::Register);

        model->logout();

        QVERIFY(!model->showSettings());
        QVERIFY(!model->isAuthenticated());
        QVERIFY(!model->currentUser());
        // What the library's clear() leaves behind is librarytest's.
        QVERIFY(model->library()->websites().isEmpty());
        QCOMPARE(model->account()->authMode(), AuthenticationCard::AuthMode::Login);
        QCOMPARE(model->account()->emailInput(), rememberMe ? u"ada@exmple.org"_s : QString());
        QCOMPARE(model->account()->passwordInput(), rememberMe ? u"pw"_s : QString());
        QVERIFY(!model->backend().token());

        const auto stored = environment.preferences();
        QVERIFY(!stored->contains(Preferences::kJWTToken));
        QVERIFY(!stored->contains(Preferences::kCurrentUser));
        QCOMPARE(stored->boolValue(Preferences::kRememberMe), rememberMe);
        QCOMPARE(stored->text(Preferences::kRememberedEmail), u" ada@exämple.org "_s);
        QVERIFY(stored->boolValue(Preferences::kBrowserPermission));
        QVERIFY(stored->contains(Preferences::kShowHeaderEmail) && !stored->boolValue(Preferences::kShowHeaderEmail));
        QTRY_COMPARE(server.requestsTo(u"/api/auth/logout"_s).size(), 1);
        QCOMPARE(server.requestsTo(u"/api/auth/logout"_s).first().header("Authorization"), "Bearer token-1"_ba);
    }

    void rejectedTokenSignsOutBeforeTheCallerHearsOfIt()
    {
        StubServer server;
        server.on("GET", u"/api/websites"_s, StubServer::json(401, QJsonObject{{u"error"_s, u"expired"_s}}));
        TestEnvironment environment;
        environment.storeSession(kUser);
        const auto model = environment.makeViewModel(server.baseUrl());
        QStringList events;
        connect(model.get(), &AppViewModel::isAuthenticatedChanged, this, [&] { events.append(u"signed out"_s); });
        connect(model->account(), &AuthenticationCard::authErrorChanged, this,
                [&] { events.append(model->account()->authError().value_or(u"none"_s)); });

        QTRY_VERIFY(!model->isAuthenticated());
        QCOMPARE(events, (QStringList{u"signed out"_s, kSessionEnded}));
        QVERIFY(!environment.preferences()->contains(Preferences::kJWTToken));
    }

    // A saved tab goes first in the library; the form is cleared only when the backend stored it.
    // Text that is no web address is not sent at all; the field says so until it is edited.
    void savingATypedAddress_data()
    {
        QTest::addColumn<QString>("typed"); // %1 is the stub server's host and port
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("sent"); // the address posted; empty when nothing is
        QTest::addColumn<QString>("content");

        const QString page = u"http://%1/page"_s;
        QTest::newRow("stored") << u" "_s + page + u"\n"_s << 200 << page << u"Hello page"_s;
        QTest::newRow("refused") << u" "_s + page + u"\n"_s << 500 << page << u"Hello page"_s;
        // The stub speaks no TLS, so the https page has no text.
        QTest::newRow("bare host gets https") << u"%1/page"_s << 200 << u"https://%1/page"_s << QString();
        QTest::newRow("upper-case scheme") << u"HTTP://%1/page"_s << 200 << u"HTTP://%1/page"_s << u"Hello page"_s;
        for (const QString &typed : {u"hello world"_s, u"%1/a page"_s, u"hello"_s, u"https://"_s, u"http://.org/"_s, u"ftp://%1/page"_s,
                                     u"file:///etc/passwd"_s, u"javascript:alert(1)"_s, u"mailto:ada@example.org"_s, u"https://user@%1/"_s})
            QTest::newRow(qPrintable(typed)) << typed << 200 << QString() << QString();
    }

    void savingATypedAddress()
    {
        QFETCH(QString, typed);
        QFETCH(int, status);
        QFETCH(QString, sent);
        QFETCH(QString, content);
        TestEnvironment environment;
        environment.storeSession(kUser);
        StubServer server;
        const QString hostAndPort = QUrl(server.baseUrl()).authority();
        typed.replace(u"%1"_s, hostAndPort);
        sent.replace(u"%1"_s, hostAndPort);
        server.on("GET", u"/api/websites"_s, StubServer::json(200, WebsitesResponse{kLibrary}.toJson()));
        server.on("GET", u"/page"_s, StubServer::text(200, "<p>Hello <script>x()</script><b>page</b></p>", "text/html"));
        const SavedWebsite stored{.id = 7, .url = sent, .title = u"127.0.0.1"_s, .createdAt = u"2024-07-01"_s};
        server.on("POST", u"/api/websites"_s,
                  status == 200 ? StubServer::json(200, SingleWebsiteResponse{stored}.toJson())
                                : StubServer::json(status, QJsonObject{{u"error"_s, u"busy"_s}}));
        const auto model = environment.makeViewModel(server.baseUrl());
        QTRY_COMPARE(model->library()->websiteCount(), 3);
        BrowserCapture &capture = *model->capture();
        capture.setShowManualURLField(true);
        capture.setCustomURLInput(typed);

        capture.saveActiveWebsite();
        QCOMPARE(capture.isSavingTab(), !sent.isEmpty());
        capture.saveActiveWebsite();
        QTRY_VERIFY(capture.showSavedCheckmark() || !capture.isSavingTab());

        const auto posts = [&server] {
            QList<StubServer::Request> posts = server.requestsTo(u"/api/websites"_s);
            posts.removeIf([](const StubServer::Request &request) { return request.method != "POST"; });
            return posts;
        };
        if (sent.isEmpty()) {
            QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(100));
            QVERIFY(posts().isEmpty());
            QCOMPARE(capture.customURLError(), u"Not a web address"_s);
            QCOMPARE(capture.customURLInput(), typed);
            capture.setCustomURLInput(typed + u"x"_s);
            QCOMPARE(capture.customURLError(), std::nullopt);
            return;
        }
        QCOMPARE(posts().size(), 1);
        QCOMPARE(QJsonDocument::fromJson(posts().first().body).object(),
                 (QJsonObject{{u"url"_s, sent},
                              {u"title"_s, u"127.0.0.1"_s},
                              {u"screenshotUrl"_s, server.baseUrl() + u"/api/icon?domain=127.0.0.1&sz=128"_s},
                              {u"content"_s, content}}));
        QCOMPARE(capture.customURLError(), std::nullopt);
        if (status != 200) {
            QCOMPARE(capture.customURLInput(), typed);
            QVERIFY(capture.showManualURLField());
            QCOMPARE(idsOf(model->library()->websites()), (QList<qint64>{2, 3, 1}));
            return;
        }
        QCOMPARE(idsOf(model->library()->websites()), (QList<qint64>{2, 7, 3, 1}));
        QVERIFY(capture.customURLInput().isEmpty());
        QVERIFY(!capture.showManualURLField());
    }

    // The active-tab card marks a page the library holds by this comparison.
    void sameAddress_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        const QString page = u"https://a.test/x"_s;
        QTest::newRow("fragment") << u"https://a.test/x#top"_s << page << true;
        QTest::newRow("trailing slash") << u"https://a.test/x/"_s << page << true;
        QTest::newRow("bare host and its root") << u"https://a.test/"_s << u"https://a.test"_s << true;
        QTest::newRow("case of scheme and host") << u"HTTPS://A.test/x"_s << page << true;
        QTest::newRow("case of the path") << u"https://a.test/X"_s << page << false;
        QTest::newRow("query") << u"https://a.test/x?p=1"_s << u"https://a.test/x?p=2"_s << false;
        QTest::newRow("scheme") << u"http://a.test/x"_s << page << false;
        QTest::newRow("host") << u"https://b.test/x"_s << page << false;
        QTest::newRow("no address") << QString() << QString() << false;
    }

    void sameAddress()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        QCOMPARE(Library::isSameAddress(first, second), same);
        QCOMPARE(Library::isSameAddress(second, first), same);
    }

    void portalLinks_data()
    {
        QTest::addColumn<QVariant>("token");
        QTest::addColumn<QString>("query");

        QTest::newRow("signed out") << QVariant() << QString();
        QTest::newRow("query delimiters are escaped") << QVariant(u"a+b=c&d/e f#g"_s) << u"?token=a%2Bb%3Dc%26d%2Fe%20f%23g"_s;
    }

    // The contact page names the session; the account page never carries the token, and opens
    // plain when no one-time code can be had (this portal does not answer).
    void portalLinks()
    {
        QFETCH(QVariant, token);
        QFETCH(QString, query);

        TestEnvironment environment;
        if (token.isValid())
            environment.storeSession(kUser, token.toString());
        const QString portal = StubServer::refusingBaseUrl();
        const auto model = environment.makeViewModel(portal);
        model->openContactPage();
        model->openAccountPortal();
        const QList<QUrl> &opened = environment.workspace()->openedUrls;
        QTRY_COMPARE(opened.size(), 2);
        QCOMPARE(opened.at(0).toString(QUrl::FullyEncoded), portal + u"/contact"_s + query);
        QCOMPARE(opened.at(1).toString(QUrl::FullyEncoded), portal + u"/account"_s);
    }

    void portalOverride_data()
    {
        QTest::addColumn<QString>("override");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("https origin") << u"https://staging.example.org"_s << true;
        QTest::newRow("http loopback") << u"http://127.0.0.1:8765"_s << true;
        QTest::newRow("http remote") << u"http://example.org"_s << false;
        QTest::newRow("trailing slash") << u"https://example.org/"_s << false;
        QTest::newRow("with a path") << u"https://example.org/portal"_s << false;
        QTest::newRow("not a url") << u"https://exa mple.org"_s << false;
        QTest::newRow("credentials") << u"https://user:pw@example.org"_s << false;
    }

    void portalOverride()
    {
        QFETCH(QString, override);
        QFETCH(bool, accepted);
        QCOMPARE(PortalAddress::resolve(override), accepted ? override : QString(PortalAddress::kDefault));
    }
};

QTEST_MAIN(AppViewModelTest)
#include "appviewmodeltest.moc"
