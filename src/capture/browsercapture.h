#pragma once

#include "browsertracker.h"
#include "records.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class BackendClient;
class PageTextExtractor;
class Preferences;
class TabReader;
class WindowList;
class Workspace;

// Keeps activeTab equal to the browser tab the user most likely looks at, while the user allows
// browser access, and saves it (or a typed address) to the library. Detection runs on a worker
// thread, one at a time; every trigger (the 1 s poll, a browser's activation, granting access,
// the panel) funnels into refreshActiveBrowserTab.
class BrowserCapture : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasBrowserPermission READ hasBrowserPermission NOTIFY hasBrowserPermissionChanged)
    Q_PROPERTY(ActiveBrowserTab activeTab READ activeTab NOTIFY activeTabChanged)
    Q_PROPERTY(QString customURLInput READ customURLInput WRITE setCustomURLInput NOTIFY customURLInputChanged)
    // Why the typed address was not sent, until it is edited.
    Q_PROPERTY(QVariant customURLError READ customURLErrorValue NOTIFY customURLErrorChanged)
    Q_PROPERTY(bool showManualURLField READ showManualURLField WRITE setShowManualURLField NOTIFY showManualURLFieldChanged)
    Q_PROPERTY(bool isSavingTab READ isSavingTab NOTIFY isSavingTabChanged)
    Q_PROPERTY(bool isSaveHeld READ isSaveHeld NOTIFY isSaveHeldChanged)
    Q_PROPERTY(bool showSavedCheckmark READ showSavedCheckmark NOTIFY showSavedCheckmarkChanged)

public:
    static constexpr std::chrono::milliseconds pollingInterval{1000};
    static constexpr std::chrono::milliseconds savedConfirmationTime{1600};

    // The seams and the backend must outlive this object. The stored permission is read here;
    // nothing runs before start().
    BrowserCapture(Workspace &workspace, WindowList &windowList, std::unique_ptr<TabReader> tabReader, Preferences &preferences,
                   BackendClient &backend, QObject *parent = nullptr);
    ~BrowserCapture() override;

    [[nodiscard]] bool hasBrowserPermission() const { return m_hasBrowserPermission; }
    [[nodiscard]] const ActiveBrowserTab &activeTab() const { return m_activeTab; }
    [[nodiscard]] const QString &customURLInput() const { return m_customURLInput; }
    [[nodiscard]] const std::optional<QString> &customURLError() const { return m_customURLError; }
    [[nodiscard]] bool showManualURLField() const { return m_showManualURLField; }
    [[nodiscard]] bool isSavingTab() const { return m_isSavingTab; }
    // Nothing to save until the pending address is known or one is typed.
    [[nodiscard]] bool isSaveHeld() const { return m_activeTab.isAddressPending && m_customURLInput.trimmed().isEmpty(); }
    [[nodiscard]] bool showSavedCheckmark() const { return m_showSavedCheckmark; }

    void setCustomURLInput(const QString &text);
    void setShowManualURLField(bool show);

    // Seeds the tracker, follows browser activations, detects once when allowed, starts polling.
    void start();

    // Starts one detection unless access is paused or one is running; returns at once.
    Q_INVOKABLE void refreshActiveBrowserTab();
    Q_INVOKABLE void setBrowserPermission(bool granted);
    Q_INVOKABLE void openSystemAutomationSettings();
    Q_INVOKABLE void openSystemAccessibilitySettings();
    // Saves the typed address, or else the detected tab; does nothing while a save is under way.
    Q_INVOKABLE void saveActiveWebsite();

Q_SIGNALS:
    void hasBrowserPermissionChanged();
    void activeTabChanged();
    // A detection's result has been handled (applied, dropped or found empty).
    void detectionFinished();
    void customURLInputChanged();
    void customURLErrorChanged();
    void showManualURLFieldChanged();
    void isSavingTabChanged();
    // Emitted with every change of its inputs, activeTab and customURLInput.
    void isSaveHeldChanged();
    void showSavedCheckmarkChanged();
    // The backend stored a website; the library puts it first.
    void websiteSaved(const SavedWebsite &website);

private:
    [[nodiscard]] QVariant customURLErrorValue() const;
    void handleApplicationActivated(const QString &applicationId);
    QCoro::Task<> detect();
    QCoro::Task<> retryDetectionAfterGrant();
    void openPrivacySettings(QLatin1StringView anchor);
    QCoro::Task<> save();
    void endSavedConfirmation();

    Workspace &m_workspace;
    WindowList &m_windowList;
    std::shared_ptr<TabReader> m_tabReader;
    Preferences &m_preferences;
    BackendClient &m_backend;
    std::unique_ptr<PageTextExtractor> m_pageTextExtractor;
    BrowserTracker m_tracker;

    bool m_hasBrowserPermission = false;
    ActiveBrowserTab m_activeTab{.title = QStringLiteral("Current Tab"), .url = {}, .browserName = QStringLiteral("Google Chrome")};
    bool m_isDetectingBrowser = false;
    QTimer m_pollingTimer;

    QString m_customURLInput;
    std::optional<QString> m_customURLError;
    bool m_showManualURLField = false;
    bool m_isSavingTab = false;
    bool m_showSavedCheckmark = false;
    QTimer m_savedConfirmationTimer;
};
