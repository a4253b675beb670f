#include "browsercapture.h"

#include "backendclient.h"
#include "browserdetection.h"
#include "browsersituation.h"
#include "browsertracker.h"
#include "capturelog.h"
#include "pagetextextractor.h"
#include "preferences.h"
#include "published.h"
#include "tabreader.h"
#include "tabsaverequest.h"
#include "windowlist.h"
#include "workspace.h"

#include <QCoroFuture>
#include <QCoroTimer>
#include <QPointer>
#include <QtConcurrent>

#include <array>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

BrowserCapture::BrowserCapture(Workspace &workspace, WindowList &windowList, std::unique_ptr<TabReader> tabReader, Preferences &preferences,
                               BackendClient &backend, QObject *parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_windowList(windowList)
    , m_tabReader(std::move(tabReader))
    , m_preferences(preferences)
    , m_backend(backend)
    , m_pageTextExtractor(std::make_unique<PageTextExtractor>(m_tabReader))
    , m_hasBrowserPermission(preferences.boolValue(Preferences::kBrowserPermission))
{
    m_pollingTimer.setInterval(pollingInterval);
    connect(&m_pollingTimer, &QTimer::timeout, this, &BrowserCapture::refreshActiveBrowserTab);
    m_savedConfirmationTimer.setSingleShot(true);
    m_savedConfirmationTimer.setInterval(savedConfirmationTime);
    connect(&m_savedConfirmationTimer, &QTimer::timeout, this, &BrowserCapture::endSavedConfirmation);
    connect(this, &BrowserCapture::activeTabChanged, this, &BrowserCapture::isSaveHeldChanged);
    connect(this, &BrowserCapture::customURLInputChanged, this, &BrowserCapture::isSaveHeldChanged);
}

BrowserCapture::~BrowserCapture() = default;

void BrowserCapture::start()
{
    BrowserSituation::seedTracker(m_tracker, m_workspace, m_windowList);
    connect(&m_workspace, &Workspace::applicationActivated, this, &BrowserCapture::handleApplicationActivated);
    if (m_hasBrowserPermission)
        refreshActiveBrowserTab();
    m_pollingTimer.start();
}

void BrowserCapture::refreshActiveBrowserTab()
{
    if (!m_hasBrowserPermission || m_isDetectingBrowser)
        return;
    m_isDetectingBrowser = true;
    detect();
}

// The worker gets only values and the shared reader, so nothing it touches can go away under it.
QCoro::Task<> BrowserCapture::detect()
{
    BrowserSituation situation = BrowserSituation::observe(m_workspace, m_windowList, m_tracker);
    QPointer self(this);
    const std::optional<ActiveBrowserTab> tab
        = co_await QtConcurrent::run(BrowserDetection::detectAnyOpenBrowserTab, std::move(situation), m_tabReader);
    if (!self)
        co_return;
    m_isDetectingBrowser = false;
    // Access paused meanwhile: the placeholder it set stays.
    if (m_hasBrowserPermission && tab)
        assignProperty(this, m_activeTab, *tab, &BrowserCapture::activeTabChanged);
    Q_EMIT detectionFinished();
}

void BrowserCapture::handleApplicationActivated(const QString &applicationId)
{
    if (m_tracker.setLastActiveBrowser(applicationId))
        refreshActiveBrowserTab();
}

void BrowserCapture::setBrowserPermission(bool granted)
{
    assignProperty(this, m_hasBrowserPermission, granted, &BrowserCapture::hasBrowserPermissionChanged);
    m_preferences.setBool(Preferences::kBrowserPermission, granted);
    if (!granted) {
        assignProperty(this, m_activeTab,
                       ActiveBrowserTab{.title = tr("Allow Open Browser Access"), .url = {}, .browserName = tr("Privacy")},
                       &BrowserCapture::activeTabChanged);
        return;
    }
    assignProperty(this, m_activeTab,
                   ActiveBrowserTab{.title = tr("Reading active browser tab..."), .url = {}, .browserName = tr("Browser")},
                   &BrowserCapture::activeTabChanged);
    refreshActiveBrowserTab();
    retryDetectionAfterGrant();
}

// A browser may need a moment after the grant before it answers (the system asks the user first).
QCoro::Task<> BrowserCapture::retryDetectionAfterGrant()
{
    static constexpr std::array retryWaits{400ms, 1000ms, 2000ms, 3500ms};
    QPointer self(this);
    for (const std::chrono::milliseconds wait : retryWaits) {
        co_await QCoro::sleepFor(wait);
        if (!self)
            co_return;
        // Does nothing once access is paused.
        refreshActiveBrowserTab();
    }
}

void BrowserCapture::openSystemAutomationSettings()
{
    openPrivacySettings("Privacy_Automation"_L1);
}

void BrowserCapture::openSystemAccessibilitySettings()
{
    openPrivacySettings("Privacy_Accessibility"_L1);
}

void BrowserCapture::openPrivacySettings(QLatin1StringView anchor)
{
    const QUrl address("x-apple.systempreferences:com.apple.preference.security?"_L1 + anchor, QUrl::StrictMode);
    if (address.isValid())
        m_workspace.openUrl(address);
}

void BrowserCapture::setCustomURLInput(const QString &text)
{
    assignProperty(this, m_customURLInput, text, &BrowserCapture::customURLInputChanged);
    assignProperty(this, m_customURLError, std::nullopt, &BrowserCapture::customURLErrorChanged);
}

QVariant BrowserCapture::customURLErrorValue() const
{
    return optionalToVariant(m_customURLError);
}

void BrowserCapture::setShowManualURLField(bool show)
{
    assignProperty(this, m_showManualURLField, show, &BrowserCapture::showManualURLFieldChanged);
}

void BrowserCapture::saveActiveWebsite()
{
    if (m_isSavingTab)
        return;
    save();
}

QCoro::Task<> BrowserCapture::save()
{
    refreshActiveBrowserTab();
    const ActiveBrowserTab tab = m_activeTab;
    const std::optional<TabSaveRequest> request
        = TabSaveRequest::build(tab, m_customURLInput, TabSaveRequest::faviconServiceBase(m_backend.apiBaseURL()));
    if (!request) {
        if (!m_customURLInput.trimmed().isEmpty())
            assignProperty(this, m_customURLError, std::optional(tr("Not a web address")), &BrowserCapture::customURLErrorChanged);
        co_return;
    }
    assignProperty(this, m_isSavingTab, true, &BrowserCapture::isSavingTabChanged);

    QPointer self(this);
    const QString content = co_await m_pageTextExtractor->extractPageText(request->url, tab.browserName);
    if (!self)
        co_return;
    const QJsonObject body = request->toJson(content);
    auto saved = co_await m_backend.request<SingleWebsiteResponse>(u"/websites"_s, "POST", body);
    if (!self)
        co_return;
    if (!saved) {
        // The typed address stays, so the user can press save again.
        qCInfo(lcCapture) << "Saving a website failed:" << saved.error().message;
        assignProperty(this, m_isSavingTab, false, &BrowserCapture::isSavingTabChanged);
        co_return;
    }
    Q_EMIT websiteSaved(saved.value().website);
    setCustomURLInput(QString());
    setShowManualURLField(false);
    assignProperty(this, m_showSavedCheckmark, true, &BrowserCapture::showSavedCheckmarkChanged);
    m_savedConfirmationTimer.start();
}

void BrowserCapture::endSavedConfirmation()
{
    assignProperty(this, m_showSavedCheckmark, false, &BrowserCapture::showSavedCheckmarkChanged);
    assignProperty(this, m_isSavingTab, false, &BrowserCapture::isSavingTabChanged);
}
