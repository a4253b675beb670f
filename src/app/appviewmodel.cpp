#include "appviewmodel.h"

#include "authenticationcard.h"
#include "backendclient.h"
#include "browserbridge.h"
#include "browsercapture.h"
#include "browserconnections.h"
#include "desktopcaptureplatform.h"
#include "jsonreader.h"
#include "keychainsecretstore.h"
#include "library.h"
#include "librarycopies.h"
#include "localstoremanager.h"
#include "passwordchangeform.h"
#include "portaladdress.h"
#include "preferencessecretstore.h"
#include "published.h"
#include "updatecheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(lcState, "corvane.state", QtInfoMsg)

namespace
{
const QList<QLatin1StringView> kSecretKeys{Preferences::kJWTToken, Preferences::kRememberedPassword};
// Start-up waits this long at most for the secret store, before the panel is shown.
constexpr std::chrono::milliseconds kSecretStoreWait = 5s;

// The system's secret store when one runs, else the preferences (owner-only). An earlier version
// kept the secrets as plain text in the preferences: a system store takes them over, and the
// plain copies leave the disk at once, not whenever the preferences are next saved.
std::unique_ptr<SecretStore> secretStoreFor(Preferences &preferences, std::unique_ptr<SecretStore> systemStore)
{
    if (!systemStore)
        return std::make_unique<PreferencesSecretStore>(preferences);
    bool moved = false;
    for (const QLatin1StringView key : kSecretKeys) {
        if (!preferences.contains(key))
            continue;
        if (const std::optional<QString> plain = preferences.text(key))
            systemStore->setText(key, *plain);
        preferences.remove(key);
        moved = true;
    }
    if (moved)
        preferences.save();
    return systemStore;
}
}

AppViewModelDependencies AppViewModelDependencies::forDesktop()
{
    LibraryCopies::moveCopyOutOfPreferences(Preferences::userStoreFileName());
    auto preferences = std::make_unique<Preferences>();
    std::unique_ptr<SecretStore> secrets = KeychainSecretStore::open(u"Corvane"_s, kSecretKeys, kSecretStoreWait);
    if (secrets)
        qCInfo(lcState) << "secrets are kept in the system's secret store";
    else
        qCInfo(lcState) << "no secret store runs; secrets are kept in" << preferences->location().fileName << "(owner only)";
    auto bridge = std::make_shared<BrowserBridge>(BrowserBridge::sessionServerName());
    bridge->listen();
    DesktopCapturePlatform capture = withBrowserBridge(makeDesktopCapturePlatform(), bridge);
    return {
        .webPortalUrl = PortalAddress::fromEnvironment(),
        .preferences = std::move(preferences),
        .secrets = std::move(secrets),
        .localStoreDirectory = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(u"Corvane"_s),
        .workspace = std::move(capture.workspace),
        .windowList = std::move(capture.windowList),
        .tabReader = std::move(capture.tabReader),
        .clipboard = std::make_unique<SystemClipboard>(),
        .saveDialog = std::make_unique<FileSaveDialog>(),
        .bridge = bridge,
    };
}

AppViewModel::AppViewModel(AppViewModelDependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_preferences(std::move(dependencies.preferences))
    , m_secrets(secretStoreFor(*m_preferences, std::move(dependencies.secrets)))
    , m_workspace(std::move(dependencies.workspace))
    , m_windowList(std::move(dependencies.windowList))
    , m_clipboard(std::move(dependencies.clipboard))
    , m_saveDialog(std::move(dependencies.saveDialog))
    , m_backend(
          std::make_unique<BackendClient>(std::move(dependencies.webPortalUrl), dependencies.requestTimeout, dependencies.answerSizeLimit))
    , m_localStore(std::make_unique<LocalStoreManager>(std::move(dependencies.localStoreDirectory)))
{
    m_library = std::make_unique<Library>(Library::Dependencies{
        .backend = *m_backend,
        .preferences = *m_preferences,
        .clipboard = *m_clipboard,
        .saveDialog = *m_saveDialog,
        .localStore = *m_localStore,
    });
    m_account = std::make_unique<AuthenticationCard>(*m_backend, *m_preferences, *m_secrets,
                                                     [this](AuthResponse session) { return startSession(std::move(session)); });
    m_passwordChange = std::make_unique<PasswordChangeForm>(*m_backend, *m_account);
    m_capture
        = std::make_unique<BrowserCapture>(*m_workspace, *m_windowList, std::move(dependencies.tabReader), *m_preferences, *m_backend);
    connect(m_capture.get(), &BrowserCapture::websiteSaved, m_library.get(), &Library::addSavedWebsite);
    connect(m_capture.get(), &BrowserCapture::activeTabChanged, this, &AppViewModel::updateSavedActiveTab);
    connect(m_library.get(), &Library::websitesChanged, this, &AppViewModel::updateSavedActiveTab);
    m_updateCheck
        = std::make_unique<UpdateCheck>(m_backend->webPortalURL(), m_backend->network(), *m_workspace, dependencies.updateCheckTimeout);
    connect(m_backend.get(), &BackendClient::sessionRejected, this, &AppViewModel::endRejectedSession);
    m_browserConnections = std::make_unique<BrowserConnections>(
        std::move(dependencies.bridge), HostRegistration(std::move(dependencies.homeFolder), QCoreApplication::applicationFilePath()));
    m_logInStart = std::make_unique<LogInStart>(std::move(dependencies.autostartFolder), QCoreApplication::applicationFilePath());

    if (!m_preferences->contains(Preferences::kShowHeaderEmail))
        m_preferences->setBool(Preferences::kShowHeaderEmail, true);
    m_showHeaderEmail = m_preferences->boolValue(Preferences::kShowHeaderEmail);

    restoreSession();
    m_capture->start();
    connect(m_workspace.get(), &Workspace::thisApplicationActivated, this, &AppViewModel::fetchWebsitesWhenSignedIn);
}

AppViewModel::~AppViewModel() = default;

QVariant AppViewModel::currentUserValue() const
{
    return optionalToVariant(m_currentUser);
}

QVariant AppViewModel::savedActiveTabUrlValue() const
{
    return optionalToVariant(m_savedActiveTabUrl);
}

void AppViewModel::updateSavedActiveTab()
{
    const std::optional<SavedWebsite> saved = m_library->websiteAt(m_capture->activeTab().url);
    assignProperty(this, m_savedActiveTabUrl, saved ? std::optional(saved->url) : std::nullopt, &AppViewModel::savedActiveTabUrlChanged);
}

void AppViewModel::setShowSettings(bool show)
{
    // Either may have changed outside Corvane since settings were last open.
    if (show) {
        m_browserConnections->refresh();
        m_logInStart->refresh();
    }
    assignProperty(this, m_showSettings, show, &AppViewModel::showSettingsChanged);
}

void AppViewModel::setShowHeaderEmail(bool show)
{
    m_preferences->setBool(Preferences::kShowHeaderEmail, show);
    assignProperty(this, m_showHeaderEmail, show, &AppViewModel::showHeaderEmailChanged);
}

void AppViewModel::setWideLayout(bool wide)
{
    assignProperty(this, m_isWideLayout, wide, &AppViewModel::isWideLayoutChanged);
}

void AppViewModel::setHasTrayIcon(bool hasTrayIcon)
{
    assignProperty(this, m_hasTrayIcon, hasTrayIcon, &AppViewModel::hasTrayIconChanged);
}

void AppViewModel::toggleWindowWidth()
{
    Q_EMIT windowWidthSwitchRequested();
}

void AppViewModel::quitApplication()
{
    QCoreApplication::quit();
}

void AppViewModel::restoreSession()
{
    const std::optional<QString> token = m_secrets->text(Preferences::kJWTToken);
    std::optional<User> user;
    if (token && !token->isEmpty()) {
        const auto stored = m_preferences->data(Preferences::kCurrentUser);
        if (const auto json = stored ? JsonReader::parse(*stored) : std::nullopt)
            user = User::fromJson(*json).toOptional();
    }
    if (!user) {
        // A token without a readable user is no session. Kept, it would go out with the next
        // sign-in, whose wrong password would then read as an ended session.
        if (token)
            m_secrets->remove(Preferences::kJWTToken);
        assignProperty(this, m_isAuthenticated, false, &AppViewModel::isAuthenticatedChanged);
        assignProperty(this, m_currentUser, std::nullopt, &AppViewModel::currentUserChanged);
        return;
    }
    m_backend->setToken(token);
    assignProperty(this, m_currentUser, std::move(user), &AppViewModel::currentUserChanged);
    assignProperty(this, m_isAuthenticated, true, &AppViewModel::isAuthenticatedChanged);
    restoreLibrary();
}

// The fetch waits for the local copies: it then compares with the list the last run left, and the
// two large decodings do not hold their memory at the same time.
QCoro::Task<> AppViewModel::restoreLibrary()
{
    QPointer self(this);
    co_await m_library->seedFromLocalCopies();
    if (self && m_isAuthenticated)
        co_await m_library->fetchWebsites();
}

QCoro::Task<> AppViewModel::startSession(AuthResponse session)
{
    m_secrets->setText(Preferences::kJWTToken, session.token);
    m_preferences->setData(Preferences::kCurrentUser, QJsonDocument(session.user.toJson()).toJson(QJsonDocument::Compact));
    m_backend->setToken(session.token);
    assignProperty(this, m_currentUser, std::optional(std::move(session.user)), &AppViewModel::currentUserChanged);
    assignProperty(this, m_isAuthenticated, true, &AppViewModel::isAuthenticatedChanged);
    co_await m_library->fetchWebsites();
}

QCoro::Task<> AppViewModel::fetchWebsitesWhenSignedIn()
{
    if (m_isAuthenticated)
        co_await m_library->fetchWebsites();
}

void AppViewModel::logout()
{
    m_backend->revokeToken();
    signOutLocally();
}

void AppViewModel::signOutLocally()
{
    setShowSettings(false);
    m_secrets->remove(Preferences::kJWTToken);
    m_preferences->remove(Preferences::kCurrentUser);
    m_backend->setToken(std::nullopt);
    m_library->clear();
    assignProperty(this, m_currentUser, std::nullopt, &AppViewModel::currentUserChanged);
    assignProperty(this, m_isAuthenticated, false, &AppViewModel::isAuthenticatedChanged);
    m_account->showSignIn();
}

void AppViewModel::endRejectedSession()
{
    // The backend already refuses the token: nothing to revoke.
    signOutLocally();
    m_account->showSessionEnded();
}

void AppViewModel::openAccountPortal()
{
    openAccountPage();
}

void AppViewModel::openContactPage()
{
    openPortalPage("/contact"_L1, "token"_L1, m_backend->token().value_or(QString()));
}

// A one-time code instead of the session token, which would stay in the browser's history; the page
// opens without one, as when signed out, if none can be had.
QCoro::Task<> AppViewModel::openAccountPage()
{
    QPointer self(this);
    QString code;
    if (m_backend->token()) {
        const auto answer = co_await m_backend->request<PortalCodeResponse>(u"/auth/portal-code"_s, "POST");
        if (!self)
            co_return;
        if (answer)
            code = answer.value().code;
    }
    openPortalPage("/account"_L1, "code"_L1, code);
}

void AppViewModel::openPortalPage(QLatin1StringView path, QLatin1StringView key, const QString &value)
{
    QString address = m_backend->webPortalURL() + path;
    // Everything outside the unreserved set is escaped, so the value cannot end the query early.
    if (!value.isEmpty())
        address += u'?' + key + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(value));
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid())
        m_workspace->openUrl(url);
}
