#pragma once

#include "records.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class BackendClient;
class Preferences;
class SecretStore;

// The signed-out card: sign-in, registration and the two steps of a password reset, with the
// remembered account. A successful sign-in is handed to the session starter, which the card
// awaits before it stops showing progress.
class AuthenticationCard : public QObject
{
    Q_OBJECT

    Q_PROPERTY(AuthMode authMode READ authMode NOTIFY authModeChanged)
    Q_PROPERTY(QString emailInput READ emailInput WRITE setEmailInput NOTIFY emailInputChanged)
    Q_PROPERTY(QString passwordInput READ passwordInput WRITE setPasswordInput NOTIFY passwordInputChanged)
    Q_PROPERTY(QString otpCodeInput READ otpCodeInput WRITE setOtpCodeInput NOTIFY otpCodeInputChanged)
    Q_PROPERTY(QString newPasswordInput READ newPasswordInput WRITE setNewPasswordInput NOTIFY newPasswordInputChanged)
    Q_PROPERTY(bool rememberMe READ rememberMe NOTIFY rememberMeChanged)
    Q_PROPERTY(bool isAuthLoading READ isAuthLoading NOTIFY isAuthLoadingChanged)
    Q_PROPERTY(QVariant authError READ authErrorValue NOTIFY authErrorChanged)
    Q_PROPERTY(QVariant authSuccessMessage READ authSuccessMessageValue NOTIFY authSuccessMessageChanged)

public:
    enum class AuthMode {
        Login,
        Register,
        ForgotPassword,
        EnterOtp
    };
    Q_ENUM(AuthMode)

    using SessionStarter = std::function<QCoro::Task<>(AuthResponse)>;

    // The remembered password is kept in secrets, the rest of the remembered account in preferences.
    AuthenticationCard(BackendClient &backend, Preferences &preferences, SecretStore &secrets, SessionStarter startSession,
                       QObject *parent = nullptr);

    [[nodiscard]] AuthMode authMode() const { return m_authMode; }
    [[nodiscard]] const QString &emailInput() const { return m_emailInput; }
    [[nodiscard]] const QString &passwordInput() const { return m_passwordInput; }
    [[nodiscard]] const QString &otpCodeInput() const { return m_otpCodeInput; }
    [[nodiscard]] const QString &newPasswordInput() const { return m_newPasswordInput; }
    [[nodiscard]] bool rememberMe() const { return m_rememberMe; }
    [[nodiscard]] bool isAuthLoading() const { return m_isAuthLoading; }
    [[nodiscard]] const std::optional<QString> &authError() const { return m_authError; }
    [[nodiscard]] const std::optional<QString> &authSuccessMessage() const { return m_authSuccessMessage; }

    void setEmailInput(const QString &text);
    void setPasswordInput(const QString &text);
    void setOtpCodeInput(const QString &text);
    void setNewPasswordInput(const QString &text);

    Q_INVOKABLE void loadRememberedAccount();
    Q_INVOKABLE void updateRememberMe(bool enabled);
    // After a password change, so that the next sign-in does not offer the old one.
    void rememberChangedPassword(const QString &password);
    // Each starts its work and returns; isAuthLoading tells when it is done.
    Q_INVOKABLE void switchAuthMode(AuthenticationCard::AuthMode mode);
    Q_INVOKABLE void submitAuth();
    Q_INVOKABLE void requestPasswordReset();
    Q_INVOKABLE void confirmPasswordReset();

    // Back to the sign-in screen with the remembered account, as after a sign-out.
    void showSignIn();
    // Says why the user was signed out.
    void showSessionEnded();

Q_SIGNALS:
    void authModeChanged();
    void emailInputChanged();
    void passwordInputChanged();
    void otpCodeInputChanged();
    void newPasswordInputChanged();
    void rememberMeChanged();
    void isAuthLoadingChanged();
    void authErrorChanged();
    void authSuccessMessageChanged();

private:
    [[nodiscard]] QVariant authErrorValue() const;
    [[nodiscard]] QVariant authSuccessMessageValue() const;

    void syncRememberedCredentials(const QString &email, const QString &password);
    // Shows the request's failure and stops the progress.
    void fail(const QString &message);

    QCoro::Task<> signInOrRegister();
    QCoro::Task<> sendPasswordResetCode();
    QCoro::Task<> resetPassword();

    BackendClient &m_backend;
    Preferences &m_preferences;
    SecretStore &m_secrets;
    SessionStarter m_startSession;

    AuthMode m_authMode = AuthMode::Login;
    QString m_emailInput;
    QString m_passwordInput;
    QString m_otpCodeInput;
    QString m_newPasswordInput;
    bool m_rememberMe = true;
    bool m_isAuthLoading = false;
    std::optional<QString> m_authError;
    std::optional<QString> m_authSuccessMessage;
};
