#pragma once

#include "answersizelimit.h"
#include "clipboard.h"
#include "loginstart.h"
#include "preferences.h"
#include "records.h"
#include "savedialog.h"
#include "secretstore.h"
#include "tabreader.h"
#include "windowlist.h"
#include "workspace.h"

#include <QCoroTask>
#include <QDir>
#include <QObject>
#include <QString>
#include <QVariant>

#include <chrono>
#include <memory>
#include <optional>

class AuthenticationCard;
class BackendClient;
class BrowserBridge;
class BrowserCapture;
class BrowserConnections;
Q_MOC_INCLUDE("authenticationcard.h")
Q_MOC_INCLUDE("passwordchangeform.h")
Q_MOC_INCLUDE("browsercapture.h")
Q_MOC_INCLUDE("browserconnections.h")
Q_MOC_INCLUDE("library.h")
Q_MOC_INCLUDE("updatecheck.h")
class Library;
class LocalStoreManager;
class PasswordChangeForm;
class UpdateCheck;

// Everything the view model needs from outside, so tests can hand in fakes.
struct AppViewModelDependencies {
    QString webPortalUrl;
    std::unique_ptr<Preferences> preferences;
    // The session token and the remembered password; nothing keeps them in the preferences.
    std::unique_ptr<SecretStore> secrets;
    QString localStoreDirectory;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<WindowList> windowList;
    std::unique_ptr<TabReader> tabReader;
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<SaveDialog> saveDialog;
    // How long a backend request, and the version check, may wait for the server.
    std::chrono::milliseconds requestTimeout{60'000};
    std::chrono::milliseconds updateCheckTimeout{6'000};
    // The largest backend answer body taken in.
    qsizetype answerSizeLimit = kMaximumAnswerSize;
    // The browser add-on's bridge; without one no add-on counts as connected.
    std::shared_ptr<const BrowserBridge> bridge;
    // Where the browsers' host manifests are looked for and written.
    QString homeFolder = QDir::homePath();
    QString autostartFolder = LogInStart::defaultFolder();

    // The production choices: the portal from the environment, the user's preferences, the
    // system's secret store when one runs, the application-support folder, and the desktop's
    // services.
    static AppViewModelDependencies forDesktop();
};

// The one object the views receive. It holds the state of the whole panel and the flows that
// cross subsystems (start-up, session restore, sign-in, sign-out); each subsystem is an object of
// its own, reached through a constant property. All state lives on the main thread.
class AppViewModel : public QObject
{
    Q_OBJECT

    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(QVariant currentUser READ currentUserValue NOTIFY currentUserChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool showHeaderEmail READ showHeaderEmail WRITE setShowHeaderEmail NOTIFY showHeaderEmailChanged)
    Q_PROPERTY(bool isWideLayout READ isWideLayout WRITE setWideLayout NOTIFY isWideLayoutChanged)
    // False where the desktop shows no tray icon: the panel then offers quitApplication itself.
    Q_PROPERTY(bool hasTrayIcon READ hasTrayIcon NOTIFY hasTrayIconChanged)
    // The library's address of the active tab's page when it is saved already, to open it.
    Q_PROPERTY(QVariant savedActiveTabUrl READ savedActiveTabUrlValue NOTIFY savedActiveTabUrlChanged)
    Q_PROPERTY(AuthenticationCard *account READ account CONSTANT)
    Q_PROPERTY(PasswordChangeForm *passwordChange READ passwordChange CONSTANT)
    Q_PROPERTY(Library *library READ library CONSTANT)
    Q_PROPERTY(BrowserCapture *capture READ capture CONSTANT)
    Q_PROPERTY(UpdateCheck *updateCheck READ updateCheck CONSTANT)
    Q_PROPERTY(BrowserConnections *browserConnections READ browserConnections CONSTANT)
    Q_PROPERTY(LogInStart *logInStart READ logInStart CONSTANT)

public:
    explicit AppViewModel(AppViewModelDependencies dependencies, QObject *parent = nullptr);
    ~AppViewModel() override;

    [[nodiscard]] bool isAuthenticated() const { return m_isAuthenticated; }
    [[nodiscard]] const std::optional<User> &currentUser() const { return m_currentUser; }
    [[nodiscard]] bool showSettings() const { return m_showSettings; }
    [[nodiscard]] bool showHeaderEmail() const { return m_showHeaderEmail; }
    [[nodiscard]] bool isWideLayout() const { return m_isWideLayout; }
    [[nodiscard]] bool hasTrayIcon() const { return m_hasTrayIcon; }
    [[nodiscard]] const std::optional<QString> &savedActiveTabUrl() const { return m_savedActiveTabUrl; }

    [[nodiscard]] AuthenticationCard *account() const { return m_account.get(); }
    [[nodiscard]] PasswordChangeForm *passwordChange() const { return m_passwordChange.get(); }
    [[nodiscard]] Library *library() const { return m_library.get(); }
    [[nodiscard]] BrowserCapture *capture() const { return m_capture.get(); }
    [[nodiscard]] UpdateCheck *updateCheck() const { return m_updateCheck.get(); }
    [[nodiscard]] BrowserConnections *browserConnections() const { return m_browserConnections.get(); }
    [[nodiscard]] LogInStart *logInStart() const { return m_logInStart.get(); }
    [[nodiscard]] BackendClient &backend() const { return *m_backend; }
    // The thumbnails, which the panel's views show too.
    [[nodiscard]] LocalStoreManager &localStore() const { return *m_localStore; }

    void setShowSettings(bool show);
    void setShowHeaderEmail(bool show);
    void setWideLayout(bool wide);
    void setHasTrayIcon(bool hasTrayIcon);

    // Signs out at once; the backend is asked, without waiting, to end the session too.
    Q_INVOKABLE void logout();
    Q_INVOKABLE void openAccountPortal();
    Q_INVOKABLE void openContactPage();
    // Asks the panel to switch between compact and wide width.
    Q_INVOKABLE void toggleWindowWidth();
    // "Quit Corvane": ends the process.
    Q_INVOKABLE void quitApplication();

Q_SIGNALS:
    void isAuthenticatedChanged();
    void currentUserChanged();
    void showSettingsChanged();
    void showHeaderEmailChanged();
    void isWideLayoutChanged();
    void hasTrayIconChanged();
    void windowWidthSwitchRequested();
    void savedActiveTabUrlChanged();

private:
    [[nodiscard]] QVariant currentUserValue() const;
    [[nodiscard]] QVariant savedActiveTabUrlValue() const;
    void updateSavedActiveTab();

    void restoreSession();
    QCoro::Task<> restoreLibrary();
    QCoro::Task<> startSession(AuthResponse session);
    void signOutLocally();
    void endRejectedSession();
    QCoro::Task<> fetchWebsitesWhenSignedIn();
    void openPortalPage(QLatin1StringView path, QLatin1StringView key, const QString &value);
    QCoro::Task<> openAccountPage();

    // Declared before the subsystems, which use them: destroyed after them.
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<SecretStore> m_secrets;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<WindowList> m_windowList;
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<SaveDialog> m_saveDialog;
    std::unique_ptr<BackendClient> m_backend;
    std::unique_ptr<LocalStoreManager> m_localStore;

    std::unique_ptr<AuthenticationCard> m_account;
    std::unique_ptr<PasswordChangeForm> m_passwordChange;
    std::unique_ptr<Library> m_library;
    std::unique_ptr<BrowserCapture> m_capture;
    std::unique_ptr<UpdateCheck> m_updateCheck;
    std::unique_ptr<BrowserConnections> m_browserConnections;
    std::unique_ptr<LogInStart> m_logInStart;

    bool m_isAuthenticated = false;
    std::optional<User> m_currentUser;
    std::optional<QString> m_savedActiveTabUrl;
    bool m_showSettings = false;
    bool m_showHeaderEmail = true;
    bool m_isWideLayout = false;
    bool m_hasTrayIcon = true;
};
