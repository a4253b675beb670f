#include "serverprocess.h"
#include "support/testenvironment.h"

#include <QCoroNetworkReply>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
const QString kEmail = u"Grace.Hopper@Example.org"_s;
const QString kPassword = u"first password 1"_s;

QList<qint64> idsOf(const QList<SavedWebsite> &websites)
{
    QList<qint64> ids;
    for (const SavedWebsite &website : websites)
        ids.append(website.id);
    return ids;
}
}

// The client's view model against a real corvane-server child process: what a person does in the
// panel, from registration to a session that the server has ended. The cases run in the order
// they are declared and share one server and one account, whose password each case leaves as
// the next expects.
class EndToEndTest : public QObject
{
    Q_OBJECT

private:
    ServerProcess m_server;

    std::unique_ptr<AppViewModel> makeClient(TestEnvironment &environment)
    {
        return environment.makeViewModel(m_server.baseUrl().toString());
    }

    // Fills the card for mode and submits it, waiting until the request has been handled.
    static void submit(AppViewModel &model, AppViewModel::AuthMode mode, const QString &email, const QString &password)
    {
        if (model.authMode() != mode)
            model.switchAuthMode(mode);
        model.setEmailInput(email);
        model.setPasswordInput(password);
        model.submitAuth();
        QTRY_VERIFY(!model.isAuthLoading());
    }

    // Creates a website straight through the API, as the save button of the panel would.
    SavedWebsite createWebsite(const QString &token, const QString &url, const QString &title)
    {
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(m_server.apiUrl().toString() + "/websites"_L1));
        request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        const QJsonObject body{{u"url"_s, url}, {u"title"_s, title}, {u"content"_s, u"Text of "_s + title}};
        std::unique_ptr<QNetworkReply> reply(network.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact)));
        QCoro::waitFor(qCoro(reply.get()).waitForFinished());
        const auto decoded = SingleWebsiteResponse::fromJson(QJsonDocument::fromJson(reply->readAll()).object());
        if (!decoded)
            qFatal("creating a website failed: %s", qPrintable(decoded.error()));
        return decoded.value().website;
    }

    static QString storedToken(const AppViewModel &model)
    {
        return model.defaults().text(Preferences::kJWTToken).value_or(QString());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    }

    void registrationSignInAndTheLibrary()
    {
        TestEnvironment environment;
        auto client = makeClient(environment);

        submit(*client, AppViewModel::AuthMode::Register, kEmail, kPassword);
        QVERIFY2(client->isAuthenticated(), qPrintable(client->authError().value_or(QString())));
        QCOMPARE(client->currentUser()->email.toLower(), kEmail.toLower());
        QVERIFY(!environment.preferences()->contains(Preferences::kRememberedEmail));

        submit(*client, AppViewModel::AuthMode::Register, kEmail.toUpper(), kPassword);
        QCOMPARE(client->authError(), u"An account with this email already exists."_s);

        client->logout();
        submit(*client, AppViewModel::AuthMode::Login, kEmail, u"wrong password 1"_s);
        QVERIFY(!client->isAuthenticated());
        QCOMPARE(client->authError(), u"Incorrect email or password."_s);

        submit(*client, AppViewModel::AuthMode::Login, kEmail, kPassword);
        QVERIFY(client->isAuthenticated());
        QCOMPARE(environment.preferences()->text(Preferences::kRememberedEmail), kEmail);

        const QString token = storedToken(*client);
        const SavedWebsite first = createWebsite(token, u"https://www.first.test/a"_s, u"First"_s);
        const SavedWebsite second = createWebsite(token, u"https://second.test/b"_s, u"Second"_s);
        const SavedWebsite third = createWebsite(token, u"https://third.test/c"_s, u"Third"_s);
        QCoro::waitFor(client->fetchWebsites());
        QCOMPARE(idsOf(client->websites()), (QList<qint64>{third.id, second.id, first.id}));
        QCOMPARE(client->websites().last().formattedDomain(), u"first.test"_s);

        QCoro::waitFor(client->togglePin(first.id));
        QCOMPARE(idsOf(client->websites()), (QList<qint64>{first.id, third.id, second.id}));

        // A restarted client shows the cached library at once and the server agrees with it.
        client.reset();
        client = makeClient(environment);
        QVERIFY(client->isAuthenticated());
        QCOMPARE(idsOf(client->websites()), (QList<qint64>{first.id, third.id, second.id}));
        QCoro::waitFor(client->fetchWebsites());
        QVERIFY(client->websites().first().pinned());

        QCoro::waitFor(client->togglePin(first.id));
        QCoro::waitFor(client->updateWebsiteTitle(second.id, u"  Renamed  "_s));
        QCoro::waitFor(client->deleteWebsite(third.id));

        client.reset();
        client = makeClient(environment);
        QCoro::waitFor(client->fetchWebsites());
        const QList<SavedWebsite> library = client->websites();
        QCOMPARE(idsOf(library), (QList<qint64>{second.id, first.id}));
        QVERIFY(!library.last().pinned());
        QCOMPARE(library.first().title, u"Renamed"_s);

        const QString exportPath = environment.path(u"export.json"_s);
        environment.saveDialog()->answer = exportPath;
        client->exportBookmarksToFile();
        QFile exported(exportPath);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const auto decoded = SavedWebsite::listFromJson(QJsonDocument::fromJson(exported.readAll()).array());
        QVERIFY(decoded);
        QCOMPARE(decoded.value(), library);
    }

    void passwordResetWithTheMailedCode()
    {
        TestEnvironment environment;
        auto client = makeClient(environment);
        client->switchAuthMode(AppViewModel::AuthMode::ForgotPassword);
        client->setEmailInput(kEmail.toUpper());
        client->requestPasswordReset();
        QTRY_COMPARE(client->authMode(), AppViewModel::AuthMode::EnterOtp);
        const QString code = m_server.latestResetCode(kEmail);
        QCOMPARE(code.size(), 6);

        client->setOtpCodeInput(code);
        client->setNewPasswordInput(u"second password 2"_s);
        client->confirmPasswordReset();
        QTRY_COMPARE(client->authMode(), AppViewModel::AuthMode::Login);
        QVERIFY(!client->authError());

        submit(*client, AppViewModel::AuthMode::Login, kEmail, kPassword);
        QCOMPARE(client->authError(), u"Incorrect email or password."_s);
        submit(*client, AppViewModel::AuthMode::Login, kEmail, u"second password 2"_s);
        QVERIFY(client->isAuthenticated());
    }

    void fiveWrongCodesEndTheCode()
    {
        TestEnvironment environment;
        auto client = makeClient(environment);
        client->switchAuthMode(AppViewModel::AuthMode::ForgotPassword);
        client->setEmailInput(kEmail);
        client->requestPasswordReset();
        QTRY_COMPARE(client->authMode(), AppViewModel::AuthMode::EnterOtp);
        const QString code = m_server.latestResetCode(kEmail);
        const QString wrongCode = code == "000000"_L1 ? u"111111"_s : u"000000"_s;

        for (int attempt = 0; attempt < 5; ++attempt) {
            client->setOtpCodeInput(wrongCode);
            client->setNewPasswordInput(u"never used 3"_s);
            client->confirmPasswordReset();
            QTRY_VERIFY(!client->isAuthLoading());
            QCOMPARE(client->authError(), u"The verification code is incorrect."_s);
        }
        client->setOtpCodeInput(code);
        client->setNewPasswordInput(u"never used 3"_s);
        client->confirmPasswordReset();
        QTRY_VERIFY(!client->isAuthLoading());
        QVERIFY(client->authError());
        QCOMPARE(client->authMode(), AppViewModel::AuthMode::EnterOtp);

        submit(*client, AppViewModel::AuthMode::Login, kEmail, u"never used 3"_s);
        QVERIFY(!client->isAuthenticated());
    }

    void passwordChangeEndsTheOtherSessions()
    {
        TestEnvironment deskEnvironment;
        TestEnvironment laptopEnvironment;
        auto desk = makeClient(deskEnvironment);
        auto laptop = makeClient(laptopEnvironment);
        submit(*desk, AppViewModel::AuthMode::Login, kEmail, u"second password 2"_s);
        submit(*laptop, AppViewModel::AuthMode::Login, kEmail, u"second password 2"_s);
        QVERIFY(desk->isAuthenticated() && laptop->isAuthenticated());

        desk->setChangePasswordOpen(true);
        desk->setCurrentPasswordInput(u"second password 2"_s);
        desk->setChangeNewPasswordInput(u"third password 3"_s);
        desk->setChangeConfirmPasswordInput(u"third password 3"_s);
        desk->changePassword();
        QTRY_VERIFY(desk->changePasswordSuccess());
        QVERIFY(!desk->changePasswordError());

        // The desk keeps its session; the laptop's token no longer counts.
        QCoro::waitFor(desk->fetchWebsites());
        QVERIFY(desk->isAuthenticated());
        QCoro::waitFor(laptop->fetchWebsites());
        QVERIFY(!laptop->isAuthenticated());
        QCOMPARE(laptop->authError(), u"Your session ended. Please sign in again."_s);
        QVERIFY(!laptopEnvironment.preferences()->contains(Preferences::kJWTToken));

        submit(*laptop, AppViewModel::AuthMode::Login, kEmail, u"third password 3"_s);
        QVERIFY(laptop->isAuthenticated());
    }
};

QTEST_MAIN(EndToEndTest)
#include "endtoendtest.moc"
