#pragma once

#include "api/records.h"
#include "api/requestresult.h"
#include "platform/clipboard.h"
#include "platform/savedialog.h"
#include "platform/windowlist.h"
#include "platform/workspace.h"
#include "state/preferences.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class LibraryCopiesWriter;
class LibrarySearch;
class QNetworkAccessManager;

// Everything the view model needs from outside, so tests can hand in fakes.
struct AppViewModelDependencies {
    QString webPortalUrl;
    std::unique_ptr<Preferences> preferences;
    QString localStoreDirectory;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<WindowList> windowList;
    QString scriptRunnerPath = QStringLiteral("/usr/bin/osascript");
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<SaveDialog> saveDialog;
    // How long a backend request, and the version check, may wait for the server.
    std::chrono::milliseconds requestTimeout{60'000};
    std::chrono::milliseconds updateCheckTimeout{6'000};

    // The production choices: the portal from the environment, the user's preferences and
    // application-support folder, and the desktop's services.
    static AppViewModelDependencies forDesktop();
};

// The one object that holds everything the panel shows and every operation it can trigger.
// All state lives on the main thread; optional values reach QML as undefined when absent.
class AppViewModel : public QObject
{
    Q_OBJECT

    Q_PROPERTY(bool hasBrowserPermission READ hasBrowserPermission NOTIFY hasBrowserPermissionChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool showHeaderEmail READ showHeaderEmail WRITE setShowHeaderEmail NOTIFY showHeaderEmailChanged)
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(QVariant currentUser READ currentUserValue NOTIFY currentUserChanged)
    Q_PROPERTY(AuthMode authMode READ authMode NOTIFY authModeChanged)
    Q_PROPERTY(QString emailInput READ emailInput WRITE setEmailInput NOTIFY emailInputChanged)
    Q_PROPERTY(QString passwordInput READ passwordInput WRITE setPasswordInput NOTIFY passwordInputChanged)
    Q_PROPERTY(QString otpCodeInput READ otpCodeInput WRITE setOtpCodeInput NOTIFY otpCodeInputChanged)
    Q_PROPERTY(QString newPasswordInput READ newPasswordInput WRITE setNewPasswordInput NOTIFY newPasswordInputChanged)
    Q_PROPERTY(bool rememberMe READ rememberMe NOTIFY rememberMeChanged)
    Q_PROPERTY(bool isAuthLoading READ isAuthLoading NOTIFY isAuthLoadingChanged)
    Q_PROPERTY(QVariant authError READ authErrorValue NOTIFY authErrorChanged)
    Q_PROPERTY(QVariant authSuccessMessage READ authSuccessMessageValue NOTIFY authSuccessMessageChanged)
    Q_PROPERTY(bool isChangePasswordOpen READ isChangePasswordOpen WRITE setChangePasswordOpen NOTIFY isChangePasswordOpenChanged)
    Q_PROPERTY(QString currentPasswordInput READ currentPasswordInput WRITE setCurrentPasswordInput NOTIFY currentPasswordInputChanged)
    Q_PROPERTY(QString changeNewPasswordInput READ changeNewPasswordInput WRITE setChangeNewPasswordInput NOTIFY changeNewPasswordInputChanged)
    Q_PROPERTY(QString changeConfirmPasswordInput READ changeConfirmPasswordInput WRITE setChangeConfirmPasswordInput NOTIFY changeConfirmPasswordInputChanged)
    Q_PROPERTY(bool isChangingPassword READ isChangingPassword NOTIFY isChangingPasswordChanged)
    Q_PROPERTY(QVariant changePasswordSuccess READ changePasswordSuccessValue NOTIFY changePasswordSuccessChanged)
    Q_PROPERTY(QVariant changePasswordError READ changePasswordErrorValue NOTIFY changePasswordErrorChanged)
    Q_PROPERTY(QList<SavedWebsite> websites READ websites NOTIFY websitesChanged)
    Q_PROPERTY(QList<SavedWebsite> filteredWebsites READ filteredWebsites NOTIFY filteredWebsitesChanged)
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(int visibleLimit READ visibleLimit NOTIFY visibleLimitChanged)
    Q_PROPERTY(bool isWideLayout READ isWideLayout WRITE setWideLayout NOTIFY isWideLayoutChanged)
    Q_PROPERTY(ActiveBrowserTab activeTab READ activeTab NOTIFY activeTabChanged)
    Q_PROPERTY(bool showManualURLField READ showManualURLField WRITE setShowManualURLField NOTIFY showManualURLFieldChanged)
    Q_PROPERTY(QString customURLInput READ customURLInput WRITE setCustomURLInput NOTIFY customURLInputChanged)
    Q_PROPERTY(bool isSavingTab READ isSavingTab NOTIFY isSavingTabChanged)
    Q_PROPERTY(bool showSavedCheckmark READ showSavedCheckmark NOTIFY showSavedCheckmarkChanged)
    Q_PROPERTY(QVariant lastAddedWebsiteId READ lastAddedWebsiteIdValue NOTIFY lastAddedWebsiteIdChanged)
    Q_PROPERTY(bool isCheckingUpdate READ isCheckingUpdate NOTIFY isCheckingUpdateChanged)
    Q_PROPERTY(QString updateStatusText READ updateStatusText NOTIFY updateStatusTextChanged)
    Q_PROPERTY(bool hasUpdateAvailable READ hasUpdateAvailable NOTIFY hasUpdateAvailableChanged)

public:
    enum class AuthMode { Login, Register, ForgotPassword, EnterOtp };
    Q_ENUM(AuthMode)

    static constexpr QLatin1StringView currentAppVersion{"1.0.0"};

    explicit AppViewModel(AppViewModelDependencies dependencies, QObject *parent = nullptr);
    ~AppViewModel() override;

    [[nodiscard]] const QString &webPortalURL() const { return m_webPortalURL; }
    [[nodiscard]] const QString &apiBaseURL() const { return m_apiBaseURL; }
    [[nodiscard]] Preferences &defaults() const { return *m_defaults; }

    [[nodiscard]] bool hasBrowserPermission() const { return m_hasBrowserPermission; }
    [[nodiscard]] bool showSettings() const { return m_showSettings; }
    [[nodiscard]] bool showHeaderEmail() const { return m_showHeaderEmail; }
    [[nodiscard]] bool isAuthenticated() const { return m_isAuthenticated; }
    [[nodiscard]] const std::optional<User> &currentUser() const { return m_currentUser; }
    [[nodiscard]] AuthMode authMode() const { return m_authMode; }
    [[nodiscard]] const QString &emailInput() const { return m_emailInput; }
    [[nodiscard]] const QString &passwordInput() const { return m_passwordInput; }
    [[nodiscard]] const QString &otpCodeInput() const { return m_otpCodeInput; }
    [[nodiscard]] const QString &newPasswordInput() const { return m_newPasswordInput; }
    [[nodiscard]] bool rememberMe() const { return m_rememberMe; }
    [[nodiscard]] bool isAuthLoading() const { return m_isAuthLoading; }
    [[nodiscard]] const std::optional<QString> &authError() const { return m_authError; }
    [[nodiscard]] const std::optional<QString> &authSuccessMessage() const { return m_authSuccessMessage; }
    [[nodiscard]] bool isChangePasswordOpen() const { return m_isChangePasswordOpen; }
    [[nodiscard]] const QString &currentPasswordInput() const { return m_currentPasswordInput; }
    [[nodiscard]] const QString &changeNewPasswordInput() const { return m_changeNewPasswordInput; }
    [[nodiscard]] const QString &changeConfirmPasswordInput() const { return m_changeConfirmPasswordInput; }
    [[nodiscard]] bool isChangingPassword() const { return m_isChangingPassword; }
    [[nodiscard]] const std::optional<QString> &changePasswordSuccess() const { return m_changePasswordSuccess; }
    [[nodiscard]] const std::optional<QString> &changePasswordError() const { return m_changePasswordError; }
    [[nodiscard]] const QList<SavedWebsite> &websites() const { return m_websites; }
    [[nodiscard]] const QString &searchQuery() const { return m_searchQuery; }
    [[nodiscard]] int visibleLimit() const { return m_visibleLimit; }
    [[nodiscard]] bool isWideLayout() const { return m_isWideLayout; }
    [[nodiscard]] const ActiveBrowserTab &activeTab() const { return m_activeTab; }
    [[nodiscard]] bool showManualURLField() const { return m_showManualURLField; }
    [[nodiscard]] const QString &customURLInput() const { return m_customURLInput; }
    [[nodiscard]] bool isSavingTab() const { return m_isSavingTab; }
    [[nodiscard]] bool showSavedCheckmark() const { return m_showSavedCheckmark; }
    [[nodiscard]] std::optional<qint64> lastAddedWebsiteId() const { return m_lastAddedWebsiteId; }
    [[nodiscard]] bool isCheckingUpdate() const { return m_isCheckingUpdate; }
    [[nodiscard]] const QString &updateStatusText() const { return m_updateStatusText; }
    [[nodiscard]] bool hasUpdateAvailable() const { return m_hasUpdateAvailable; }

    void setShowSettings(bool show);
    void setShowHeaderEmail(bool show);
    void setEmailInput(const QString &text);
    void setPasswordInput(const QString &text);
    void setOtpCodeInput(const QString &text);
    void setNewPasswordInput(const QString &text);
    void setChangePasswordOpen(bool open);
    void setCurrentPasswordInput(const QString &text);
    void setChangeNewPasswordInput(const QString &text);
    void setChangeConfirmPasswordInput(const QString &text);
    void setSearchQuery(const QString &text);
    void setWideLayout(bool wide);
    void setShowManualURLField(bool show);
    void setCustomURLInput(const QString &text);

    Q_INVOKABLE void loadRememberedAccount();
    Q_INVOKABLE void updateRememberMe(bool enabled);
    void syncRememberedCredentials(const QString &email, const QString &password);
    Q_INVOKABLE void logout();
    Q_INVOKABLE void openAccountPortal();
    Q_INVOKABLE void openContactPage();

    // Library (src/library/).
    QCoro::Task<> fetchWebsites();
    // The websites matching searchQuery, in library order.
    [[nodiscard]] QList<SavedWebsite> filteredWebsites() const;
    Q_INVOKABLE void showMoreWebsites();
    // Blocks until both local copies of the library hold what was last published; they are
    // written in the background.
    void flushLibraryWrites();
    // Item operations. The asynchronous ones never fail to their caller and change nothing when
    // the backend refuses; pinning shows at once and is undone on failure.
    QCoro::Task<> togglePin(qint64 id);
    QCoro::Task<> updateWebsiteTitle(qint64 id, QString newTitle);
    QCoro::Task<> deleteWebsite(qint64 id);
    Q_INVOKABLE void shareWebsite(const SavedWebsite &website);
    Q_INVOKABLE void copyWebsiteLink(const SavedWebsite &website);
    Q_INVOKABLE void exportBookmarksToFile();

    // Browser capture (src/capture/).
    Q_INVOKABLE void refreshActiveBrowserTab();

    // Application shell (src/app/): switches the panel between compact and wide width.
    Q_INVOKABLE void toggleWindowWidth();

    // Account flows (src/account/). Each starts its work and returns; the busy flag tells when it
    // is done.
    Q_INVOKABLE void switchAuthMode(AppViewModel::AuthMode mode);
    Q_INVOKABLE void submitAuth();
    Q_INVOKABLE void requestPasswordReset();
    Q_INVOKABLE void confirmPasswordReset();
    Q_INVOKABLE void changePassword();

    // Update check (src/update/).
    Q_INVOKABLE void checkForUpdates();

Q_SIGNALS:
    void hasBrowserPermissionChanged();
    void showSettingsChanged();
    void showHeaderEmailChanged();
    void isAuthenticatedChanged();
    void currentUserChanged();
    void authModeChanged();
    void emailInputChanged();
    void passwordInputChanged();
    void otpCodeInputChanged();
    void newPasswordInputChanged();
    void rememberMeChanged();
    void isAuthLoadingChanged();
    void authErrorChanged();
    void authSuccessMessageChanged();
    void isChangePasswordOpenChanged();
    void currentPasswordInputChanged();
    void changeNewPasswordInputChanged();
    void changeConfirmPasswordInputChanged();
    void isChangingPasswordChanged();
    void changePasswordSuccessChanged();
    void changePasswordErrorChanged();
    void websitesChanged();
    void searchQueryChanged();
    void visibleLimitChanged();
    void isWideLayoutChanged();
    void activeTabChanged();
    void showManualURLFieldChanged();
    void customURLInputChanged();
    void isSavingTabChanged();
    void showSavedCheckmarkChanged();
    void lastAddedWebsiteIdChanged();
    void isCheckingUpdateChanged();
    void updateStatusTextChanged();
    void hasUpdateAvailableChanged();

    // Library (src/library/).
    void filteredWebsitesChanged();

private:
    // The one way C++ writes a published property: compare, assign, notify.
    template<typename T, typename V>
    void assign(T &member, V &&value, void (AppViewModel::*changed)())
    {
        if (member == value)
            return;
        member = std::forward<V>(value);
        Q_EMIT(this->*changed)();
    }

    // assign() for the filtered text inputs: stores filter(typed) and notifies when that differs
    // from what was typed, even if the stored value is unchanged.
    void assignFiltered(QString &member, const QString &typed, QString (*filter)(const QString &),
                        void (AppViewModel::*changed)());

    [[nodiscard]] QVariant currentUserValue() const;
    [[nodiscard]] QVariant authErrorValue() const;
    [[nodiscard]] QVariant authSuccessMessageValue() const;
    [[nodiscard]] QVariant changePasswordSuccessValue() const;
    [[nodiscard]] QVariant changePasswordErrorValue() const;
    [[nodiscard]] QVariant lastAddedWebsiteIdValue() const;

    void restoreSession();
    void openPortalPage(QLatin1StringView path);
    QCoro::Task<> refreshTabThenFetchWebsites();

    // Library (src/library/).
    void setUpLibrary();
    void seedWebsitesFromLocalCopies();
    void clearLocalLibrary();
    void cacheWebsites(QList<SavedWebsite> websites);
    void cacheThumbnailsOf(const QList<SavedWebsite> &websites);
    bool setPinned(qint64 id, bool pinned);
    // An answer is dropped when the model is gone or the session it was asked in has ended.
    [[nodiscard]] static bool answerIsStale(const QPointer<AppViewModel> &self, const std::optional<QString> &tokenAsked);

    // Request pipeline (src/api/requestpipeline.h, which defines it and documents its use).
    friend class RequestPipelineTest;
    template<typename Response>
    QCoro::Task<RequestResult<Response>> performRequest(QString endpoint, QByteArray method,
                                                        std::optional<QJsonObject> body = std::nullopt);

    // Account flows (src/account/).
    QCoro::Task<> signInOrRegister();
    QCoro::Task<> sendPasswordResetCode();
    QCoro::Task<> resetPassword();
    QCoro::Task<> sendPasswordChange();
    QCoro::Task<> closePasswordFormLater();

    // Update check (src/update/).
    QCoro::Task<> fetchLatestVersion(QUrl address);
    void showUpdateCheckResult(const std::optional<QString> &latestVersion);

    // Browser capture (src/capture/).
    void seedBrowserTracker();
    void handleApplicationActivated(const QString &bundleId);
    void startBrowserPolling();

    QString m_webPortalURL;
    QString m_apiBaseURL;
    std::unique_ptr<Preferences> m_defaults;
    QString m_localStoreDirectory;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<WindowList> m_windowList;
    QString m_scriptRunnerPath;
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<SaveDialog> m_saveDialog;

    bool m_hasBrowserPermission = false;
    bool m_showSettings = false;
    bool m_showHeaderEmail = true;
    bool m_isAuthenticated = false;
    std::optional<User> m_currentUser;
    AuthMode m_authMode = AuthMode::Login;
    QString m_emailInput;
    QString m_passwordInput;
    QString m_otpCodeInput;
    QString m_newPasswordInput;
    bool m_rememberMe = true;
    bool m_isAuthLoading = false;
    std::optional<QString> m_authError;
    std::optional<QString> m_authSuccessMessage;
    bool m_isChangePasswordOpen = false;
    QString m_currentPasswordInput;
    QString m_changeNewPasswordInput;
    QString m_changeConfirmPasswordInput;
    bool m_isChangingPassword = false;
    std::optional<QString> m_changePasswordSuccess;
    std::optional<QString> m_changePasswordError;
    QList<SavedWebsite> m_websites;
    QString m_searchQuery;
    int m_visibleLimit = 5;
    bool m_isWideLayout = false;
    ActiveBrowserTab m_activeTab{.title = QStringLiteral("Current Tab"), .url = {}, .browserName = QStringLiteral("Google Chrome")};
    bool m_showManualURLField = false;
    QString m_customURLInput;
    bool m_isSavingTab = false;
    bool m_showSavedCheckmark = false;
    std::optional<qint64> m_lastAddedWebsiteId;
    bool m_isCheckingUpdate = false;
    QString m_updateStatusText;
    bool m_hasUpdateAvailable = false;

    // Request pipeline and update check (src/api/, src/update/).
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::chrono::milliseconds m_requestTimeout;
    std::chrono::milliseconds m_updateCheckTimeout;

    // Library (src/library/). Shared pointers carry their deleters from src/library/, so src/state/
    // never needs the library's headers.
    std::shared_ptr<LibraryCopiesWriter> m_libraryCopiesWriter;
    std::shared_ptr<LibrarySearch> m_librarySearch;
    // Each fetch walks the thumbnails anew; a walk stops when a newer one starts, at sign-out, and
    // when the model is gone (its worker then finds this counter expired).
    std::shared_ptr<std::atomic<quint64>> m_thumbnailWalk = std::make_shared<std::atomic<quint64>>(0);
    // The library benchmark times the private cacheWebsites.
    friend struct LibraryBenchmarkAccess;
};
