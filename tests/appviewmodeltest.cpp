#include "support/testenvironment.h"

#include "state/portaladdress.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace
{
QByteArray encode(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray encode(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

const User kUser{.id = 42, .email = u"ada@example.org"_s, .createdAt = u"2024-05-01T10:00:00.000Z"_s};

void storeSession(Preferences &preferences)
{
    preferences.setText(Preferences::kJWTToken, u"token-1"_s);
    preferences.setData(Preferences::kCurrentUser, encode(kUser.toJson()));
}
}

class AppViewModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartOnEmptyPreferences()
    {
        TestEnvironment environment;
        const auto model = environment.makeViewModel();

        QVERIFY(model->rememberMe());
        QVERIFY(model->showHeaderEmail());
        QVERIFY(!model->hasBrowserPermission());
        QVERIFY(!model->isAuthenticated());
        QVERIFY(!model->currentUser());
        QVERIFY(model->emailInput().isEmpty() && model->passwordInput().isEmpty());
        QCOMPARE(model->authMode(), AppViewModel::AuthMode::Login);
        QCOMPARE(model->visibleLimit(), 5);
        QCOMPARE(model->activeTab().title, u"Current Tab"_s);
        QCOMPARE(model->activeTab().browserName, u"Google Chrome"_s);
        QCOMPARE(model->apiBaseURL(), u"https://portal.test/api"_s);
        QVERIFY(model->websites().isEmpty());

        const auto stored = environment.preferences();
        QVERIFY(stored->contains(Preferences::kRememberMe) && stored->boolValue(Preferences::kRememberMe));
        QVERIFY(stored->contains(Preferences::kShowHeaderEmail) && stored->boolValue(Preferences::kShowHeaderEmail));
        QVERIFY(!stored->contains(Preferences::kBrowserPermission));
    }

    void storedChoicesAreRead()
    {
        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            preferences->setBool(Preferences::kShowHeaderEmail, false);
            preferences->setBool(Preferences::kBrowserPermission, true);
            preferences->setBool(Preferences::kRememberMe, false);
            preferences->setText(Preferences::kRememberedEmail, u"kept@example.org"_s);
        }
        const auto model = environment.makeViewModel();
        QVERIFY(!model->showHeaderEmail());
        QVERIFY(model->hasBrowserPermission());
        QVERIFY(!model->rememberMe());
        // Remember-me is off, so the stored address is not shown.
        QVERIFY(model->emailInput().isEmpty());
    }

    void sessionRestore_data()
    {
        QTest::addColumn<QVariant>("token");
        QTest::addColumn<QVariant>("user");
        QTest::addColumn<bool>("signedIn");

        const QVariant absent;
        const QVariant goodUser = encode(kUser.toJson());
        QTest::newRow("token and user") << QVariant(u"token-1"_s) << goodUser << true;
        QTest::newRow("no token") << absent << goodUser << false;
        QTest::newRow("empty token") << QVariant(u""_s) << goodUser << false;
        QTest::newRow("token without user") << QVariant(u"token-1"_s) << absent << false;
        QTest::newRow("user is not JSON") << QVariant(u"token-1"_s) << QVariant(QByteArray("{not json")) << false;
        QTest::newRow("user lacks email") << QVariant(u"token-1"_s) << QVariant(encode(QJsonObject{{u"id"_s, 1}})) << false;
        QTest::newRow("user id as text") << QVariant(u"token-1"_s)
                                         << QVariant(encode(QJsonObject{{u"id"_s, u"1"_s}, {u"email"_s, u"a@b.c"_s}})) << false;
        QTest::newRow("user is an array") << QVariant(u"token-1"_s) << QVariant(QByteArray("[1]")) << false;
        QTest::newRow("user stored as a number") << QVariant(u"token-1"_s) << QVariant(17) << false;
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
        // A broken session is not cleaned up: the token stays until the next sign-in replaces it.
        QCOMPARE(environment.preferences()->text(Preferences::kJWTToken), token.isValid() ? std::optional(token.toString()) : std::nullopt);
    }

    void restoredLibraryComesFromThePreferencesCopyInLibraryOrder()
    {
        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            storeSession(*preferences);
            const QList<SavedWebsite> stored{
                {.id = 1, .url = u"https://a.test"_s, .title = u"old"_s, .createdAt = u"2024-01-01"_s},
                {.id = 2, .url = u"https://b.test"_s, .title = u"pinned"_s, .isPinned = true, .createdAt = u"2023-01-01"_s},
                {.id = 3, .url = u"https://c.test"_s, .title = u"new"_s, .createdAt = u"2024-06-01"_s},
            };
            preferences->setData(Preferences::kSavedWebsites, encode(SavedWebsite::listToJson(stored)));
        }
        const auto model = environment.makeViewModel();
        QVERIFY(model->isAuthenticated());
        QList<qint64> ids;
        for (const SavedWebsite &website : model->websites())
            ids.append(website.id);
        QCOMPARE(ids, (QList<qint64>{2, 3, 1}));
    }

    void corruptLibraryCopyIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("not JSON") << "[{\"id\":1"_ba;
        QTest::newRow("object instead of array") << R"({"id":1,"url":"u","title":"t"})"_ba;
        QTest::newRow("one bad element") << R"([{"id":1,"url":"u","title":"t"},{"id":"2","url":"u","title":"t"}])"_ba;
    }

    void corruptLibraryCopyIsIgnored()
    {
        QFETCH(QByteArray, stored);
        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            storeSession(*preferences);
            preferences->setData(Preferences::kSavedWebsites, stored);
        }
        const auto model = environment.makeViewModel();
        QVERIFY(model->isAuthenticated());
        QVERIFY(model->websites().isEmpty());
    }

    void rememberedCredentialsAreFiltered_data()
    {
        QTest::addColumn<QString>("storedEmail");
        QTest::addColumn<QString>("storedPassword");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");

        QTest::newRow("plain") << u"ada@example.org"_s << u"secret"_s << u"ada@example.org"_s << u"secret"_s;
        QTest::newRow("spaces") << u" ada @example.org "_s << u"my secret "_s << u"ada@example.org"_s << u"my secret "_s;
        QTest::newRow("accented letters") << u"zoë@exämple.org"_s << u"pässwörd"_s << u"zo@exmple.org"_s << u"psswrd"_s;
        QTest::newRow("combining mark drops its base") << u"e\u0301x@a.b"_s << u"e\u0301x"_s << u"x@a.b"_s << u"x"_s;
        QTest::newRow("emoji") << u"a😀b@c.d"_s << u"p👍🏽w"_s << u"ab@c.d"_s << u"pw"_s;
        QTest::newRow("CR LF") << u"a\r\nb@c.d"_s << u"p\r\nw"_s << u"ab@c.d"_s << u"p\r\nw"_s;
        QTest::newRow("tab and newline") << u"a\tb\n@c.d"_s << u"p\tw\n"_s << u"ab@c.d"_s << u"p\tw\n"_s;
    }

    void rememberedCredentialsAreFiltered()
    {
        QFETCH(QString, storedEmail);
        QFETCH(QString, storedPassword);
        QFETCH(QString, email);
        QFETCH(QString, password);

        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            preferences->setText(Preferences::kRememberedEmail, storedEmail);
            preferences->setText(Preferences::kRememberedPassword, storedPassword);
        }
        const auto model = environment.makeViewModel();
        QCOMPARE(model->emailInput(), email);
        QCOMPARE(model->passwordInput(), password);
    }

    void typedInputIsFilteredOnce_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");

        QTest::newRow("code drops spaces and letters beyond ASCII") << "otpCodeInput"_ba << u"12 3٤56"_s << u"12356"_s;
        QTest::newRow("new password keeps spaces") << "newPasswordInput"_ba << u"a b ü"_s << u"a b "_s;
        QTest::newRow("current password") << "currentPasswordInput"_ba << u"x😀y"_s << u"xy"_s;
        QTest::newRow("change new password") << "changeNewPasswordInput"_ba << u"ñ1"_s << u"1"_s;
        QTest::newRow("change confirm") << "changeConfirmPasswordInput"_ba << u"ok\r\n"_s << u"ok\r\n"_s;
        QTest::newRow("email drops CR LF") << "emailInput"_ba << u"a\r\n@b"_s << u"a@b"_s;
        QTest::newRow("search is not filtered") << "searchQuery"_ba << u"Ünï code"_s << u"Ünï code"_s;
    }

    void typedInputIsFilteredOnce()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, typed);
        QFETCH(QString, kept);

        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        const QMetaProperty metaProperty = model->metaObject()->property(model->metaObject()->indexOfProperty(property));
        QSignalSpy changed(model.get(), metaProperty.notifySignal());
        QVERIFY(model->setProperty(property, typed));
        QCOMPARE(model->property(property).toString(), kept);
        QCOMPARE(changed.count(), 1);
        // Writing the filtered value back is not a change.
        QVERIFY(model->setProperty(property, kept));
        QCOMPARE(changed.count(), 1);
    }

    void refusedCharactersAreAnsweredEvenWhenNothingChanges_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");

        QTest::newRow("accent after an address") << "emailInput"_ba << u"abc"_s << u"abcé"_s;
        QTest::newRow("space in a code") << "otpCodeInput"_ba << u"12"_s << u"12 "_s;
        QTest::newRow("emoji in a password") << "passwordInput"_ba << u"pw"_s << u"pw😀"_s;
    }

    void refusedCharactersAreAnsweredEvenWhenNothingChanges()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, before);
        QFETCH(QString, typed);

        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        QVERIFY(model->setProperty(property, before));
        const QMetaProperty metaProperty = model->metaObject()->property(model->metaObject()->indexOfProperty(property));
        QSignalSpy changed(model.get(), metaProperty.notifySignal());
        // A text field bound to the property shows what was typed until it hears otherwise.
        QVERIFY(model->setProperty(property, typed));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model->property(property).toString(), before);
    }

    void rememberMeSwitch()
    {
        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            preferences->setText(Preferences::kRememberedEmail, u"ada@example.org"_s);
            preferences->setText(Preferences::kRememberedPassword, u"pw"_s);
        }
        const auto model = environment.makeViewModel();
        model->updateRememberMe(false);
        QVERIFY(!model->rememberMe());
        Preferences &defaults = model->defaults();
        QVERIFY(defaults.contains(Preferences::kRememberMe) && !defaults.boolValue(Preferences::kRememberMe));
        QVERIFY(!defaults.contains(Preferences::kRememberedEmail));
        QVERIFY(!defaults.contains(Preferences::kRememberedPassword));

        model->updateRememberMe(true);
        QVERIFY(defaults.boolValue(Preferences::kRememberMe));
        QVERIFY(!defaults.contains(Preferences::kRememberedEmail));

        model->syncRememberedCredentials(u"new@example.org"_s, u"new pw"_s);
        QCOMPARE(defaults.text(Preferences::kRememberedEmail), u"new@example.org"_s);
        QCOMPARE(defaults.text(Preferences::kRememberedPassword), u"new pw"_s);

        model->updateRememberMe(false);
        model->syncRememberedCredentials(u"other@example.org"_s, u"x"_s);
        QVERIFY(!defaults.contains(Preferences::kRememberedEmail));
        QVERIFY(!defaults.boolValue(Preferences::kRememberMe));
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
        {
            const auto preferences = environment.preferences();
            storeSession(*preferences);
            preferences->setData(Preferences::kSavedWebsites, R"([{"id":1,"url":"u","title":"t"}])"_ba);
            preferences->setBool(Preferences::kRememberMe, rememberMe);
            preferences->setText(Preferences::kRememberedEmail, u"ada@example.org"_s);
            preferences->setText(Preferences::kRememberedPassword, u"pw"_s);
            preferences->setBool(Preferences::kBrowserPermission, true);
            preferences->setBool(Preferences::kShowHeaderEmail, false);
        }
        const auto model = environment.makeViewModel();
        QVERIFY(model->isAuthenticated());
        QCOMPARE(model->websites().size(), 1);
        model->setShowSettings(true);
        model->setEmailInput(u"typed@example.org"_s);

        model->logout();

        QVERIFY(!model->showSettings());
        QVERIFY(!model->isAuthenticated());
        QVERIFY(!model->currentUser());
        QVERIFY(model->websites().isEmpty());
        QVERIFY(!model->authError());
        QCOMPARE(model->authMode(), AppViewModel::AuthMode::Login);
        QCOMPARE(model->emailInput(), rememberMe ? u"ada@example.org"_s : QString());
        QCOMPARE(model->passwordInput(), rememberMe ? u"pw"_s : QString());

        const auto stored = environment.preferences();
        QVERIFY(!stored->contains(Preferences::kJWTToken));
        QVERIFY(!stored->contains(Preferences::kCurrentUser));
        QVERIFY(!stored->contains(Preferences::kSavedWebsites));
        QCOMPARE(stored->boolValue(Preferences::kRememberMe), rememberMe);
        QCOMPARE(stored->text(Preferences::kRememberedEmail), u"ada@example.org"_s);
        QVERIFY(stored->boolValue(Preferences::kBrowserPermission));
        QVERIFY(stored->contains(Preferences::kShowHeaderEmail) && !stored->boolValue(Preferences::kShowHeaderEmail));
    }

    void portalLinks_data()
    {
        QTest::addColumn<QVariant>("token");
        QTest::addColumn<QString>("accountUrl");
        QTest::addColumn<QString>("contactUrl");

        QTest::newRow("signed out") << QVariant() << u"https://portal.test/account"_s << u"https://portal.test/contact"_s;
        QTest::newRow("empty token") << QVariant(u""_s) << u"https://portal.test/account"_s << u"https://portal.test/contact"_s;
        QTest::newRow("plain token") << QVariant(u"abc.DEF-123_~"_s) << u"https://portal.test/account?token=abc.DEF-123_~"_s
                                     << u"https://portal.test/contact?token=abc.DEF-123_~"_s;
        QTest::newRow("query delimiters are escaped")
            << QVariant(u"a+b=c&d/e f#g"_s) << u"https://portal.test/account?token=a%2Bb%3Dc%26d%2Fe%20f%23g"_s
            << u"https://portal.test/contact?token=a%2Bb%3Dc%26d%2Fe%20f%23g"_s;
    }

    void portalLinks()
    {
        QFETCH(QVariant, token);
        QFETCH(QString, accountUrl);
        QFETCH(QString, contactUrl);

        TestEnvironment environment;
        if (token.isValid())
            environment.preferences()->setText(Preferences::kJWTToken, token.toString());
        const auto model = environment.makeViewModel();
        model->openAccountPortal();
        model->openContactPage();
        const QList<QUrl> opened = environment.workspace()->openedUrls;
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened.at(0).toString(QUrl::FullyEncoded), accountUrl);
        QCOMPARE(opened.at(1).toString(QUrl::FullyEncoded), contactUrl);
        // The token must survive the trip through the address intact.
        if (!token.toString().isEmpty())
            QCOMPARE(QUrlQuery(opened.at(0)).queryItemValue(u"token"_s, QUrl::FullyDecoded), token.toString());
    }

    void headerEmailChoiceIsStored()
    {
        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        QSignalSpy changed(model.get(), &AppViewModel::showHeaderEmailChanged);
        model->setShowHeaderEmail(false);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!environment.preferences()->boolValue(Preferences::kShowHeaderEmail));
        QVERIFY(!environment.makeViewModel()->showHeaderEmail());
    }

    void portalOverride_data()
    {
        QTest::addColumn<QString>("override");
        QTest::addColumn<QString>("portal");

        const QString fallback(PortalAddress::kDefault);
        QTest::newRow("unset") << QString() << fallback;
        QTest::newRow("https origin") << u"https://staging.example.org"_s << u"https://staging.example.org"_s;
        QTest::newRow("https with port") << u"https://example.org:8443"_s << u"https://example.org:8443"_s;
        QTest::newRow("http loopback") << u"http://127.0.0.1:8765"_s << u"http://127.0.0.1:8765"_s;
        QTest::newRow("http localhost") << u"http://localhost:8765"_s << u"http://localhost:8765"_s;
        QTest::newRow("http ipv6 loopback") << u"http://[::1]:8765"_s << u"http://[::1]:8765"_s;
        QTest::newRow("http remote") << u"http://example.org"_s << fallback;
        QTest::newRow("http private address") << u"http://192.168.1.2:8765"_s << fallback;
        QTest::newRow("trailing slash") << u"https://example.org/"_s << fallback;
        QTest::newRow("with a path") << u"https://example.org/portal"_s << fallback;
        QTest::newRow("with a query") << u"https://example.org?x=1"_s << fallback;
        QTest::newRow("other scheme") << u"ftp://example.org"_s << fallback;
        QTest::newRow("not a url") << u"https://exa mple.org"_s << fallback;
        QTest::newRow("credentials") << u"https://user:pw@example.org"_s << fallback;
    }

    void portalOverride()
    {
        QFETCH(QString, override);
        QFETCH(QString, portal);
        QCOMPARE(PortalAddress::resolve(override), portal);
    }
};

QTEST_MAIN(AppViewModelTest)
#include "appviewmodeltest.moc"
