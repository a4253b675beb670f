#include "account/accountvalidation.h"
#include "api/requestpipeline.h"
#include "state/appviewmodel.h"

#include <QJsonDocument>

using namespace Qt::StringLiterals;

void AppViewModel::switchAuthMode(AuthMode mode)
{
    assign(m_authError, std::nullopt, &AppViewModel::authErrorChanged);
    assign(m_authSuccessMessage, std::nullopt, &AppViewModel::authSuccessMessageChanged);
    assign(m_authMode, mode, &AppViewModel::authModeChanged);
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

void AppViewModel::submitAuth()
{
    signInOrRegister();
}

QCoro::Task<> AppViewModel::signInOrRegister()
{
    const QString email = m_emailInput.trimmed();
    const QString password = m_passwordInput;
    if (auto problem = AccountValidation::checkSignIn(email, password, m_authMode == AuthMode::Register)) {
        assign(m_authError, std::move(problem), &AppViewModel::authErrorChanged);
        co_return;
    }
    assign(m_isAuthLoading, true, &AppViewModel::isAuthLoadingChanged);
    assign(m_authError, std::nullopt, &AppViewModel::authErrorChanged);

    const QString endpoint = m_authMode == AuthMode::Login ? u"/auth/login"_s : u"/auth/register"_s;
    const QJsonObject body{{u"email"_s, email}, {u"password"_s, password}};
    QPointer self(this);
    auto result = co_await performRequest<AuthResponse>(endpoint, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        assign(m_authError, std::optional(result.error().message), &AppViewModel::authErrorChanged);
        assign(m_isAuthLoading, false, &AppViewModel::isAuthLoadingChanged);
        co_return;
    }

    // The tab may have changed while the request was out; it decides whether to remember.
    if (m_authMode == AuthMode::Login)
        syncRememberedCredentials(email, password);
    AuthResponse &session = result.value();
    m_defaults->setText(Preferences::kJWTToken, session.token);
    m_defaults->setData(Preferences::kCurrentUser, QJsonDocument(session.user.toJson()).toJson(QJsonDocument::Compact));
    assign(m_currentUser, std::optional(std::move(session.user)), &AppViewModel::currentUserChanged);
    assign(m_isAuthenticated, true, &AppViewModel::isAuthenticatedChanged);

    co_await fetchWebsites();
    if (!self)
        co_return;
    assign(m_isAuthLoading, false, &AppViewModel::isAuthLoadingChanged);
}
