#include "rawhttpclient.h"
#include "serverprocess.h"
#include "support/testdata.h"
#include "support/testenvironment.h"

#include "authenticationcard.h"
#include "backendclient.h"
#include "library.h"

#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace
{
const QString kEmail = u"Grace.Hopper@Example.org"_s;
const QString kPassword = u"first password 1"_s;
}

// The panel against a real server: the account and library flows end to end.
class EndToEndTest : public QObject
{
    Q_OBJECT

private:
    ServerProcess m_server;

    // Fills the card for mode and submits it, waiting until the request has been handled.
    static void submit(AppViewModel &model, AuthenticationCard::AuthMode mode, const QString &email, const QString &password)
    {
        AuthenticationCard &card = *model.account();
        if (card.authMode() != mode)
            card.switchAuthMode(mode);
        card.setEmailInput(email);
        card.setPasswordInput(password);
        card.submitAuth();
        QTRY_VERIFY(!card.isAuthLoading());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorString())); }

    void registrationSignInAndTheLibrary()
    {
        TestEnvironment environment;
        auto client = environment.makeViewModel(m_server.baseUrl().toString());

        submit(*client, AuthenticationCard::AuthMode::Register, kEmail, kPassword);
        QVERIFY2(client->isAuthenticated(), qPrintable(client->account()->authError().value_or(QString())));
        QCOMPARE(client->currentUser()->email.toLower(), kEmail.toLower());
        QVERIFY(!environment.preferences()->contains(Preferences::kRememberedEmail));

        submit(*client, AuthenticationCard::AuthMode::Register, kEmail.toUpper(), kPassword);
        QCOMPARE(client->account()->authError(), u"An account with this email already exists."_s);

        client->logout();
        submit(*client, AuthenticationCard::AuthMode::Login, kEmail, u"wrong password 1"_s);
        QVERIFY(!client->isAuthenticated());
        QCOMPARE(client->account()->authError(), u"Incorrect email or password."_s);

        submit(*client, AuthenticationCard::AuthMode::Login, kEmail, kPassword);
        QVERIFY(client->isAuthenticated());
        QCOMPARE(environment.preferences()->text(Preferences::kRememberedEmail), kEmail);

        const QString token = client->backend().token().value_or(QString());
        // Saved straight through the API, as the panel's save button would.
        ApiClient api(m_server.baseUrl());
        const qint64 first = api.addId(token, u"https://www.first.test/a"_s, u"First"_s);
        const qint64 second = api.addId(token, u"https://second.test/b"_s, u"Second"_s);
        const qint64 third = api.addId(token, u"https://third.test/c"_s, u"Third"_s);
        QCoro::waitFor(client->library()->fetchWebsites());
        QCOMPARE(idsOf(client->library()->websites()), (QList<qint64>{third, second, first}));

        client->library()->togglePin(first);
        QCOMPARE(idsOf(client->library()->websites()), (QList<qint64>{first, third, second}));
        // Until the server has the pin, a fetch shows the list without it.
        QTRY_VERIFY((QCoro::waitFor(client->library()->fetchWebsites()), client->library()->websites().first().pinned()));

        client->library()->togglePin(first);
        client->library()->updateWebsiteTitle(second, u"  Renamed  "_s);
        client->library()->deleteWebsite(third);
        QTRY_COMPARE(idsOf(client->library()->websites()), (QList<qint64>{second, first}));
        QTRY_COMPARE(client->library()->websites().first().title, u"Renamed"_s);
        QTRY_VERIFY(!client->library()->websites().last().pinned());

        // The server kept all three changes.
        QCoro::waitFor(client->library()->fetchWebsites());
        const QList<SavedWebsite> library = client->library()->websites();
        QCOMPARE(idsOf(library), (QList<qint64>{second, first}));
        QVERIFY(!library.last().pinned());
        QCOMPARE(library.first().title, u"Renamed"_s);

        // The account page opens with a one-time code that the portal takes once, never the token.
        client->openAccountPortal();
        QTRY_COMPARE(environment.workspace()->openedUrls.size(), 1);
        const QUrl account = environment.workspace()->openedUrls.first();
        QCOMPARE(account.path(), u"/account"_s);
        QVERIFY(!account.toString().contains(token));
        const QString code = QUrlQuery(account).queryItemValue(u"code"_s);
        QVERIFY(!code.isEmpty());
        QCOMPARE(api.request("GET", u"/account?code="_s + code).status, 303);
        QCOMPARE(api.request("GET", u"/account?code="_s + code).status, 401);
    }
};

QTEST_MAIN(EndToEndTest)
#include "endtoendtest.moc"
