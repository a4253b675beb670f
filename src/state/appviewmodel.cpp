#include "appviewmodel.h"

#include "api/jsonreader.h"
#include "platform/desktopworkspace.h"
#include "state/portaladdress.h"
#include "state/textinputfilter.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QStandardPaths>
#include <QUrl>

using namespace Qt::StringLiterals;

AppViewModelDependencies AppViewModelDependencies::forDesktop()
{
    return {
        .webPortalUrl = PortalAddress::fromEnvironment(),
        .preferences = std::make_unique<Preferences>(),
        .localStoreDirectory = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(u"Corvane"_s),
        .workspace = std::make_unique<DesktopWorkspace>(),
        .windowList = std::make_unique<UnavailableWindowList>(),
        .clipboard = std::make_unique<SystemClipboard>(),
        .saveDialog = std::make_unique<FileSaveDialog>(),
    };
}

AppViewModel::AppViewModel(AppViewModelDependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_webPortalURL(std::move(dependencies.webPortalUrl))
    , m_apiBaseURL(m_webPortalURL + "/api"_L1)
    , m_defaults(std::move(dependencies.preferences))
    , m_localStoreDirectory(std::move(dependencies.localStoreDirectory))
    , m_workspace(std::move(dependencies.workspace))
    , m_windowList(std::move(dependencies.windowList))
    , m_scriptRunnerPath(std::move(dependencies.scriptRunnerPath))
    , m_clipboard(std::move(dependencies.clipboard))
    , m_saveDialog(std::move(dependencies.saveDialog))
    , m_network(std::make_unique<QNetworkAccessManager>())
    , m_requestTimeout(dependencies.requestTimeout)
    , m_updateCheckTimeout(dependencies.updateCheckTimeout)
{
    setUpLibrary();
    m_hasBrowserPermission = m_defaults->boolValue(Preferences::kBrowserPermission);
    if (!m_defaults->contains(Preferences::kShowHeaderEmail))
        m_defaults->setBool(Preferences::kShowHeaderEmail, true);
    m_showHeaderEmail = m_defaults->boolValue(Preferences::kShowHeaderEmail);

    loadRememberedAccount();
    restoreSession();
    seedBrowserTracker();
    connect(m_workspace.get(), &Workspace::applicationActivated, this, &AppViewModel::handleApplicationActivated);
    if (m_hasBrowserPermission)
        refreshActiveBrowserTab();
    startBrowserPolling();
    connect(m_workspace.get(), &Workspace::thisApplicationActivated, this, [this] {
        refreshTabThenFetchWebsites();
    });
}

AppViewModel::~AppViewModel() = default;

QCoro::Task<> AppViewModel::refreshTabThenFetchWebsites()
{
    refreshActiveBrowserTab();
    if (m_isAuthenticated)
        co_await fetchWebsites();
}

void AppViewModel::loadRememberedAccount()
{
    if (!m_defaults->contains(Preferences::kRememberMe))
        m_defaults->setBool(Preferences::kRememberMe, true);
    assign(m_rememberMe, m_defaults->boolValue(Preferences::kRememberMe), &AppViewModel::rememberMeChanged);

    if (m_authMode == AuthMode::Login && m_rememberMe) {
        setEmailInput(m_defaults->text(Preferences::kRememberedEmail).value_or(QString()));
        setPasswordInput(m_defaults->text(Preferences::kRememberedPassword).value_or(QString()));
    } else {
        setEmailInput(QString());
        setPasswordInput(QString());
    }
}

void AppViewModel::restoreSession()
{
    const QString token = m_defaults->text(Preferences::kJWTToken).value_or(QString());
    std::optional<User> user;
    if (!token.isEmpty()) {
        const auto stored = m_defaults->data(Preferences::kCurrentUser);
        if (const auto json = stored ? JsonReader::parse(*stored) : std::nullopt)
            user = User::fromJson(*json).toOptional();
    }
    if (!user) {
        // A corrupt or missing user leaves the token in place; the next sign-in overwrites both.
        assign(m_isAuthenticated, false, &AppViewModel::isAuthenticatedChanged);
        assign(m_currentUser, std::nullopt, &AppViewModel::currentUserChanged);
        return;
    }
    assign(m_currentUser, std::move(user), &AppViewModel::currentUserChanged);
    assign(m_isAuthenticated, true, &AppViewModel::isAuthenticatedChanged);
    seedWebsitesFromLocalCopies();
    fetchWebsites();
}

void AppViewModel::updateRememberMe(bool enabled)
{
    assign(m_rememberMe, enabled, &AppViewModel::rememberMeChanged);
    m_defaults->setBool(Preferences::kRememberMe, enabled);
    if (!enabled) {
        m_defaults->remove(Preferences::kRememberedEmail);
        m_defaults->remove(Preferences::kRememberedPassword);
    }
}

void AppViewModel::syncRememberedCredentials(const QString &email, const QString &password)
{
    m_defaults->setBool(Preferences::kRememberMe, m_rememberMe);
    if (m_rememberMe) {
        m_defaults->setText(Preferences::kRememberedEmail, email);
        m_defaults->setText(Preferences::kRememberedPassword, password);
    } else {
        m_defaults->remove(Preferences::kRememberedEmail);
        m_defaults->remove(Preferences::kRememberedPassword);
    }
}

void AppViewModel::logout()
{
    setShowSettings(false);
    m_defaults->remove(Preferences::kJWTToken);
    m_defaults->remove(Preferences::kCurrentUser);
    m_defaults->remove(Preferences::kSavedWebsites);
    clearLocalLibrary();
    assign(m_websites, QList<SavedWebsite>(), &AppViewModel::websitesChanged);
    assign(m_currentUser, std::nullopt, &AppViewModel::currentUserChanged);
    assign(m_isAuthenticated, false, &AppViewModel::isAuthenticatedChanged);
    assign(m_authError, std::nullopt, &AppViewModel::authErrorChanged);
    assign(m_authMode, AuthMode::Login, &AppViewModel::authModeChanged);
    loadRememberedAccount();
}

void AppViewModel::openAccountPortal()
{
    openPortalPage("/account"_L1);
}

void AppViewModel::openContactPage()
{
    openPortalPage("/contact"_L1);
}

void AppViewModel::openPortalPage(QLatin1StringView path)
{
    const QString token = m_defaults->text(Preferences::kJWTToken).value_or(QString());
    QString address = m_webPortalURL + path;
    // Everything outside the unreserved set is escaped, so the token cannot end the query early.
    if (!token.isEmpty())
        address += "?token="_L1 + QString::fromLatin1(QUrl::toPercentEncoding(token));
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid())
        m_workspace->openUrl(url);
}

void AppViewModel::assignFiltered(QString &member, const QString &typed, QString (*filter)(const QString &),
                                  void (AppViewModel::*changed)())
{
    QString filtered = filter(typed);
    // The view that wrote the refused characters must hear back even when the stored value stays
    // the same, or it keeps showing them.
    if (member == filtered && filtered == typed)
        return;
    member = std::move(filtered);
    Q_EMIT(this->*changed)();
}

void AppViewModel::setShowSettings(bool show)
{
    assign(m_showSettings, show, &AppViewModel::showSettingsChanged);
}

void AppViewModel::setShowHeaderEmail(bool show)
{
    m_defaults->setBool(Preferences::kShowHeaderEmail, show);
    assign(m_showHeaderEmail, show, &AppViewModel::showHeaderEmailChanged);
}

void AppViewModel::setEmailInput(const QString &text)
{
    assignFiltered(m_emailInput, text, TextInputFilter::keepAsciiWithoutWhitespace, &AppViewModel::emailInputChanged);
}

void AppViewModel::setPasswordInput(const QString &text)
{
    assignFiltered(m_passwordInput, text, TextInputFilter::keepAscii, &AppViewModel::passwordInputChanged);
}

void AppViewModel::setOtpCodeInput(const QString &text)
{
    assignFiltered(m_otpCodeInput, text, TextInputFilter::keepAsciiWithoutWhitespace, &AppViewModel::otpCodeInputChanged);
}

void AppViewModel::setNewPasswordInput(const QString &text)
{
    assignFiltered(m_newPasswordInput, text, TextInputFilter::keepAscii, &AppViewModel::newPasswordInputChanged);
}

void AppViewModel::setChangePasswordOpen(bool open)
{
    assign(m_isChangePasswordOpen, open, &AppViewModel::isChangePasswordOpenChanged);
}

void AppViewModel::setCurrentPasswordInput(const QString &text)
{
    assignFiltered(m_currentPasswordInput, text, TextInputFilter::keepAscii, &AppViewModel::currentPasswordInputChanged);
}

void AppViewModel::setChangeNewPasswordInput(const QString &text)
{
    assignFiltered(m_changeNewPasswordInput, text, TextInputFilter::keepAscii, &AppViewModel::changeNewPasswordInputChanged);
}

void AppViewModel::setChangeConfirmPasswordInput(const QString &text)
{
    assignFiltered(m_changeConfirmPasswordInput, text, TextInputFilter::keepAscii, &AppViewModel::changeConfirmPasswordInputChanged);
}

void AppViewModel::setSearchQuery(const QString &text)
{
    assign(m_searchQuery, text, &AppViewModel::searchQueryChanged);
}

void AppViewModel::setWideLayout(bool wide)
{
    assign(m_isWideLayout, wide, &AppViewModel::isWideLayoutChanged);
}

void AppViewModel::setShowManualURLField(bool show)
{
    assign(m_showManualURLField, show, &AppViewModel::showManualURLFieldChanged);
}

void AppViewModel::setCustomURLInput(const QString &text)
{
    assign(m_customURLInput, text, &AppViewModel::customURLInputChanged);
}

namespace
{
template<typename T>
QVariant toVariant(const std::optional<T> &value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}
}

QVariant AppViewModel::currentUserValue() const
{
    return toVariant(m_currentUser);
}

QVariant AppViewModel::authErrorValue() const
{
    return toVariant(m_authError);
}

QVariant AppViewModel::authSuccessMessageValue() const
{
    return toVariant(m_authSuccessMessage);
}

QVariant AppViewModel::changePasswordSuccessValue() const
{
    return toVariant(m_changePasswordSuccess);
}

QVariant AppViewModel::changePasswordErrorValue() const
{
    return toVariant(m_changePasswordError);
}

QVariant AppViewModel::lastAddedWebsiteIdValue() const
{
    return toVariant(m_lastAddedWebsiteId);
}
