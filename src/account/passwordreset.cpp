#include "account/accountvalidation.h"
#include "api/requestpipeline.h"
#include "state/appviewmodel.h"

using namespace Qt::StringLiterals;

void AppViewModel::requestPasswordReset()
{
    sendPasswordResetCode();
}

void AppViewModel::confirmPasswordReset()
{
    resetPassword();
}

QCoro::Task<> AppViewModel::sendPasswordResetCode()
{
    // Only the address sent is lowered; the field keeps what the user typed.
    const QString email = m_emailInput.trimmed().toLower();
    if (auto problem = AccountValidation::checkResetRequest(email)) {
        assign(m_authError, std::move(problem), &AppViewModel::authErrorChanged);
        co_return;
    }
    assign(m_isAuthLoading, true, &AppViewModel::isAuthLoadingChanged);
    assign(m_authError, std::nullopt, &AppViewModel::authErrorChanged);
    assign(m_authSuccessMessage, std::nullopt, &AppViewModel::authSuccessMessageChanged);

    const QJsonObject body{{u"email"_s, email}};
    QPointer self(this);
    const auto result = co_await performRequest<SimpleMessageResponse>(u"/auth/forgot-password"_s, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        assign(m_authError, std::optional(result.error().message), &AppViewModel::authErrorChanged);
        assign(m_isAuthLoading, false, &AppViewModel::isAuthLoadingChanged);
        co_return;
    }
    assign(m_authSuccessMessage, std::optional(result.value().message.value_or(u"Verification code sent to your email."_s)),
           &AppViewModel::authSuccessMessageChanged);
    // A plain move to the next screen: a code typed earlier stays.
    assign(m_authMode, AuthMode::EnterOtp, &AppViewModel::authModeChanged);
    assign(m_isAuthLoading, false, &AppViewModel::isAuthLoadingChanged);
}

QCoro::Task<> AppViewModel::resetPassword()
{
    const QString email = m_emailInput.trimmed().toLower();
    const QString code = m_otpCodeInput.trimmed();
    const QString newPassword = m_newPasswordInput;
    if (auto problem = AccountValidation::checkResetConfirmation(email, code, newPassword)) {
        assign(m_authError, std::move(problem), &AppViewModel::authErrorChanged);
        co_return;
    }
    assign(m_isAuthLoading, true, &AppViewModel::isAuthLoadingChanged);
    assign(m_authError, std::nullopt, &AppViewModel::authErrorChanged);
    assign(m_authSuccessMessage, std::nullopt, &AppViewModel::authSuccessMessageChanged);

    const QJsonObject body{{u"email"_s, email}, {u"code"_s, code}, {u"newPassword"_s, newPassword}};
    QPointer self(this);
    const auto result = co_await performRequest<SimpleMessageResponse>(u"/auth/reset-password"_s, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        assign(m_authError, std::optional(result.error().message), &AppViewModel::authErrorChanged);
        assign(m_isAuthLoading, false, &AppViewModel::isAuthLoadingChanged);
        co_return;
    }
    assign(m_authSuccessMessage, std::optional(result.value().message.value_or(u"Password reset successfully. Please sign in."_s)),
           &AppViewModel::authSuccessMessageChanged);
    setPasswordInput(QString());
    setOtpCodeInput(QString());
    setNewPasswordInput(QString());
    // Not switchAuthMode: the remembered password must not come back over the new one.
    assign(m_authMode, AuthMode::Login, &AppViewModel::authModeChanged);
    assign(m_isAuthLoading, false, &AppViewModel::isAuthLoadingChanged);
}
