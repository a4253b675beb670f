#include "accountvalidation.h"
#include "authenticationcard.h"
#include "backendclient.h"
#include "passwordchangeform.h"
#include "preferences.h"
#include "preferencessecretstore.h"
#include "support/stubserver.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
using Mode = AuthenticationCard::AuthMode;

const User kUser{.id = 7, .email = u"ada@example.org"_s};
const QJsonObject kAuthAnswer{{u"token"_s, u"fresh-token"_s}, {u"user"_s, kUser.toJson()}};
// The account an earlier sign-in left remembered: address and password.
const QStringList kRememberedBefore{u"kept@example.org"_s, u"kept password"_s};
// The status of a request the form refuses before sending it.
constexpr int kRefusedHere = 0;

// Card and password form on a stub server, with an account remembered from an earlier sign-in; the
// session starter only records each session (appviewmodeltest starts real ones).
struct AccountParts {
    AccountParts()
        : backend(server.baseUrl(), 5s)
        , card(backend, preferences, secrets,
               [this](AuthResponse session) -> QCoro::Task<> {
                   sessions.append(std::move(session));
                   co_return;
               })
        , form(backend, card)
    {
        preferences.setText(Preferences::kRememberedEmail, kRememberedBefore.at(0));
        preferences.setText(Preferences::kRememberedPassword, kRememberedBefore.at(1));
    }

    StubServer server;
    QTemporaryDir directory;
    Preferences preferences{std::make_unique<QSettings>(directory.filePath(u"preferences.ini"_s), QSettings::IniFormat)};
    PreferencesSecretStore secrets{preferences};
    BackendClient backend;
    QList<AuthResponse> sessions;
    AuthenticationCard card;
    PasswordChangeForm form;
};

// Where an operation runs: the card, or the password form with a busy flag and message lines of its own.
struct Operation {
    QObject &owner;
    const char *busyFlag;
    const char *errorLine;
    const char *successLine;
};

Operation operationOf(AccountParts &parts, const QByteArray &name)
{
    if (name == "changePassword")
        return {parts.form, "isChangingPassword", "changePasswordError", "changePasswordSuccess"};
    return {parts.card, "isAuthLoading", "authError", "authSuccessMessage"};
}

// Starts an operation and waits until its busy flag is down again.
bool runUntilIdle(AccountParts &parts, const QByteArray &name)
{
    const Operation operation = operationOf(parts, name);
    return QMetaObject::invokeMethod(&operation.owner, name.constData())
        && QTest::qWaitFor([&] { return !operation.owner.property(operation.busyFlag).toBool(); }, 5000);
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
        const QString none;

        QTest::newRow("sign in: no email") << u"login"_s << u""_s << u"secret"_s << none << fill;
        QTest::newRow("sign in: no password") << u"login"_s << u"a@b.c"_s << u""_s << none << fill;
        QTest::newRow("sign in: accented email") << u"login"_s << u"é@b.c"_s << u"secret"_s << none << signInAscii;
        QTest::newRow("sign in: emoji password") << u"login"_s << u"a@b.c"_s << u"secret😀"_s << none << signInAscii;
        QTest::newRow("register: six blanks") << u"register"_s << u"a@b.c"_s << u"      "_s << none << none;
        QTest::newRow("register: CR LF is one character") << u"register"_s << u"a@b.c"_s << u"abcd\r\n"_s << none << shortPassword;

        QTest::newRow("code request: accented email")
            << u"request"_s << u"ü@b.c"_s << none << none << u"Email must contain English characters only."_s;

        QTest::newRow("reset: no code") << u"reset"_s << u"a@b.c"_s << u""_s << u"secret"_s
                                        << u"Please enter the 6-digit verification code."_s;
        QTest::newRow("reset: accented code") << u"reset"_s << u"a@b.c"_s << u"12٣"_s << u"secret"_s << allAscii;
        QTest::newRow("reset: short password") << u"reset"_s << u"a@b.c"_s << u"123456"_s << u"12345"_s << shortPassword;

        QTest::newRow("change: current first") << u"change"_s << u""_s << u"1"_s << u"2"_s << u"Please enter your current password."_s;
        QTest::newRow("change: accented current") << u"change"_s << u"öld"_s << u"secret"_s << u"secret"_s << changeAscii;
        QTest::newRow("change: short even when matching")
            << u"change"_s << u"old"_s << u"12345"_s << u"12345"_s << u"New password must be at least 6 characters."_s;
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
        AccountParts parts;
        StubServer &server = parts.server;
        server.on("POST", u"/api/auth/forgot-password"_s, StubServer::json(200, QJsonObject{{u"success"_s, true}}));
        AuthenticationCard &card = parts.card;
        card.submitAuth();
        QVERIFY(card.authError());

        card.switchAuthMode(Mode::Register);
        QCOMPARE(card.authMode(), Mode::Register);
        QVERIFY(!card.authError());
        QVERIFY(card.emailInput().isEmpty() && card.passwordInput().isEmpty());

        card.switchAuthMode(Mode::Login);
        QCOMPARE(card.emailInput(), u"kept@example.org"_s);
        QCOMPARE(card.passwordInput(), u"kept password"_s);

        card.setOtpCodeInput(u"123456"_s);
        card.setNewPasswordInput(u"new one"_s);
        card.switchAuthMode(Mode::ForgotPassword);
        QCOMPARE(card.emailInput(), u"kept@example.org"_s);
        QCOMPARE(card.otpCodeInput(), u"123456"_s);

        card.switchAuthMode(Mode::EnterOtp);
        QVERIFY(card.otpCodeInput().isEmpty() && card.newPasswordInput().isEmpty());
        QCOMPARE(card.emailInput(), u"kept@example.org"_s);

        // A confirmation stays through a refused attempt (panelscreenstest's), until the screen changes.
        card.switchAuthMode(Mode::ForgotPassword);
        QVERIFY(runUntilIdle(parts, "requestPasswordReset"));
        QVERIFY(card.authSuccessMessage());
        card.switchAuthMode(Mode::Login);
        QVERIFY(!card.authSuccessMessage());
    }

    // Each form's requests, refused here or answered by the server: what goes out, what the form
    // shows afterwards, the session started and the account remembered. An input the row does not
    // name as changed keeps its value.
    void formRequests_data()
    {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVariantMap>("inputs");
        QTest::addColumn<int>("status");
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<QJsonObject>("sent");
        QTest::addColumn<QVariantMap>("changes");
        QTest::addColumn<QStringList>("remembered");

        const QJsonObject nothing;
        const auto serverError = [](const QString &text) { return QJsonObject{{u"error"_s, text}}; };
        const auto shown = [](const char *line, const QString &text) { return QVariantMap{{QString::fromLatin1(line), text}}; };
        // The rows of one operation share the inputs typed and the request they make.
        const auto rowsOf = [](const QByteArray &operation, Mode mode, const QVariantMap &inputs, const QJsonObject &sent) {
            return [=](const char *name, int status, const QJsonObject &answer, const QVariantMap &changes,
                       const QStringList &remembered = kRememberedBefore) {
                QTest::newRow(name) << operation << int(mode) << inputs << status << answer << sent << changes << remembered;
            };
        };
        // A request the form refuses: the local checks' messages and their order are checked above.
        const auto refused
            = [&](const char *name, const QByteArray &operation, Mode mode, const QVariantMap &inputs, const QVariantMap &changes) {
                  rowsOf(operation, mode, inputs, nothing)(name, kRefusedHere, nothing, changes);
              };

        rowsOf("submitAuth", Mode::Login, {{u"emailInput"_s, u"ada@example.org"_s}, {u"passwordInput"_s, u"wrong"_s}},
               {{u"email"_s, u"ada@example.org"_s}, {u"password"_s, u"wrong"_s}})("sign in refused by the server", 401,
                                                                                  serverError(u"Invalid email or password"_s),
                                                                                  shown("authError", u"Invalid email or password"_s));
        // The address goes out as typed; five characters are enough to sign in. Remember-me keeps
        // the account signed in with, registering leaves the remembered one alone.
        const QVariantMap ada{{u"emailInput"_s, u"Ada@Example.org"_s}, {u"passwordInput"_s, u"short"_s}};
        const QJsonObject adaSent{{u"email"_s, u"Ada@Example.org"_s}, {u"password"_s, u"short"_s}};
        rowsOf("submitAuth", Mode::Login, ada, adaSent)("sign in, remember me", 200, kAuthAnswer, {}, {u"Ada@Example.org"_s, u"short"_s});
        QVariantMap forgetful = ada;
        forgetful.insert(u"rememberMe"_s, false);
        rowsOf("submitAuth", Mode::Login, forgetful, adaSent)("sign in, forget me", 200, kAuthAnswer, {}, {QString(), QString()});
        rowsOf("submitAuth", Mode::Register, {{u"emailInput"_s, u"Ada@Example.org"_s}, {u"passwordInput"_s, u"  six "_s}},
               {{u"email"_s, u"Ada@Example.org"_s}, {u"password"_s, u"  six "_s}})("registration", 201, kAuthAnswer, {});
        refused("registration with five characters", "submitAuth", Mode::Register,
                {{u"emailInput"_s, u"a@b.c"_s}, {u"passwordInput"_s, u"12345"_s}},
                shown("authError", u"Password must be at least 6 characters."_s));

        // The address goes out lowered, yet the field keeps what the user typed; a code typed
        // earlier stays for the next screen.
        const auto codeRequest
            = rowsOf("requestPasswordReset", Mode::ForgotPassword,
                     {{u"emailInput"_s, u"Ada@Example.ORG"_s}, {u"otpCodeInput"_s, u"111"_s}, {u"newPasswordInput"_s, u"typed before"_s}},
                     {{u"email"_s, u"ada@example.org"_s}});
        const auto codeSent = [](const QString &confirmation) {
            return QVariantMap{{u"authMode"_s, QVariant::fromValue(Mode::EnterOtp)}, {u"authSuccessMessage"_s, confirmation}};
        };
        codeRequest("code request, server's message", 200, {{u"success"_s, true}, {u"message"_s, u"Check your inbox."_s}},
                    codeSent(u"Check your inbox."_s));
        codeRequest("code request, own message", 200, {{u"success"_s, true}}, codeSent(u"Verification code sent to your email."_s));
        codeRequest("code request refused by the server", 400, serverError(u"No such account"_s), shown("authError", u"No such account"_s));
        refused("code request without email", "requestPasswordReset", Mode::ForgotPassword, {{u"emailInput"_s, u""_s}},
                shown("authError", u"Please enter your email address."_s));

        // Remember-me is on, yet the remembered password does not come back over the new one.
        const auto reset
            = rowsOf("confirmPasswordReset", Mode::EnterOtp,
                     {{u"emailInput"_s, u"Ada@Example.ORG"_s}, {u"otpCodeInput"_s, u"abc"_s}, {u"newPasswordInput"_s, u"new secret "_s}},
                     {{u"email"_s, u"ada@example.org"_s}, {u"code"_s, u"abc"_s}, {u"newPassword"_s, u"new secret "_s}});
        const auto backToSignIn = [](const QString &confirmation) {
            return QVariantMap{{u"authMode"_s, QVariant::fromValue(Mode::Login)},
                               {u"authSuccessMessage"_s, confirmation},
                               {u"passwordInput"_s, u""_s},
                               {u"otpCodeInput"_s, u""_s},
                               {u"newPasswordInput"_s, u""_s}};
        };
        reset("reset, server's message", 200, {{u"message"_s, u"All set."_s}}, backToSignIn(u"All set."_s));
        reset("reset, own message", 200, nothing, backToSignIn(u"Password reset successfully. Please sign in."_s));
        reset("reset refused by the server", 400, serverError(u"Invalid or expired code"_s),
              shown("authError", u"Invalid or expired code"_s));
        refused("reset with the address lost on the way", "confirmPasswordReset", Mode::EnterOtp,
                {{u"emailInput"_s, u""_s}, {u"newPasswordInput"_s, u"secret"_s}}, shown("authError", u"Email is required."_s));

        QVariantMap changeInputs{{u"currentPasswordInput"_s, u"old secret"_s},
                                 {u"changeNewPasswordInput"_s, u"      "_s},
                                 {u"changeConfirmPasswordInput"_s, u"      "_s}};
        const QJsonObject changeSent{{u"currentPassword"_s, u"old secret"_s}, {u"newPassword"_s, u"      "_s}};
        const auto change = rowsOf("changePassword", Mode::Login, changeInputs, changeSent);
        // The remembered password follows the change, unless nothing is remembered.
        const QVariantMap changed{{u"changePasswordSuccess"_s, u"Password updated successfully."_s},
                                  {u"currentPasswordInput"_s, u""_s},
                                  {u"changeNewPasswordInput"_s, u""_s},
                                  {u"changeConfirmPasswordInput"_s, u""_s}};
        change("password change", 200, {{u"success"_s, true}}, changed, {kRememberedBefore.at(0), u"      "_s});
        changeInputs.insert(u"rememberMe"_s, false);
        rowsOf("changePassword", Mode::Login, changeInputs, changeSent)("password change, nothing remembered", 200, {{u"success"_s, true}},
                                                                        changed, {QString(), QString()});
        change("password change refused by the server", 400, serverError(u"Current password is incorrect"_s),
               shown("changePasswordError", u"Current password is incorrect"_s));
        // The session is over; signing out is the panel's business.
        change("password change, session expired", 401, serverError(u"Token expired"_s), shown("changePasswordError", u"Unauthorized"_s));
        refused("password change with a different confirmation", "changePassword", Mode::Login,
                {{u"currentPasswordInput"_s, u"old"_s},
                 {u"changeNewPasswordInput"_s, u"123456"_s},
                 {u"changeConfirmPasswordInput"_s, u"1234567"_s}},
                shown("changePasswordError", u"New passwords do not match."_s));
    }

    void formRequests()
    {
        QFETCH(QByteArray, operation);
        QFETCH(int, mode);
        QFETCH(QVariantMap, inputs);
        QFETCH(int, status);
        QFETCH(QJsonObject, answer);
        QFETCH(QJsonObject, sent);
        QFETCH(QVariantMap, changes);
        QFETCH(QStringList, remembered);

        AccountParts parts;
        StubServer &server = parts.server;
        for (const QString &path : {u"login"_s, u"register"_s, u"forgot-password"_s, u"reset-password"_s, u"change-password"_s})
            server.on("POST", "/api/auth/"_L1 + path, StubServer::json(status, answer));
        // The password form is only shown inside a session, and a 401 then means it ended.
        const bool signedIn = operation == "changePassword";
        if (signedIn)
            parts.backend.setToken(u"session-token"_s);
        QSignalSpy sessionRejected(&parts.backend, &BackendClient::sessionRejected);
        parts.form.setChangePasswordOpen(true);
        parts.card.switchAuthMode(Mode(mode));
        const Operation started = operationOf(parts, operation);
        // Read-only, so set through its own call; checked below with the other inputs.
        if (inputs.contains(u"rememberMe"_s))
            parts.card.updateRememberMe(inputs.value(u"rememberMe"_s).toBool());
        for (auto input = inputs.cbegin(); input != inputs.cend(); ++input)
            started.owner.setProperty(input.key().toUtf8().constData(), input.value());
        const QMetaObject &meta = *started.owner.metaObject();
        QSignalSpy busy(&started.owner, meta.property(meta.indexOfProperty(started.busyFlag)).notifySignal());

        QVERIFY(runUntilIdle(parts, operation));
        QElapsedTimer sinceIdle;
        sinceIdle.start();

        QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(50));
        QCOMPARE(server.requests().size(), status == kRefusedHere ? 0 : 1);
        QCOMPARE(QJsonDocument::fromJson(server.requests().value(0).body).object(), sent);
        QCOMPARE(server.requests().value(0).hasHeader("Authorization"), signedIn && status != kRefusedHere);
        QCOMPARE(busy.count(), status == kRefusedHere ? 0 : 2);
        QCOMPARE(sessionRejected.count(), signedIn && status == 401 ? 1 : 0);
        const bool signsIn = operation == "submitAuth" && status / 100 == 2;
        QCOMPARE(parts.sessions.size(), signsIn ? 1 : 0);
        if (signsIn)
            QCOMPARE(std::pair(parts.sessions.first().token, parts.sessions.first().user), std::pair(u"fresh-token"_s, kUser));
        QVariantMap expected{{QString::fromLatin1(started.errorLine), QVariant()}, {QString::fromLatin1(started.successLine), QVariant()}};
        expected.insert(inputs);
        expected.insert(changes);
        for (auto property = expected.cbegin(); property != expected.cend(); ++property)
            QCOMPARE(started.owner.property(property.key().toUtf8().constData()), property.value());
        QCOMPARE(parts.card.authMode(), changes.value(u"authMode"_s, QVariant::fromValue(Mode(mode))).value<Mode>());
        QCOMPARE((QStringList{parts.preferences.text(Preferences::kRememberedEmail).value_or(QString()),
                              parts.preferences.text(Preferences::kRememberedPassword).value_or(QString())}),
                 remembered);
        // A changed password closes its form a moment later, the confirmation still in it; nothing else closes it.
        const bool closes = changes.contains(u"changePasswordSuccess"_s);
        QCOMPARE(QTest::qWaitFor([&] { return !parts.form.isChangePasswordOpen(); }, closes ? 5000 : 0), closes);
        // A coarse timer may fire up to 5% early, and this clock starts a moment after it.
        QCOMPARE_GE(sinceIdle.elapsed(), closes ? 2300 : 0);
        QCOMPARE(started.owner.property(started.successLine), changes.value(QString::fromLatin1(started.successLine)));
    }
};

QTEST_GUILESS_MAIN(AccountFlowsTest)
#include "accountflowstest.moc"
