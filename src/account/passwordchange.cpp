#include "account/accountvalidation.h"
#include "api/requestpipeline.h"
#include "state/appviewmodel.h"

#include <QCoroTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
// Long enough to read the confirmation before the form folds away.
constexpr auto kFormCloseDelay = 2500ms;
}

void AppViewModel::changePassword()
{
    sendPasswordChange();
}

QCoro::Task<> AppViewModel::sendPasswordChange()
{
    const QString current = m_currentPasswordInput;
    const QString newPassword = m_changeNewPasswordInput;
    const QString confirmation = m_changeConfirmPasswordInput;
    if (auto problem = AccountValidation::checkPasswordChange(current, newPassword, confirmation)) {
        assign(m_changePasswordError, std::move(problem), &AppViewModel::changePasswordErrorChanged);
        co_return;
    }
    assign(m_isChangingPassword, true, &AppViewModel::isChangingPasswordChanged);
    assign(m_changePasswordError, std::nullopt, &AppViewModel::changePasswordErrorChanged);
    assign(m_changePasswordSuccess, std::nullopt, &AppViewModel::changePasswordSuccessChanged);

    const QJsonObject body{{u"currentPassword"_s, current}, {u"newPassword"_s, newPassword}};
    QPointer self(this);
    const auto result = co_await performRequest<SimpleMessageResponse>(u"/auth/change-password"_s, "POST", body);
    if (!self)
        co_return;
    if (!result) {
        assign(m_changePasswordError, std::optional(result.error().message), &AppViewModel::changePasswordErrorChanged);
        assign(m_isChangingPassword, false, &AppViewModel::isChangingPasswordChanged);
        co_return;
    }
    assign(m_changePasswordSuccess, std::optional(result.value().message.value_or(u"Password updated successfully."_s)),
           &AppViewModel::changePasswordSuccessChanged);
    setCurrentPasswordInput(QString());
    setChangeNewPasswordInput(QString());
    setChangeConfirmPasswordInput(QString());
    closePasswordFormLater();
    assign(m_isChangingPassword, false, &AppViewModel::isChangingPasswordChanged);
}

QCoro::Task<> AppViewModel::closePasswordFormLater()
{
    QPointer self(this);
    co_await QCoro::sleepFor(kFormCloseDelay);
    if (!self)
        co_return;
    // Straight to the field: the confirmation stays visible after the form closes.
    assign(m_isChangePasswordOpen, false, &AppViewModel::isChangePasswordOpenChanged);
}
