#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

class AuthenticationCard;
class BackendClient;

// The settings panel's form for a new password. It folds away a moment after a success, leaving
// the confirmation in view. A changed password replaces the remembered one.
class PasswordChangeForm : public QObject
{
    Q_OBJECT

    Q_PROPERTY(bool isChangePasswordOpen READ isChangePasswordOpen WRITE setChangePasswordOpen NOTIFY isChangePasswordOpenChanged)
    Q_PROPERTY(QString currentPasswordInput READ currentPasswordInput WRITE setCurrentPasswordInput NOTIFY currentPasswordInputChanged)
    Q_PROPERTY(
        QString changeNewPasswordInput READ changeNewPasswordInput WRITE setChangeNewPasswordInput NOTIFY changeNewPasswordInputChanged)
    Q_PROPERTY(QString changeConfirmPasswordInput READ changeConfirmPasswordInput WRITE setChangeConfirmPasswordInput NOTIFY
                   changeConfirmPasswordInputChanged)
    Q_PROPERTY(bool isChangingPassword READ isChangingPassword NOTIFY isChangingPasswordChanged)
    Q_PROPERTY(QVariant changePasswordSuccess READ changePasswordSuccessValue NOTIFY changePasswordSuccessChanged)
    Q_PROPERTY(QVariant changePasswordError READ changePasswordErrorValue NOTIFY changePasswordErrorChanged)

public:
    PasswordChangeForm(BackendClient &backend, AuthenticationCard &account, QObject *parent = nullptr);

    [[nodiscard]] bool isChangePasswordOpen() const { return m_isChangePasswordOpen; }
    [[nodiscard]] const QString &currentPasswordInput() const { return m_currentPasswordInput; }
    [[nodiscard]] const QString &changeNewPasswordInput() const { return m_changeNewPasswordInput; }
    [[nodiscard]] const QString &changeConfirmPasswordInput() const { return m_changeConfirmPasswordInput; }
    [[nodiscard]] bool isChangingPassword() const { return m_isChangingPassword; }
    [[nodiscard]] const std::optional<QString> &changePasswordSuccess() const { return m_changePasswordSuccess; }
    [[nodiscard]] const std::optional<QString> &changePasswordError() const { return m_changePasswordError; }

    void setChangePasswordOpen(bool open);
    void setCurrentPasswordInput(const QString &text);
    void setChangeNewPasswordInput(const QString &text);
    void setChangeConfirmPasswordInput(const QString &text);

    // "Change" and "Cancel": opens or closes the form without the messages of an earlier
    // attempt; the typed passwords stay.
    Q_INVOKABLE void toggleChangePasswordOpen();
    // Starts the change and returns; isChangingPassword tells when it is done.
    Q_INVOKABLE void changePassword();

Q_SIGNALS:
    void isChangePasswordOpenChanged();
    void currentPasswordInputChanged();
    void changeNewPasswordInputChanged();
    void changeConfirmPasswordInputChanged();
    void isChangingPasswordChanged();
    void changePasswordSuccessChanged();
    void changePasswordErrorChanged();

private:
    [[nodiscard]] QVariant changePasswordSuccessValue() const;
    [[nodiscard]] QVariant changePasswordErrorValue() const;

    QCoro::Task<> sendPasswordChange();
    QCoro::Task<> closeLater();

    BackendClient &m_backend;
    AuthenticationCard &m_account;

    bool m_isChangePasswordOpen = false;
    QString m_currentPasswordInput;
    QString m_changeNewPasswordInput;
    QString m_changeConfirmPasswordInput;
    bool m_isChangingPassword = false;
    std::optional<QString> m_changePasswordSuccess;
    std::optional<QString> m_changePasswordError;
};
