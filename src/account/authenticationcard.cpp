#include "authenticationcard.h"

#include "accountvalidation.h"
#include "backendclient.h"
#include "preferences.h"
#include "published.h"
#include "secretstore.h"
#include "textinputfilter.h"

using namespace Qt::StringLiterals;

AuthenticationCard::AuthenticationCard(BackendClient &backend, Preferences &preferences, SecretStore &secrets, SessionStarter startSession,
                                       QObject *parent)
    : QObject(parent)
    , m_backend(backend)
    , m_preferences(preferences)
    , m_secrets(secrets)
    , m_startSession(std::move(startSession))
{
    loadRememberedAccount();
}

void AuthenticationCard::setEmailInput(const QString &text)
{
    assignFiltered(this, m_emailInput, text, TextInputFilter::keepAsciiWithoutWhitespace, &AuthenticationCard::emailInputChanged);
}

void AuthenticationCard::setPasswordInput(const QString &text)
{
    assignFiltered(this, m_passwordInput, text, TextInputFilter::keepAscii, &AuthenticationCard::passwordInputChanged);
}

void AuthenticationCard::setOtpCodeInput(const QString &text)
{
    assignFiltered(this, m_otpCodeInput, text, TextInputFilter::keepAsciiWithoutWhitespace, &AuthenticationCard::otpCodeInputChanged);
}

void AuthenticationCard::setNewPasswordInput(const QString &text)
{
    assignFiltered(this, m_newPasswordInput, text, TextInputFilter::keepAscii, &AuthenticationCard::newPasswordInputChanged);
}

QVariant AuthenticationCard::authErrorValue() const
{
    return optionalToVariant(m_authError);
}

QVariant AuthenticationCard::authSuccessMessageValue() const
{
    return optionalToVariant(m_authSuccessMessage);
}

void AuthenticationCard::loadRememberedAccount()
{
    if (!m_preferences.contains(Preferences::kRememberMe))
        m_preferences.setBool(Preferences::kRememberMe, true);
    assignProperty(this, m_rememberMe, m_preferences.boolValue(Preferences::kRememberMe), &AuthenticationCard::rememberMeChanged);

    if (m_authMode == AuthMode::Login && m_rememberMe) {
        setEmailInput(m_preferences.text(Preferences::kRememberedEmail).value_or(QString()));
        setPasswordInput(m_secrets.text(Preferences::kRememberedPassword).value_or(QString()));
    } else {
        setEmailInput(QString());
        setPasswordInput(QString());
    }
}

void AuthenticationCard::updateRememberMe(bool enabled)
{
    assignProperty(this, m_rememberMe, enabled, &AuthenticationCard::rememberMeChanged);
    m_preferences.setBool(Preferences::kRememberMe, enabled);
    if (!enabled) {
        m_preferences.remove(Preferences::kRememberedEmail);
        m_secrets.remove(Preferences::kRememberedPassword);
    }
}

void AuthenticationCard::rememberChangedPassword(const QString &password)
{
    if (m_rememberMe && m_preferences.contains(Preferences::kRememberedEmail))
        m_secrets.setText(Preferences::kRememberedPassword, password);
}

void AuthenticationCard::syncRememberedCredentials(const QString &email, const QString &password)
{
    m_preferences.setBool(Preferences::kRememberMe, m_rememberMe);
    if (m_rememberMe) {
        m_preferences.setText(Preferences::kRememberedEmail, email);
        m_secrets.setText(Preferences::kRememberedPassword, password);
    } else {
        m_preferences.remove(Preferences::kRememberedEmail);
        m_secrets.remove(Preferences::kRememberedPassword);
    }
}

void AuthenticationCard::switchAuthMode(AuthMode mode)
{
    assignProperty(this, m_authError, std::nullopt, &AuthenticationCard::authErrorChanged);
    assignProperty(this, m_authSuccessMessage, std::nullopt, &AuthenticationCard::authSuccessMessageChanged);
    assignProperty(this, m_authMode, mode, &AuthenticationCard::authModeChanged);
    switch (mode) {
    case AuthMode::Login:
        loadRememberedAccount();
        break;
    case AuthMode::Register:
        setEmailInput(QString());
        setPasswordInput(QString());
        break;
    case AuthMode::ForgotPassword:
        break;
    case AuthMode::EnterOtp:
        setOtpCodeInput(QString());
        setNewPasswordInput(QString());
        break;
    }
}

void AuthenticationCard::showSignIn()
{
    assignProperty(this, m_authError, std::nullopt, &AuthenticationCard::authErrorChanged);
    assignProperty(this, m_authMode, AuthMode::Login, &AuthenticationCard::authModeChanged);
    loadRememberedAccount();
}

void AuthenticationCard::showSessionEnded()
{
    assignProperty(this, m_authError, std::optional(tr("Your session ended. Please sign in again.")),
                   &AuthenticationCard::authErrorChanged);
}

void AuthenticationCard::fail(const QString &message)
{
    assignProperty(this, m_authError, std::optional(message), &AuthenticationCard::authErrorChanged);
    assignProperty(this, m_isAuthLoading, false, &AuthenticationCard::isAuthLoadingChanged);
}

void AuthenticationCard::submitAuth()
{
    signInOrRegister();
}

void AuthenticationCard::requestPasswordReset()
{
    sendPasswordResetCode();
}

void AuthenticationCard::confirmPasswordReset()
{
    resetPassword();
}

QCoro::Task<> AuthenticationCard::signInOrRegister()
{
    const QString email = m_emailInput.trimmed();
    const QString password = m_passwordInput;
    if (auto problem = AccountValidation::checkSignIn(email, password, m_authMode == AuthMode::Register)) {
        assignProperty(this, m_authError, std::move(problem), &AuthenticationCard::authErrorChanged);
        co_return;
    }
    assignProperty(this, m_isAuthLoading, true, &AuthenticationCard::isAuthLoadingChanged);
    assignProperty(this, m_authError, std::nullopt, &AuthenticationCard::authErrorChanged);

    const QString endpoint = m_authMode == AuthMode::Login ? u"/auth/login"_s : u"/auth/register"_s;
    const QJsonObject body{{u"email"_s, email}, {u"password"_s, password}};
    QPointer self(this);
    auto result = co_await m_backend.request<AuthResponse>(endpoint, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        fail(result.error().message);
        co_return;
    }

    // The tab may have changed while the request was out; it decides whether to remember.
    if (m_authMode == AuthMode::Login)
        syncRememberedCredentials(email, password);
    co_await m_startSession(std::move(result.value()));
    if (!self)
        co_return;
    assignProperty(this, m_isAuthLoading, false, &AuthenticationCard::isAuthLoadingChanged);
}

QCoro::Task<> AuthenticationCard::sendPasswordResetCode()
{
    // Only the address sent is lowered; the field keeps what the user typed.
    const QString email = m_emailInput.trimmed().toLower();
    if (auto problem = AccountValidation::checkResetRequest(email)) {
        assignProperty(this, m_authError, std::move(problem), &AuthenticationCard::authErrorChanged);
        co_return;
    }
    assignProperty(this, m_isAuthLoading, true, &AuthenticationCard::isAuthLoadingChanged);
    assignProperty(this, m_authError, std::nullopt, &AuthenticationCard::authErrorChanged);
    assignProperty(this, m_authSuccessMessage, std::nullopt, &AuthenticationCard::authSuccessMessageChanged);

    const QJsonObject body{{u"email"_s, email}};
    QPointer self(this);
    const auto result = co_await m_backend.request<SimpleMessageResponse>(u"/auth/forgot-password"_s, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        fail(result.error().message);
        co_return;
    }
    assignProperty(this, m_authSuccessMessage, std::optional(result.value().message.value_or(tr("Verification code sent to your email."))),
                   &AuthenticationCard::authSuccessMessageChanged);
    // A plain move to the next screen: a code typed earlier stays.
    assignProperty(this, m_authMode, AuthMode::EnterOtp, &AuthenticationCard::authModeChanged);
    assignProperty(this, m_isAuthLoading, false, &AuthenticationCard::isAuthLoadingChanged);
}

QCoro::Task<> AuthenticationCard::resetPassword()
{
    const QString email = m_emailInput.trimmed().toLower();
    const QString code = m_otpCodeInput.trimmed();
    const QString newPassword = m_newPasswordInput;
    if (auto problem = AccountValidation::checkResetConfirmation(email, code, newPassword)) {
        assignProperty(this, m_authError, std::move(problem), &AuthenticationCard::authErrorChanged);
        co_return;
    }
    assignProperty(this, m_isAuthLoading, true, &AuthenticationCard::isAuthLoadingChanged);
    assignProperty(this, m_authError, std::nullopt, &AuthenticationCard::authErrorChanged);
    assignProperty(this, m_authSuccessMessage, std::nullopt, &AuthenticationCard::authSuccessMessageChanged);

    const QJsonObject body{{u"email"_s, email}, {u"code"_s, code}, {u"newPassword"_s, newPassword}};
    QPointer self(this);
    const auto result = co_await m_backend.request<SimpleMessageResponse>(u"/auth/reset-password"_s, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        fail(result.error().message);
        co_return;
    }
    assignProperty(this, m_authSuccessMessage,
                   std::optional(result.value().message.value_or(tr("Password reset successfully. Please sign in."))),
                   &AuthenticationCard::authSuccessMessageChanged);
    setPasswordInput(QString());
    setOtpCodeInput(QString());
    setNewPasswordInput(QString());
    // Not switchAuthMode: the remembered password must not come back over the new one.
    assignProperty(this, m_authMode, AuthMode::Login, &AuthenticationCard::authModeChanged);
    assignProperty(this, m_isAuthLoading, false, &AuthenticationCard::isAuthLoadingChanged);
}
