#include "passwordchangeform.h"

#include "accountvalidation.h"
#include "authenticationcard.h"
#include "backendclient.h"
#include "published.h"
#include "textinputfilter.h"

#include <QCoroTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
// Long enough to read the confirmation before the form folds away.
constexpr auto kFormCloseDelay = 2500ms;
}

PasswordChangeForm::PasswordChangeForm(BackendClient &backend, AuthenticationCard &account, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
    , m_account(account)
{ }

void PasswordChangeForm::setChangePasswordOpen(bool open)
{
    assignProperty(this, m_isChangePasswordOpen, open, &PasswordChangeForm::isChangePasswordOpenChanged);
}

void PasswordChangeForm::toggleChangePasswordOpen()
{
    setChangePasswordOpen(!m_isChangePasswordOpen);
    assignProperty(this, m_changePasswordError, std::nullopt, &PasswordChangeForm::changePasswordErrorChanged);
    assignProperty(this, m_changePasswordSuccess, std::nullopt, &PasswordChangeForm::changePasswordSuccessChanged);
}

void PasswordChangeForm::setCurrentPasswordInput(const QString &text)
{
    assignFiltered(this, m_currentPasswordInput, text, TextInputFilter::keepAscii, &PasswordChangeForm::currentPasswordInputChanged);
}

void PasswordChangeForm::setChangeNewPasswordInput(const QString &text)
{
    assignFiltered(this, m_changeNewPasswordInput, text, TextInputFilter::keepAscii, &PasswordChangeForm::changeNewPasswordInputChanged);
}

void PasswordChangeForm::setChangeConfirmPasswordInput(const QString &text)
{
    assignFiltered(this, m_changeConfirmPasswordInput, text, TextInputFilter::keepAscii,
                   &PasswordChangeForm::changeConfirmPasswordInputChanged);
}

QVariant PasswordChangeForm::changePasswordSuccessValue() const
{
    return optionalToVariant(m_changePasswordSuccess);
}

QVariant PasswordChangeForm::changePasswordErrorValue() const
{
    return optionalToVariant(m_changePasswordError);
}

void PasswordChangeForm::changePassword()
{
    sendPasswordChange();
}

QCoro::Task<> PasswordChangeForm::sendPasswordChange()
{
    const QString current = m_currentPasswordInput;
    const QString newPassword = m_changeNewPasswordInput;
    const QString confirmation = m_changeConfirmPasswordInput;
    if (auto problem = AccountValidation::checkPasswordChange(current, newPassword, confirmation)) {
        assignProperty(this, m_changePasswordError, std::move(problem), &PasswordChangeForm::changePasswordErrorChanged);
        co_return;
    }
    assignProperty(this, m_isChangingPassword, true, &PasswordChangeForm::isChangingPasswordChanged);
    assignProperty(this, m_changePasswordError, std::nullopt, &PasswordChangeForm::changePasswordErrorChanged);
    assignProperty(this, m_changePasswordSuccess, std::nullopt, &PasswordChangeForm::changePasswordSuccessChanged);

    const QJsonObject body{{u"currentPassword"_s, current}, {u"newPassword"_s, newPassword}};
    QPointer self(this);
    const auto result = co_await m_backend.request<SimpleMessageResponse>(u"/auth/change-password"_s, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        assignProperty(this, m_changePasswordError, std::optional(result.error().message), &PasswordChangeForm::changePasswordErrorChanged);
        assignProperty(this, m_isChangingPassword, false, &PasswordChangeForm::isChangingPasswordChanged);
        co_return;
    }
    m_account.rememberChangedPassword(newPassword);
    assignProperty(this, m_changePasswordSuccess, std::optional(result.value().message.value_or(tr("Password updated successfully."))),
                   &PasswordChangeForm::changePasswordSuccessChanged);
    setCurrentPasswordInput(QString());
    setChangeNewPasswordInput(QString());
    setChangeConfirmPasswordInput(QString());
    closeLater();
    assignProperty(this, m_isChangingPassword, false, &PasswordChangeForm::isChangingPasswordChanged);
}

QCoro::Task<> PasswordChangeForm::closeLater()
{
    QPointer self(this);
    co_await QCoro::sleepFor(kFormCloseDelay);
    if (!self)
        co_return;
    // Straight to the field: the confirmation stays visible after the form closes.
    assignProperty(this, m_isChangePasswordOpen, false, &PasswordChangeForm::isChangePasswordOpenChanged);
}
