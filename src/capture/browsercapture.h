#pragma once

#include "api/records.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class Preferences;
class TabReader;
class WindowList;
class Workspace;

// Keeps activeTab equal to the browser tab the user most likely looks at, while the user allows
// browser access. Detection runs on a worker thread, one at a time; every trigger (the 1 s poll,
// a browser's activation, granting access, the panel) funnels into refreshActiveBrowserTab.
class BrowserCapture : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasBrowserPermission READ hasBrowserPermission NOTIFY hasBrowserPermissionChanged)
    Q_PROPERTY(ActiveBrowserTab activeTab READ activeTab NOTIFY activeTabChanged)

public:
    static constexpr std::chrono::milliseconds pollingInterval{1000};

    // The seams must outlive this object. The stored permission is read here; nothing runs
    // before start().
    BrowserCapture(Workspace &workspace, WindowList &windowList, std::unique_ptr<TabReader> tabReader,
                   Preferences &preferences, QObject *parent = nullptr);

    [[nodiscard]] bool hasBrowserPermission() const { return m_hasBrowserPermission; }
    [[nodiscard]] const ActiveBrowserTab &activeTab() const { return m_activeTab; }

    // Seeds the tracker, follows browser activations, detects once when allowed, starts polling.
    void start();

    // Starts one detection unless access is paused or one is running; returns at once.
    Q_INVOKABLE void refreshActiveBrowserTab();
    Q_INVOKABLE void setBrowserPermission(bool granted);
    Q_INVOKABLE void openSystemAutomationSettings();
    Q_INVOKABLE void openSystemAccessibilitySettings();

Q_SIGNALS:
    void hasBrowserPermissionChanged();
    void activeTabChanged();
    // A detection's result has been handled (applied, dropped or found empty).
    void detectionFinished();

private:
    template<typename T, typename V>
    void assign(T &member, V &&value, void (BrowserCapture::*changed)())
    {
        if (member == value)
            return;
        member = std::forward<V>(value);
        Q_EMIT(this->*changed)();
    }

    void handleApplicationActivated(const QString &bundleId);
    QCoro::Task<> detect();
    QCoro::Task<> retryDetectionAfterGrant();
    void openPrivacySettings(QLatin1StringView anchor);

    Workspace &m_workspace;
    WindowList &m_windowList;
    std::shared_ptr<TabReader> m_tabReader;
    Preferences &m_preferences;

    bool m_hasBrowserPermission = false;
    ActiveBrowserTab m_activeTab{.title = QStringLiteral("Current Tab"), .url = {}, .browserName = QStringLiteral("Google Chrome")};
    bool m_isDetectingBrowser = false;
    QTimer m_pollingTimer;
};
