#include "account/accountvalidation.h"
#include "support/stubserver.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
using Mode = AppViewModel::AuthMode;

const User kUser{.id = 7, .email = u"ada@example.org"_s};
const QJsonObject kAuthAnswer{{u"token"_s, u"fresh-token"_s}, {u"user"_s, kUser.toJson()}};
const QString kSessionEnded = u"Your session ended. Please sign in again."_s;

QJsonObject jsonOf(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

// The password form has its own busy flag and message lines; the authentication card shares one.
QByteArray busyFlagOf(const QByteArray &operation)
{
    return operation == "changePassword" ? "isChangingPassword" : "isAuthLoading";
}

QByteArray errorLineOf(const QByteArray &operation)
{
    return operation == "changePassword" ? "changePasswordError" : "authError";
}

// Starts an operation that raises its busy flag at once, and waits until the flag is down again.
bool runUntilIdle(AppViewModel &model, const QByteArray &operation)
{
    const QByteArray busy = busyFlagOf(operation);
    if (!QMetaObject::invokeMethod(&model, operation.constData()) || !model.property(busy).toBool())
        return false;
    return QTest::qWaitFor([&] { return !model.property(busy).toBool(); }, 5000);
}

void enterInputs(AppViewModel &model, const QVariantMap &inputs)
{
    for (auto input = inputs.cbegin(); input != inputs.cend(); ++input)
        model.setProperty(input.key().toUtf8().constData(), input.value());
}

void storeSession(Preferences &preferences)
{
    preferences.setText(Preferences::kJWTToken, u"session-token"_s);
    preferences.setData(Preferences::kCurrentUser, QJsonDocument(kUser.toJson()).toJson(QJsonDocument::Compact));
}

void storeRememberedAccount(Preferences &preferences)
{
    preferences.setText(Preferences::kRememberedEmail, u"kept@example.org"_s);
    preferences.setText(Preferences::kRememberedPassword, u"kept password"_s);
}
}

class AccountFlowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void localChecks_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("third");
        QTest::addColumn<QString>("message");

        const QString fill = u"Please enter your email and password."_s;
        const QString signInAscii = u"Email and password must contain English characters only."_s;
        const QString shortPassword = u"Password must be at least 6 characters."_s;
        const QString allAscii = u"All fields must contain English characters only."_s;
        const QString changeAscii = u"Passwords must contain English characters only."_s;
        const QString changeShort = u"New password must be at least 6 characters."_s;
        const QString mismatch = u"New passwords do not match."_s;
        const QString none;

        QTest::newRow("sign in: no email") << u"login"_s << u""_s << u"secret"_s << none << fill;
        QTest::newRow("sign in: no password") << u"login"_s << u"a@b.c"_s << u""_s << none << fill;
        QTest::newRow("sign in: emptiness before letters") << u"login"_s << u"é@b.c"_s << u""_s << none << fill;
        QTest::newRow("sign in: accented email") << u"login"_s << u"é@b.c"_s << u"secret"_s << none << signInAscii;
        QTest::newRow("sign in: combining mark") << u"login"_s << u"e\u0301@b.c"_s << u"secret"_s << none << signInAscii;
        QTest::newRow("sign in: emoji password") << u"login"_s << u"a@b.c"_s << u"secret😀"_s << none << signInAscii;
        QTest::newRow("sign in: short password goes out") << u"login"_s << u"a@b.c"_s << u"12345"_s << none << none;
        QTest::newRow("register: short password") << u"register"_s << u"a@b.c"_s << u"12345"_s << none << shortPassword;
        QTest::newRow("register: letters before length") << u"register"_s << u"a@b.c"_s << u"ü"_s << none << signInAscii;
        QTest::newRow("register: six blanks") << u"register"_s << u"a@b.c"_s << u"      "_s << none << none;
        QTest::newRow("register: CR LF is one character") << u"register"_s << u"a@b.c"_s << u"abcd\r\n"_s << none << shortPassword;
        QTest::newRow("register: six with CR LF") << u"register"_s << u"a@b.c"_s << u"abcde\r\n"_s << none << none;

        QTest::newRow("code request: no email") << u"request"_s << u""_s << none << none << u"Please enter your email address."_s;
        QTest::newRow("code request: accented email") << u"request"_s << u"ü@b.c"_s << none << none
                                                      << u"Email must contain English characters only."_s;
        QTest::newRow("code request: fine") << u"request"_s << u"a@b.c"_s << none << none << none;

        QTest::newRow("reset: no email before no code") << u"reset"_s << u""_s << u""_s << u""_s << u"Email is required."_s;
        QTest::newRow("reset: no code") << u"reset"_s << u"a@b.c"_s << u""_s << u"secret"_s
                                        << u"Please enter the 6-digit verification code."_s;
        QTest::newRow("reset: accented code") << u"reset"_s << u"a@b.c"_s << u"12٣"_s << u"secret"_s << allAscii;
        QTest::newRow("reset: letters before length") << u"reset"_s << u"a@b.c"_s << u"123456"_s << u"ß"_s << allAscii;
        QTest::newRow("reset: short password") << u"reset"_s << u"a@b.c"_s << u"123456"_s << u"12345"_s << shortPassword;
        QTest::newRow("reset: any code goes out") << u"reset"_s << u"a@b.c"_s << u"abc"_s << u"secret"_s << none;

        QTest::newRow("change: current first") << u"change"_s << u""_s << u"1"_s << u"2"_s << u"Please enter your current password."_s;
        QTest::newRow("change: letters before length") << u"change"_s << u"old"_s << u"1"_s << u"ñ"_s << changeAscii;
        QTest::newRow("change: accented current") << u"change"_s << u"öld"_s << u"secret"_s << u"secret"_s << changeAscii;
        QTest::newRow("change: short even when matching") << u"change"_s << u"old"_s << u"12345"_s << u"12345"_s << changeShort;
        QTest::newRow("change: mismatch") << u"change"_s << u"old"_s << u"123456"_s << u"123457"_s << mismatch;
        QTest::newRow("change: blanks") << u"change"_s << u" "_s << u"      "_s << u"      "_s << none;
    }

    void localChecks()
    {
        QFETCH(QString, form);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, third);
        QFETCH(QString, message);

        std::optional<QString> problem;
        if (form == "login"_L1 || form == "register"_L1)
            problem = AccountValidation::checkSignIn(first, second, form == "register"_L1);
        else if (form == "request"_L1)
            problem = AccountValidation::checkResetRequest(first);
        else if (form == "reset"_L1)
            problem = AccountValidation::checkResetConfirmation(first, second, third);
        else
            problem = AccountValidation::checkPasswordChange(first, second, third);
        QCOMPARE(problem.value_or(QString()), message);
    }

    void switchingScreens()
    {
        TestEnvironment environment;
        storeRememberedAccount(*environment.preferences());
        const auto model = environment.makeViewModel();
        model->setEmailInput(QString());
        model->submitAuth();
        QVERIFY(model->authError());

        model->switchAuthMode(Mode::Register);
        QCOMPARE(model->authMode(), Mode::Register);
        QVERIFY(!model->authError());
        QVERIFY(model->emailInput().isEmpty() && model->passwordInput().isEmpty());

        model->switchAuthMode(Mode::Login);
        QCOMPARE(model->emailInput(), u"kept@example.org"_s);
        QCOMPARE(model->passwordInput(), u"kept password"_s);

        model->setOtpCodeInput(u"123456"_s);
        model->setNewPasswordInput(u"new one"_s);
        model->switchAuthMode(Mode::ForgotPassword);
        QCOMPARE(model->emailInput(), u"kept@example.org"_s);
        QCOMPARE(model->otpCodeInput(), u"123456"_s);

        model->switchAuthMode(Mode::EnterOtp);
        QVERIFY(model->otpCodeInput().isEmpty() && model->newPasswordInput().isEmpty());
        QCOMPARE(model->emailInput(), u"kept@example.org"_s);
    }

    void invalidInputSendsNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVariantMap>("inputs");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("message");

        // The messages and their order are checked above; these show each form reports in its own
        // line and sends nothing.
        QTest::newRow("registration with five characters")
            << int(Mode::Register) << QVariantMap{{u"emailInput"_s, u"a@b.c"_s}, {u"passwordInput"_s, u"12345"_s}} << "submitAuth"_ba
            << u"Password must be at least 6 characters."_s;
        QTest::newRow("code request without email") << int(Mode::ForgotPassword) << QVariantMap{{u"emailInput"_s, u""_s}}
                                                    << "requestPasswordReset"_ba << u"Please enter your email address."_s;
        QTest::newRow("reset with the address lost on the way")
            << int(Mode::EnterOtp) << QVariantMap{{u"emailInput"_s, u""_s}, {u"newPasswordInput"_s, u"secret"_s}}
            << "confirmPasswordReset"_ba << u"Email is required."_s;
        QTest::newRow("change with a different confirmation")
            << int(Mode::Login)
            << QVariantMap{{u"currentPasswordInput"_s, u"old"_s},
                           {u"changeNewPasswordInput"_s, u"123456"_s},
                           {u"changeConfirmPasswordInput"_s, u"1234567"_s}}
            << "changePassword"_ba << u"New passwords do not match."_s;
    }

    void invalidInputSendsNothing()
    {
        QFETCH(int, mode);
        QFETCH(QVariantMap, inputs);
        QFETCH(QByteArray, operation);
        QFETCH(QString, message);

        StubServer server;
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());
        model->switchAuthMode(Mode(mode));
        enterInputs(*model, inputs);
        const QMetaObject &meta = *model->metaObject();
        QSignalSpy busy(model.get(), meta.property(meta.indexOfProperty(busyFlagOf(operation))).notifySignal());

        QVERIFY(QMetaObject::invokeMethod(model.get(), operation.constData()));

        QCOMPARE(model->property(errorLineOf(operation)).toString(), message);
        QCOMPARE(busy.count(), 0);
        QCOMPARE(model->authMode(), Mode(mode));
        for (auto input = inputs.cbegin(); input != inputs.cend(); ++input)
            QCOMPARE(model->property(input.key().toUtf8().constData()), input.value());
        QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(100));
    }

    void successfulSignIn_data()
    {
        QTest::addColumn<bool>("registering");
        QTest::addColumn<bool>("rememberMe");

        QTest::newRow("sign in, remember me") << false << true;
        QTest::newRow("sign in, forget me") << false << false;
        QTest::newRow("registration") << true << true;
    }

    void successfulSignIn()
    {
        QFETCH(bool, registering);
        QFETCH(bool, rememberMe);

        StubServer server;
        const QString path = registering ? u"/api/auth/register"_s : u"/api/auth/login"_s;
        server.on("POST", path, StubServer::json(registering ? 201 : 200, kAuthAnswer));
        TestEnvironment environment;
        storeRememberedAccount(*environment.preferences());
        const auto model = environment.makeViewModel(server.baseUrl());
        model->updateRememberMe(rememberMe);
        model->switchAuthMode(registering ? Mode::Register : Mode::Login);
        // A five-character password is fine for signing in; registering needs six.
        const QString password = registering ? u"  six "_s : u"short"_s;
        model->setEmailInput(u"Ada@Example.org"_s);
        model->setPasswordInput(password);

        QVERIFY(runUntilIdle(*model, "submitAuth"));

        const QList<StubServer::Request> requests = server.requestsTo(path);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(jsonOf(requests.first().body), (QJsonObject{{u"email"_s, u"Ada@Example.org"_s}, {u"password"_s, password}}));
        QVERIFY(!requests.first().hasHeader("Authorization"));
        QVERIFY(model->isAuthenticated());
        QCOMPARE(model->currentUser(), kUser);
        QVERIFY(!model->authError());
        const auto stored = environment.preferences();
        QCOMPARE(stored->text(Preferences::kJWTToken), u"fresh-token"_s);
        QCOMPARE(User::fromJson(QJsonDocument::fromJson(stored->data(Preferences::kCurrentUser).value_or(QByteArray())).object()).value(),
                 kUser);
        if (registering) {
            QCOMPARE(stored->text(Preferences::kRememberedEmail), u"kept@example.org"_s);
            QCOMPARE(stored->text(Preferences::kRememberedPassword), u"kept password"_s);
        } else {
            QCOMPARE(stored->text(Preferences::kRememberedEmail), rememberMe ? std::optional(u"Ada@Example.org"_s) : std::nullopt);
            QCOMPARE(stored->text(Preferences::kRememberedPassword), rememberMe ? std::optional(password) : std::nullopt);
        }
    }

    void failedSignInStoresNothing_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("delivery");
        QTest::addColumn<QString>("message");

        const int whole = int(StubServer::Delivery::Whole);
        QTest::newRow("wrong credentials") << 401 << R"({"error":"Invalid email or password"})"_ba << whole
                                           << u"Invalid email or password"_s;
        QTest::newRow("401 without error") << 401 << QByteArray() << whole << u"Request failed (401)"_s;
        QTest::newRow("server error page") << 500 << "<h1>Bad gateway</h1>"_ba << whole << u"Request failed (500)"_s;
        QTest::newRow("answer without user") << 200 << R"({"token":"t"})"_ba << whole
                                             << u"The server's answer could not be read (user: missing)."_s;
        QTest::newRow("answer not JSON") << 200 << "OK"_ba << whole << u"The server's answer could not be read (not JSON"_s;
        QTest::newRow("no answer") << 200 << QByteArray() << int(StubServer::Delivery::Never) << u"Server is unreachable ("_s;
    }

    void failedSignInStoresNothing()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, delivery);
        QFETCH(QString, message);

        StubServer server;
        StubServer::Response answer = StubServer::text(status, body, "application/json");
        answer.delivery = StubServer::Delivery(delivery);
        server.on("POST", u"/api/auth/login"_s, answer);
        TestEnvironment environment;
        storeRememberedAccount(*environment.preferences());
        environment.setRequestTimeout(300ms);
        const auto model = environment.makeViewModel(server.baseUrl());
        model->setEmailInput(u"ada@example.org"_s);
        model->setPasswordInput(u"wrong"_s);

        QVERIFY(runUntilIdle(*model, "submitAuth"));

        QVERIFY2(model->authError().value_or(QString()).startsWith(message), qPrintable(model->authError().value_or(QString())));
        QVERIFY(!model->isAuthenticated());
        QVERIFY(!model->currentUser());
        QCOMPARE(model->authMode(), Mode::Login);
        QCOMPARE(model->emailInput(), u"ada@example.org"_s);
        QCOMPARE(model->passwordInput(), u"wrong"_s);
        const auto stored = environment.preferences();
        QVERIFY(!stored->contains(Preferences::kJWTToken));
        QVERIFY(!stored->contains(Preferences::kCurrentUser));
        QCOMPARE(stored->text(Preferences::kRememberedEmail), u"kept@example.org"_s);
    }

    void codeRequest_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<QString>("confirmation");

        QTest::newRow("server's message") << QJsonObject{{u"success"_s, true}, {u"message"_s, u"Check your inbox."_s}}
                                          << u"Check your inbox."_s;
        QTest::newRow("no message") << QJsonObject{{u"success"_s, true}} << u"Verification code sent to your email."_s;
    }

    void codeRequest()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(QString, confirmation);

        StubServer server;
        server.on("POST", u"/api/auth/forgot-password"_s, StubServer::json(200, answer));
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());
        model->switchAuthMode(Mode::ForgotPassword);
        model->setEmailInput(u"Ada@Example.ORG"_s);
        model->setOtpCodeInput(u"111"_s);
        model->setNewPasswordInput(u"typed before"_s);

        QVERIFY(runUntilIdle(*model, "requestPasswordReset"));

        QCOMPARE(jsonOf(server.requests().first().body), (QJsonObject{{u"email"_s, u"ada@example.org"_s}}));
        QCOMPARE(model->emailInput(), u"Ada@Example.ORG"_s);
        QCOMPARE(model->authSuccessMessage(), confirmation);
        QVERIFY(!model->authError());
        QCOMPARE(model->authMode(), Mode::EnterOtp);
        QCOMPARE(model->otpCodeInput(), u"111"_s);
        QCOMPARE(model->newPasswordInput(), u"typed before"_s);
    }

    void passwordReset_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<QString>("confirmation");

        QTest::newRow("server's message") << QJsonObject{{u"message"_s, u"All set."_s}} << u"All set."_s;
        QTest::newRow("no message") << QJsonObject() << u"Password reset successfully. Please sign in."_s;
    }

    void passwordReset()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(QString, confirmation);

        StubServer server;
        server.on("POST", u"/api/auth/reset-password"_s, StubServer::json(200, answer));
        TestEnvironment environment;
        storeRememberedAccount(*environment.preferences());
        const auto model = environment.makeViewModel(server.baseUrl());
        model->switchAuthMode(Mode::ForgotPassword);
        model->setEmailInput(u"Ada@Example.ORG"_s);
        model->switchAuthMode(Mode::EnterOtp);
        model->setOtpCodeInput(u"abc"_s);
        model->setNewPasswordInput(u"new secret "_s);

        QVERIFY(runUntilIdle(*model, "confirmPasswordReset"));

        QCOMPARE(jsonOf(server.requests().first().body),
                 (QJsonObject{{u"email"_s, u"ada@example.org"_s}, {u"code"_s, u"abc"_s}, {u"newPassword"_s, u"new secret "_s}}));
        QCOMPARE(model->authSuccessMessage(), confirmation);
        QCOMPARE(model->authMode(), Mode::Login);
        // Remember-me is on, yet the remembered password does not come back over the new one.
        QCOMPARE(model->emailInput(), u"Ada@Example.ORG"_s);
        QVERIFY(model->passwordInput().isEmpty());
        QVERIFY(model->otpCodeInput().isEmpty() && model->newPasswordInput().isEmpty());
        QVERIFY(!model->isAuthenticated());

        // A new attempt keeps the confirmation; changing the screen clears it.
        model->submitAuth();
        QCOMPARE(model->authSuccessMessage(), confirmation);
        model->switchAuthMode(Mode::Login);
        QVERIFY(!model->authSuccessMessage());
    }

    void failedRequestKeepsTheForm_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVariantMap>("inputs");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");

        QTest::newRow("code request") << int(Mode::ForgotPassword) << QVariantMap{{u"emailInput"_s, u"nobody@example.org"_s}}
                                      << "requestPasswordReset"_ba << u"/api/auth/forgot-password"_s << u"No such account"_s;
        QTest::newRow("reset")
            << int(Mode::EnterOtp)
            << QVariantMap{{u"emailInput"_s, u"ada@example.org"_s},
                           {u"otpCodeInput"_s, u"999999"_s},
                           {u"newPasswordInput"_s, u"new secret"_s}}
            << "confirmPasswordReset"_ba << u"/api/auth/reset-password"_s << u"Invalid or expired code"_s;
        QTest::newRow("password change")
            << int(Mode::Login)
            << QVariantMap{{u"currentPasswordInput"_s, u"wrong"_s},
                           {u"changeNewPasswordInput"_s, u"new secret"_s},
                           {u"changeConfirmPasswordInput"_s, u"new secret"_s}}
            << "changePassword"_ba << u"/api/auth/change-password"_s << u"Current password is incorrect"_s;
    }

    void failedRequestKeepsTheForm()
    {
        QFETCH(int, mode);
        QFETCH(QVariantMap, inputs);
        QFETCH(QByteArray, operation);
        QFETCH(QString, path);
        QFETCH(QString, message);

        StubServer server;
        server.on("POST", path, StubServer::json(400, QJsonObject{{u"error"_s, message}}));
        TestEnvironment environment;
        storeSession(*environment.preferences());
        const auto model = environment.makeViewModel(server.baseUrl());
        model->setChangePasswordOpen(true);
        model->switchAuthMode(Mode(mode));
        enterInputs(*model, inputs);

        QVERIFY(runUntilIdle(*model, operation));

        QCOMPARE(model->property(errorLineOf(operation)).toString(), message);
        QVERIFY(!model->authSuccessMessage() && !model->changePasswordSuccess());
        QCOMPARE(model->authMode(), Mode(mode));
        for (auto input = inputs.cbegin(); input != inputs.cend(); ++input)
            QCOMPARE(model->property(input.key().toUtf8().constData()), input.value());
        QVERIFY(model->isChangePasswordOpen());
        QVERIFY(model->isAuthenticated());
        QCOMPARE(environment.preferences()->text(Preferences::kJWTToken), u"session-token"_s);
    }

    void passwordChangeSucceedsAndTheFormClosesLater()
    {
        StubServer server;
        server.on("POST", u"/api/auth/change-password"_s, StubServer::json(200, QJsonObject{{u"success"_s, true}}));
        TestEnvironment environment;
        storeSession(*environment.preferences());
        const auto model = environment.makeViewModel(server.baseUrl());
        model->setChangePasswordOpen(true);
        model->setCurrentPasswordInput(u"old secret"_s);
        model->setChangeNewPasswordInput(u"      "_s);
        model->setChangeConfirmPasswordInput(u"      "_s);

        QElapsedTimer sinceSuccess;
        QVERIFY(runUntilIdle(*model, "changePassword"));
        sinceSuccess.start();

        const StubServer::Request received = server.requestsTo(u"/api/auth/change-password"_s).value(0);
        QCOMPARE(jsonOf(received.body), (QJsonObject{{u"currentPassword"_s, u"old secret"_s}, {u"newPassword"_s, u"      "_s}}));
        QCOMPARE(received.header("Authorization"), "Bearer session-token"_ba);
        QCOMPARE(model->changePasswordSuccess(), u"Password updated successfully."_s);
        QVERIFY(!model->changePasswordError());
        QVERIFY(model->currentPasswordInput().isEmpty());
        QVERIFY(model->changeNewPasswordInput().isEmpty() && model->changeConfirmPasswordInput().isEmpty());
        QVERIFY(model->isChangePasswordOpen());

        QTRY_VERIFY_WITH_TIMEOUT(!model->isChangePasswordOpen(), 5000);
        // A coarse timer may fire up to 5% early, and this clock starts a moment after it.
        QCOMPARE_GE(sinceSuccess.elapsed(), 2300);
        QCOMPARE(model->changePasswordSuccess(), u"Password updated successfully."_s);
        QVERIFY(model->isAuthenticated());
        QCOMPARE(environment.preferences()->text(Preferences::kJWTToken), u"session-token"_s);
    }

    void passwordChangeWithAnExpiredSessionSignsOut()
    {
        StubServer server;
        server.on("POST", u"/api/auth/change-password"_s, StubServer::json(401, QJsonObject{{u"error"_s, u"Token expired"_s}}));
        TestEnvironment environment;
        storeSession(*environment.preferences());
        const auto model = environment.makeViewModel(server.baseUrl());
        model->setShowSettings(true);
        model->setCurrentPasswordInput(u"old secret"_s);
        model->setChangeNewPasswordInput(u"new secret"_s);
        model->setChangeConfirmPasswordInput(u"new secret"_s);

        QVERIFY(runUntilIdle(*model, "changePassword"));

        QVERIFY(!model->isAuthenticated());
        QVERIFY(!model->showSettings());
        QCOMPARE(model->authError(), kSessionEnded);
        QCOMPARE(model->changePasswordError(), u"Unauthorized"_s);
        QVERIFY(!environment.preferences()->contains(Preferences::kJWTToken));
    }
};

QTEST_GUILESS_MAIN(AccountFlowsTest)
#include "accountflowstest.moc"
